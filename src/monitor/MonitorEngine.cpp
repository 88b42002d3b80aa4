// The monitor session: start and stop, the worker loop, its waits and its reports.
#include "monitor/MonitorEngine.h"

#include <algorithm>
#include <exception>
#include <system_error>

#include "common/LocalTime.h"
#include "common/SafeText.h"
#include "common/Text.h"
#include "monitor/KeepAwake.h"
#include "monitor/MonitorStatusFile.h"

namespace wrenpost {
namespace {

constexpr std::chrono::milliseconds kPollStep{100};
// While a send is under way or due: short, so a stop and a drain are not slowed by the poll.
constexpr std::chrono::milliseconds kSendPollStep{10};
constexpr std::int32_t kDefaultInterval = 10;
constexpr std::int64_t kTicksPerSecond = 10000000;
constexpr std::int64_t kResumeWindow = 24LL * 60 * 60 * kTicksPerSecond;
constexpr auto kUnreachableAfter = std::chrono::minutes(5);

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

std::wstring MonitorEngine::LocalText(std::int64_t ticksUtc) const {
    return FormatLocalTimestamp(static_cast<std::time_t>(ticksUtc / kTicksPerSecond));
}

void MonitorEngine::Log(const std::wstring& line) const {
    if (!session_.OnLog) {
        return;
    }
    try {
        // Lines carry mail subjects and sender names: nothing in them may forge a line or reorder
        // the text around it.
        session_.OnLog(StripUnsafeText(line));
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
    report.OutboxCount = static_cast<std::int32_t>(outbox_.Count());
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
    lastCheck_ = L"-";
    burstFolders_.clear();
    routingWarned_.clear();
    combiningChats_.clear();
    outboxFullLogged_ = false;
    unavailableLogged_ = false;
    guardRefused_ = false;
    heldForRules_ = 0;
    notified_.clear();
    pacing_ = SendPacing(deps_.Pacing);
    rules_.NewSession();
    ProfileConfigStore store;
    configKnown_ = store.ReadProfileConfig(configPath_);
    config_ = configKnown_ ? store.Current() : ProfileConfig();

    const std::int64_t now = ToTicksSince1970(TimeSource().Now());
    const std::filesystem::path outboxFolder = OutboxFolder(session_.ProfileFolder, name);
    const std::optional<SessionRecord> previous = ReadSessionRecord(outboxFolder);
    const std::optional<std::int64_t> resumeCutoff = ResumeCutoff(previous, now, kResumeWindow);
    const bool resumed = session_.ResumeAtSignIn && resumeCutoff.has_value();
    sessionStart_ = resumed ? *resumeCutoff : now;
    admission_.Reset(sessionStart_, session_.IncludeOldMessages);
    ledger_.Clear();
    answers_.NewSession();
    OpenOutbox();
    (void)WriteSessionRecord(outboxFolder, SessionRecord{sessionStart_, SessionEnd::Running});
    if (deps_.CancelSends) {
        deps_.CancelSends(false);
    }
    lastDelivery_ = TimeSource().SteadyNow();
    running_.store(true);

    WriteStatus(L"Running", L"-");
    deps_.KeepAwake(true);
    Log(L"Monitor session cutoff: " + FormatIso8601Utc(sessionStart_));
    if (resumed) {
        Log(L"Catching up on mail since " + LocalText(sessionStart_) +
            L" (the previous session ended " +
            (previous->Ended == SessionEnd::Windows ? L"with Windows" : L"unexpectedly") + L").");
    }
    if (session_.IncludeOldMessages) {
        Log(L"Backlog mode is enabled (\"Also send existing unread emails\") - unread messages "
            L"received before this session started may still be sent for this session.");
    }
    if (outbox_.Count() > 0) {
        Log(ToWideDecimal(static_cast<long long>(outbox_.Count())) +
            L" notifications waiting from an earlier session are sent now.");
    }

    if (!LaunchWorker()) {
        return false;
    }
    Log(L"Monitor started for profile: " + name);
    return true;
}

bool MonitorEngine::LaunchWorker() {
    if (!deps_.RunWorker) {
        manualSession_ = true;
        return true;
    }
    std::wstring failure;
    try {
        worker_ = deps_.LaunchThread([this] { WorkerLoop(); });
    } catch (const std::exception& error) {
        failure = Utf8ToWide(error.what());
    } catch (...) {
        failure = L"unknown error";
    }
    if (worker_.joinable()) {
        return true;
    }
    running_.store(false);
    deps_.KeepAwake(false);
    WriteStatus(L"Stopped", L"-");
    (void)WriteSessionRecord(OutboxFolder(session_.ProfileFolder, session_.ProfileName),
                             SessionRecord{sessionStart_, SessionEnd::User});
    Log(L"Failed to start the monitor worker thread: " +
        (failure.empty() ? std::wstring(L"no thread was created") : failure));
    return false;
}

void MonitorEngine::OpenOutbox() {
    std::vector<std::wstring> problems;
    outbox_.Open(OutboxFolder(session_.ProfileFolder, session_.ProfileName), deps_.OutboxSize,
                 &problems);
    for (const std::wstring& file : problems) {
        Log(L"ERROR: The waiting notification " + file +
            L" could not be read; it was set aside with the extension .unreadable.");
    }
    // A waiting notification's mail is handled: reading must not queue it a second time.
    for (const auto& [sequence, record] : outbox_.Waiting()) {
        ledger_.MarkWaiting(record);
    }
    waiting_.store(outbox_.Count());
}

void MonitorEngine::Stop(SessionEnd how) {
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
    AbandonSend();
    WriteBackNotificationTimes();
    deps_.KeepAwake(false);
    WriteStatus(L"Stopped", L"-");
    const std::filesystem::path outboxFolder =
        OutboxFolder(session_.ProfileFolder, session_.ProfileName);
    std::optional<SessionRecord> record = ReadSessionRecord(outboxFolder);
    (void)WriteSessionRecord(outboxFolder,
                             SessionRecord{record ? record->LastCycleUtc : sessionStart_, how});
    Log(L"Monitor stopped for profile: " + session_.ProfileName);
}

void MonitorEngine::DiscardWaiting() {
    if (running_.load() || worker_.joinable()) {
        return;
    }
    outbox_.DiscardAll();
    waiting_.store(0);
}

MonitorCycleResult MonitorEngine::RunCycle() {
    if (!manualSession_ || !running_.load()) {
        return MonitorCycleResult::StopRequested;
    }
    const MonitorCycleResult result = RunOneCycle();
    SendDue();
    return result;
}

void MonitorEngine::SendDue() {
    if (!manualSession_) {
        return;
    }
    // The tests' launcher returns a send's thread once it has ended, so each pump settles the
    // send it started; the loop ends when nothing more is due now.
    do {
        PumpSends();
    } while (inFlight_ && running_.load());
    WriteBackNotificationTimes();
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
    AbandonSend();
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
        Idle(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock.SteadyNow()));
    }
}

void MonitorEngine::Idle(std::chrono::milliseconds longest) {
    PumpSends();
    const bool busy = inFlight_.has_value();
    TimeSource().SleepFor(std::clamp(longest, std::chrono::milliseconds(1),
                                     busy ? kSendPollStep : kPollStep));
}

std::wstring MonitorEngine::RunningStatus() const {
    const std::wstring waiting = ToWideDecimal(static_cast<long long>(outbox_.Count()));
    if (heldForRules_ > 0) {
        return L"Running \u2013 rules file unreadable, " + ToWideDecimal(heldForRules_) +
               L" mails held";
    }
    if (outbox_.Count() > 0 && TimeSource().SteadyNow() - lastDelivery_ >= kUnreachableAfter) {
        return L"Running \u2013 Telegram unreachable, " + waiting + L" waiting";
    }
    return L"Running";
}

void MonitorEngine::ReportProgress() {
    waiting_.store(outbox_.Count());
    if (session_.OnStatus) {
        session_.OnStatus(MonitorProgress{lastCheck_, messagesSent_, queueCount_,
                                          static_cast<std::int32_t>(outbox_.Count()),
                                          RunningStatus(), false});
    }
}

void MonitorEngine::ReportCycle(const std::wstring& cycleTime, const std::wstring& status) {
    lastCheck_ = cycleTime;
    waiting_.store(outbox_.Count());
    WriteStatus(status, cycleTime);
    if (session_.OnStatus) {
        session_.OnStatus(MonitorProgress{cycleTime, messagesSent_, queueCount_,
                                          static_cast<std::int32_t>(outbox_.Count()), status});
    }
}

}  // namespace wrenpost
