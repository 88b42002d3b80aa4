// The monitor session: start and stop, the worker loop and one cycle.
#include "monitor/MonitorEngine.h"

#include <algorithm>
#include <exception>
#include <system_error>

#include "common/LocalTime.h"
#include "common/Text.h"
#include "monitor/KeepAwake.h"
#include "monitor/MonitorStatusFile.h"

namespace wrenpost {
namespace {

constexpr std::chrono::milliseconds kPollStep{100};
// Short, as it is paid on every send; a stop is seen within one step.
constexpr std::chrono::milliseconds kSendPollStep{10};
constexpr std::int32_t kDefaultInterval = 10;
constexpr std::int32_t kMinimumReadTimeoutSeconds = 30;
const wchar_t* const kDefaultTitle = L"New Outlook Mail";

// Detaches a reading thread that is still joinable when a cycle unwinds, so an exception never
// reaches std::thread's terminating destructor; the engine then treats the read as abandoned.
class ReadingThreadGuard {
public:
    ReadingThreadGuard(std::shared_ptr<OutlookReadOutcome>& abandoned,
                       std::shared_ptr<OutlookReadOutcome> outcome)
        : abandoned_(abandoned), outcome_(std::move(outcome)) {}
    ~ReadingThreadGuard() {
        if (thread.joinable()) {
            thread.detach();
            if (!outcome_->Done.load()) {
                abandoned_ = outcome_;
            }
        }
    }
    ReadingThreadGuard(const ReadingThreadGuard&) = delete;
    ReadingThreadGuard& operator=(const ReadingThreadGuard&) = delete;

    std::thread thread;

private:
    std::shared_ptr<OutlookReadOutcome>& abandoned_;
    std::shared_ptr<OutlookReadOutcome> outcome_;
};

}  // namespace

MonitorEngine::MonitorEngine(MonitorDependencies dependencies) : deps_(std::move(dependencies)) {
    if (!deps_.KeepAwake) {
        deps_.KeepAwake = RequestKeepAwake;
    }
    if (!deps_.LaunchThread) {
        deps_.LaunchThread = [](std::function<void()> body) {
            return std::thread(std::move(body));
        };
    }
}

MonitorEngine::~MonitorEngine() {
    Stop();
}

const Clock& MonitorEngine::TimeSource() const {
    return deps_.TimeSource ? *deps_.TimeSource : SystemClock();
}

std::wstring MonitorEngine::LocalNow() const {
    return FormatLocalTimestamp(static_cast<std::time_t>(ToUnixSeconds(TimeSource().Now())));
}

void MonitorEngine::Log(const std::wstring& line) const {
    if (!session_.OnLog) {
        return;
    }
    try {
        session_.OnLog(line);
    } catch (...) {
        // A failing log sink must not end the session.
    }
}

void MonitorEngine::WriteStatus(const std::wstring& status, const std::wstring& lastCheck) {
    MonitorStatusReport report;
    report.ProfileName = session_.ProfileName;
    report.Status = status;
    report.LastCheck = lastCheck;
    report.MessagesSent = messagesSent_;
    report.QueueCount = queueCount_;
    report.SeenMessages = &admission_.Seen().Entries();
    (void)WriteMonitorStatusFile(statusPath_, report);
}

bool MonitorEngine::Start(MonitorSession session) {
    if (running_.load() || worker_.joinable() || manualSession_) {
        return false;
    }
    session_ = std::move(session);
    if (session_.CheckIntervalSeconds < 1) {
        session_.CheckIntervalSeconds = kDefaultInterval;
    }
    const std::wstring& name = session_.ProfileName;
    configPath_ = session_.ProfileFolder / (name + L"Config.json");
    statusPath_ = session_.ProfileFolder / (name + L"Monitor.json");
    rulesPath_ = session_.ProfileFolder / (name + L"Rules.json");
    messagesSent_ = 0;
    queueCount_ = 0;
    baselineDone_ = false;
    failureMark_ = false;

    sessionStart_ = ToTicksSince1970(TimeSource().Now());
    admission_.Reset(sessionStart_, session_.IncludeOldMessages);
    answers_.NewSession();
    rules_.NewSession();
    if (deps_.CancelSends) {
        deps_.CancelSends(false);
    }
    running_.store(true);

    WriteStatus(L"Running", L"-");
    deps_.KeepAwake(true);
    Log(L"Monitor session cutoff: " + FormatIso8601Utc(sessionStart_));
    if (session_.IncludeOldMessages) {
        Log(L"Backlog mode is enabled (\"Also send existing unread emails\") - unread messages "
            L"received before this session started may still be sent for this session.");
    }

    if (deps_.RunWorker) {
        std::wstring failure;
        try {
            worker_ = deps_.LaunchThread([this] { WorkerLoop(); });
        } catch (const std::exception& error) {
            failure = Utf8ToWide(error.what());
        } catch (...) {
            failure = L"unknown error";
        }
        if (!worker_.joinable()) {
            running_.store(false);
            deps_.KeepAwake(false);
            WriteStatus(L"Stopped", L"-");
            Log(L"Failed to start the monitor worker thread: " +
                (failure.empty() ? std::wstring(L"no thread was created") : failure));
            return false;
        }
    } else {
        manualSession_ = true;
    }
    Log(L"Monitor started for profile: " + name);
    return true;
}

void MonitorEngine::Stop() {
    if (!worker_.joinable() && !manualSession_) {
        return;
    }
    running_.store(false);
    if (deps_.CancelSends) {
        deps_.CancelSends(true);
    }
    if (worker_.joinable()) {
        worker_.join();
    }
    worker_ = std::thread();
    manualSession_ = false;
    deps_.KeepAwake(false);
    WriteStatus(L"Stopped", L"-");
    Log(L"Monitor stopped for profile: " + session_.ProfileName);
}

MonitorCycleResult MonitorEngine::RunCycle() {
    if (!manualSession_ || !running_.load()) {
        return MonitorCycleResult::StopRequested;
    }
    return RunOneCycle();
}

void MonitorEngine::WorkerLoop() {
    Log(L"Monitor worker thread started for profile: " + session_.ProfileName);
    StartWatch();
    while (running_.load()) {
        if (RunOneCycle() == MonitorCycleResult::StopRequested) {
            break;
        }
        WaitOneInterval();
    }
    watch_.reset();
    watchedFolders_.clear();
    Log(L"Monitor worker loop exiting (stop requested) for profile: " + session_.ProfileName);
}

void MonitorEngine::StartWatch() {
    wakeRequested_.store(false);
    if (!deps_.WatchMail) {
        return;
    }
    try {
        // The watch calls back only until it is destroyed, which this worker does before it ends.
        watch_ = deps_.WatchMail([this] { wakeRequested_.store(true); },
                                 [this](const std::wstring& line) { Log(line); });
    } catch (...) {
        watch_.reset();
        Log(L"Outlook new-mail events could not be started; new mail is found by the regular "
            L"checks.");
    }
}

void MonitorEngine::FollowWatchedFolders(const std::vector<SelectedFolder>& folders) {
    if (watch_ && folders != watchedFolders_) {
        watchedFolders_ = folders;
        watch_->Watch(watchedFolders_);
    }
}

void MonitorEngine::WaitOneInterval() {
    const Clock& clock = TimeSource();
    const auto deadline = clock.SteadyNow() + std::chrono::seconds(session_.CheckIntervalSeconds);
    while (running_.load() && !wakeRequested_.exchange(false) && clock.SteadyNow() < deadline) {
        clock.SleepFor(kPollStep);
    }
}

MonitorCycleResult MonitorEngine::RunOneCycle() {
    try {
        return RunOneCycleUnguarded();
    } catch (const std::exception& error) {
        Log(L"Unhandled exception in monitor cycle: " + Utf8ToWide(error.what()) +
            L". Continuing.");
    } catch (...) {
        Log(L"Unknown unhandled exception in monitor cycle. Continuing.");
    }
    failureMark_ = true;
    return MonitorCycleResult::Failed;
}

MonitorCycleResult MonitorEngine::RunOneCycleUnguarded() {
    Log(L"Monitor cycle started at " + LocalNow() + L".");
    rules_.Reload(
        rulesPath_, [this](const std::wstring& line) { Log(line); }, LocalNow());

    ProfileConfigStore store;
    if (!store.ReadProfileConfig(configPath_)) {
        Log(L"Monitor cycle failed: could not load config. Will retry next cycle.");
        failureMark_ = true;
        return MonitorCycleResult::ConfigLoadFailed;
    }
    ProfileConfig config = store.Current();
    FollowWatchedFolders(config.SelectedFolders);

    const MailRead read = ReadMail(config);
    if (read.Result == MonitorCycleResult::StopRequested ||
        read.Result == MonitorCycleResult::LateReadDiscarded) {
        return read.Result;
    }
    const std::wstring cycleTime = LocalNow();
    if (read.Result != MonitorCycleResult::Completed) {
        return RecordFailedRead(read, cycleTime);
    }
    if (failureMark_) {
        Log(L"Outlook reconnected successfully.");
    }
    const CycleTally tally = AdmitAndDeliver(read.Messages, config);
    return RecordCycle(tally, cycleTime);
}

MonitorEngine::MailRead MonitorEngine::ReadMail(const ProfileConfig& config) {
    MailRead read;
    const bool includeOld = session_.IncludeOldMessages;
    const std::int32_t limit = includeOld ? 50 : 5;
    read.TimeoutSeconds = std::max<std::int64_t>(kMinimumReadTimeoutSeconds,
                                                 3 * std::int64_t{session_.CheckIntervalSeconds});

    // A read abandoned by an earlier cycle that is still blocked in Outlook is waited for
    // instead of stacking another blocked thread on top of it.
    const bool waitingForAbandoned = abandonedRead_ && !abandonedRead_->Done.load();
    std::shared_ptr<OutlookReadOutcome> outcome =
        waitingForAbandoned ? abandonedRead_ : std::make_shared<OutlookReadOutcome>();
    ReadingThreadGuard reading(abandonedRead_, outcome);
    if (!waitingForAbandoned) {
        abandonedRead_.reset();
        // The thread owns copies of everything it uses, so it may outlive the cycle and the
        // engine.
        reading.thread = deps_.LaunchThread([outcome, folders = config.SelectedFolders, limit,
                                             includeOld, reader = deps_.ReadFolders]() {
            std::vector<MailSnapshot> messages;
            bool ok = false;
            try {
                ok = reader && reader(folders, limit, includeOld, messages);
            } catch (...) {
                ok = false;
            }
            if (!ok) {
                messages.clear();
            }
            outcome->Messages = std::move(messages);
            outcome->Ok = ok;
            outcome->Done.exchange(true, std::memory_order_seq_cst);
        });
    }

    const Clock& clock = TimeSource();
    const auto deadline = clock.SteadyNow() + std::chrono::seconds(read.TimeoutSeconds);
    while (!outcome->Done.load()) {
        if (!running_.load() || clock.SteadyNow() >= deadline) {
            break;
        }
        clock.SleepFor(kPollStep);
    }
    const bool done = outcome->Done.load();
    if (done && reading.thread.joinable()) {
        reading.thread.join();
    }
    if (!running_.load()) {
        read.Result = MonitorCycleResult::StopRequested;  // the guard abandons a read still running
    } else if (!done) {
        read.Result = MonitorCycleResult::TimedOut;  // the guard abandons the reading thread
    } else if (waitingForAbandoned) {
        abandonedRead_.reset();
        Log(L"An Outlook check abandoned by an earlier cycle has finished; its result was "
            L"discarded. Outlook will be read again next cycle.");
        failureMark_ = true;
        read.Result = MonitorCycleResult::LateReadDiscarded;
    } else if (outcome->Ok) {
        read.Result = MonitorCycleResult::Completed;
        read.Messages = std::move(outcome->Messages);
    } else {
        read.Result = MonitorCycleResult::ReadFailed;
    }
    return read;
}

MonitorEngine::CycleTally MonitorEngine::AdmitAndDeliver(const std::vector<MailSnapshot>& messages,
                                                         ProfileConfig& config) {
    // Admission and delivery alternate per message: delivering a message remembers it, so a copy
    // of it later in the same read (another folder) is refused.
    CycleTally tally;
    const auto log = [this](const std::wstring& line) { Log(line); };
    for (const MailSnapshot& message : messages) {
        if (!running_.load()) {
            break;  // what is left is read again by the next session
        }
        if (!admission_.Admit(message, log)) {
            continue;
        }
        // An unreadable file's Ignore rule may be meant for it: held, it is read again later.
        if (rules_.Usable()) {
            Deliver(message, config, tally);
        } else {
            ++tally.Held;
            ++queueCount_;
        }
    }
    if (tally.Held > 0) {
        Log(L"New messages held until the Notification Rules file can be read: " +
            ToWideDecimal(tally.Held) + L".");
    }
    return tally;
}

MonitorCycleResult MonitorEngine::RecordCycle(const CycleTally& tally,
                                              const std::wstring& cycleTime) {
    if (!baselineDone_) {
        Log(session_.IncludeOldMessages
                ? L"Baseline completed (backlog mode) - unread messages received before this "
                  L"session started may still have been sent."
                : L"Baseline completed. Old messages will not be sent.");
        baselineDone_ = true;
    }
    if (!tally.Notified.empty()) {
        WriteBackNotificationTimes(tally.Notified);
    }
    ReportCycle(cycleTime, L"Running");
    Log(L"Monitor cycle completed at " + cycleTime + L". New messages: " +
        ToWideDecimal(tally.NewMessages));
    failureMark_ = false;
    return MonitorCycleResult::Completed;
}

MonitorCycleResult MonitorEngine::RecordFailedRead(const MailRead& read,
                                                   const std::wstring& cycleTime) {
    failureMark_ = true;
    if (read.Result == MonitorCycleResult::ReadFailed) {
        Log(L"Monitor cycle failed: could not read Outlook messages. Will retry next cycle.");
        ReportCycle(cycleTime, L"Outlook Read Failed");
    } else {
        Log(L"Monitor cycle timed out after " + ToWideDecimal(read.TimeoutSeconds) +
            L"s waiting for Outlook (it may be unresponsive, or showing a security prompt it "
            L"cannot receive input for, e.g. while the session is locked). Will retry next "
            L"cycle.");
        ReportCycle(cycleTime, L"Outlook Check Timed Out");
    }
    return read.Result;
}

void MonitorEngine::ReportCycle(const std::wstring& cycleTime, const std::wstring& status) {
    WriteStatus(status, cycleTime);
    if (session_.OnStatus) {
        session_.OnStatus(cycleTime, messagesSent_, queueCount_, status);
    }
}

void MonitorEngine::Deliver(const MailSnapshot& message, ProfileConfig& config, CycleTally& tally) {
    RuleDecision verdict;
    try {
        verdict = rules_.Evaluate(message);
    } catch (...) {
        Log(L"Rule evaluation failed. Falling back to default behavior.");
        verdict = RuleDecision();
    }
    if (rules_.Enabled()) {
        Log(L"Rules evaluated for message: " + message.Subject + L". Matched: " +
            (verdict.MatchedRuleName.empty() ? std::wstring(L"none") : verdict.MatchedRuleName) +
            L". Final action: " +
            (verdict.FinalAction.empty() ? std::wstring(L"none") : verdict.FinalAction) + L".");
    }
    ++tally.NewMessages;

    if (!verdict.ShouldSend) {
        admission_.Remember(message);
        Log(L"Notification skipped by rule: " +
            (verdict.MatchedRuleName.empty() ? verdict.Reason : verdict.MatchedRuleName));
        return;
    }

    const std::wstring title = ChooseTitle(message, config, verdict);
    const std::wstring key = IdentifyMessage(message).Key;
    int allowed = 0;
    int refused = 0;
    bool attempted = false;
    bool reached = false;
    for (RecipientEntry& recipient : config.Recipients) {
        if (!recipient.Allowed) {
            continue;
        }
        ++allowed;
        if (!running_.load()) {
            return;  // stopping: the message stays unsent and unremembered
        }
        if (answers_.Refused(key, recipient.ChatId)) {
            ++refused;
            continue;
        }
        // A pause Telegram asked for holds every recipient of the bot; the message stays queued.
        if (!answers_.MaySend(session_.BotToken, TimeSource().SteadyNow())) {
            continue;
        }
        attempted = true;
        const SendResult sent = SendTo(recipient.ChatId, title, message.Subject);
        if (!sent.ok) {
            refused += HandleFailedSend(sent, key, recipient, message.Subject) ? 1 : 0;
            continue;
        }
        const std::wstring when = LocalNow();
        recipient.LastNotification = when;
        tally.Notified.emplace_back(recipient.ChatId, when);
        if (session_.OnRecipientNotified) {
            session_.OnRecipientNotified(recipient.ChatId, when);
        }
        reached = true;
    }

    const std::wstring summary =
        message.ReceivedTime + L" | " + message.SenderName + L" | " + message.Subject;
    if (reached) {
        ++messagesSent_;
        admission_.Remember(message);
        answers_.Forget(key);
        Log(L"Telegram sent: " + summary);
    } else if (allowed > 0 && refused == allowed) {
        admission_.Remember(message);
        answers_.Forget(key);
        Log(L"Telegram refused by every recipient, not retried: " + summary);
    } else if (attempted) {
        ++queueCount_;
        Log(L"Telegram failed, will retry: " + summary);
    } else if (allowed > 0) {
        ++queueCount_;  // held by a pause; the wait was logged when Telegram asked for it
    } else {
        ++queueCount_;
        Log(L"No allowed Telegram recipients configured.");
    }
}

bool MonitorEngine::HandleFailedSend(const SendResult& sent, const std::wstring& messageKey,
                                     const RecipientEntry& recipient, const std::wstring& subject) {
    switch (ClassifySend(sent)) {
        case SendVerdict::Pause:
            answers_.Pause(session_.BotToken, TimeSource().SteadyNow(), sent.retryAfterSeconds);
            Log(L"Telegram asked to wait " + ToWideDecimal(sent.retryAfterSeconds) +
                L" s before sending again.");
            return false;
        case SendVerdict::Refused:
            if (answers_.Refuse(messageKey, recipient.ChatId)) {
                Log(L"WARNING: Telegram refuses messages to recipient " + recipient.DisplayName +
                    L" (" + recipient.ChatId + L"): " + sent.reason +
                    L" Messages refused this way are not retried; check this recipient in Manage "
                    L"Recipients.");
                return true;
            }
            break;
        case SendVerdict::Delivered:
        case SendVerdict::Retry:
            break;
    }
    Log(L"Telegram send failed for recipient " + recipient.ChatId + L": " + subject + L" - " +
        sent.reason);
    return ClassifySend(sent) == SendVerdict::Refused;
}

SendResult MonitorEngine::SendTo(const std::wstring& chatId, const std::wstring& title,
                                 const std::wstring& body) {
    // The only place the engine sends through a provider.
    std::unique_ptr<NotificationProvider> provider =
        deps_.MakeProvider ? deps_.MakeProvider(session_.BotToken, chatId) : nullptr;
    if (!provider) {
        SendResult none;
        none.reason = L"No notification channel is available.";
        return none;
    }
    // The send runs on a thread of its own so a stop never waits for Telegram: a send still
    // running when the session stops is abandoned (and its request cancelled) and counts as not
    // sent.
    struct Outcome {
        std::atomic<bool> Done{false};
        SendResult Result;
        std::exception_ptr Thrown;  // rethrown on the worker, where the cycle contains it
    };
    auto outcome = std::make_shared<Outcome>();
    std::thread sending = deps_.LaunchThread(
        [outcome, provider = std::shared_ptr<NotificationProvider>(std::move(provider)), title,
         body] {
            try {
                outcome->Result = provider->Send(title, body);
            } catch (...) {
                outcome->Thrown = std::current_exception();
            }
            outcome->Done.store(true);
        });
    const Clock& clock = TimeSource();
    while (!outcome->Done.load() && running_.load()) {
        clock.SleepFor(kSendPollStep);
    }
    if (!outcome->Done.load()) {
        sending.detach();
        SendResult cut;
        cut.reason = L"The send was cut short because monitoring is stopping.";
        return cut;
    }
    sending.join();
    if (outcome->Thrown) {
        std::rethrow_exception(outcome->Thrown);
    }
    return outcome->Result;
}

std::wstring MonitorEngine::ChooseTitle(const MailSnapshot& message, const ProfileConfig& config,
                                        const RuleDecision& verdict) {
    if (!verdict.TitleOverride.empty()) {
        Log(L"Notification title overridden by rule (" +
            (verdict.MatchedRuleName.empty() ? std::wstring(L"unknown rule")
                                             : verdict.MatchedRuleName) +
            L"). Final title: " + verdict.TitleOverride + L".");
        return verdict.TitleOverride;
    }
    if (!config.UseSameTitle) {
        for (const FolderTitle& folderTitle : config.FolderTitles) {
            if (folderTitle.FolderPath == message.FolderPath) {
                return folderTitle.Title.empty() ? std::wstring(kDefaultTitle) : folderTitle.Title;
            }
        }
        return kDefaultTitle;
    }
    return config.DefaultTitle.empty() ? std::wstring(kDefaultTitle) : config.DefaultTitle;
}

void MonitorEngine::WriteBackNotificationTimes(
    const std::vector<std::pair<std::wstring, std::wstring>>& notified) {
    // The window may have saved the profile during this cycle: start from the file as it is
    // now and change nothing but the notification times of the recipients just notified. The
    // file lock is held only for this re-read and write, never while reading Outlook or sending.
    const ProfileUpdateResult result =
        UpdateProfileConfig(configPath_, [&notified](ProfileConfig& current) {
            for (const auto& [chatId, when] : notified) {
                for (RecipientEntry& recipient : current.Recipients) {
                    if (recipient.ChatId == chatId) {
                        recipient.LastNotification = when;
                    }
                }
            }
        });
    if (result == ProfileUpdateResult::ReadFailed) {
        Log(L"Could not re-read " + configPath_.wstring() +
            L" to record notification times; skipped for this cycle.");
    } else if (result == ProfileUpdateResult::WriteFailed) {
        Log(L"Could not write notification times to " + configPath_.wstring() + L".");
    }
}

}  // namespace wrenpost
