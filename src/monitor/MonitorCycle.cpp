// One monitor cycle: read, admit, decide and queue; the record of the cycle.
#include <algorithm>
#include <exception>

#include "common/Text.h"
#include "monitor/MonitorEngine.h"

namespace wrenpost {
namespace {

constexpr std::chrono::milliseconds kPollStep{100};
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

// Oldest first by delivery time across the folders; mails of unknown time last, as read.
void SortOldestFirst(std::vector<MailSnapshot>& messages) {
    std::stable_sort(messages.begin(), messages.end(),
                     [](const MailSnapshot& a, const MailSnapshot& b) {
                         if (a.DeliveryTimeKnown != b.DeliveryTimeKnown) {
                             return a.DeliveryTimeKnown;
                         }
                         return a.DeliveryTimeKnown && a.DeliveryTimeUtc < b.DeliveryTimeUtc;
                     });
}

std::wstring OrNone(const std::wstring& text) {
    return text.empty() ? std::wstring(L"none") : text;
}

}  // namespace

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
    const std::int64_t readStart = ToTicksSince1970(TimeSource().Now());
    rules_.Reload(rulesPath_, [this](const std::wstring& line) { Log(line); }, LocalNow());

    ProfileConfigStore store;
    if (!store.ReadProfileConfig(configPath_)) {
        Log(L"Monitor cycle failed: could not load config. Will retry next cycle.");
        failureMark_ = true;
        return MonitorCycleResult::ConfigLoadFailed;
    }
    config_ = store.Current();
    configKnown_ = true;
    FollowWatchedFolders(config_.SelectedFolders);

    MailRead read = ReadMail(config_);
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
    LogBursts(read.Found);
    const CycleTally tally = AdmitDecideQueue(std::move(read.Found.Messages));
    (void)WriteSessionRecord(OutboxFolder(session_.ProfileFolder, session_.ProfileName),
                             SessionRecord{readStart, SessionEnd::Running});
    return RecordCycle(tally, cycleTime);
}

MailReadRequest MonitorEngine::ReadRequest(const ProfileConfig& config) {
    MailReadRequest request;
    request.IncludeOld = session_.IncludeOldMessages;
    request.Limits = deps_.Walk;
    request.Handled = ledger_.PassOver();
    for (const SelectedFolder& folder : config.SelectedFolders) {
        request.Folders.push_back({folder, ledger_.EndBefore(folder.FolderPath, sessionStart_)});
    }
    return request;
}

MonitorEngine::MailRead MonitorEngine::ReadMail(const ProfileConfig& config) {
    MailRead read;
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
        reading.thread = deps_.LaunchThread(
            [outcome, request = ReadRequest(config), reader = deps_.ReadFolders]() {
                MailReadResult found;
                try {
                    if (reader) {
                        found = reader(request);
                    }
                } catch (...) {
                    found = MailReadResult();
                }
                if (!found.Ok) {
                    found = MailReadResult();
                }
                outcome->Found = std::move(found);
                outcome->Done.exchange(true, std::memory_order_seq_cst);
            });
    }

    const Clock& clock = TimeSource();
    const auto deadline = clock.SteadyNow() + std::chrono::seconds(read.TimeoutSeconds);
    while (!outcome->Done.load()) {
        if (!running_.load() || clock.SteadyNow() >= deadline) {
            break;
        }
        Idle(kPollStep);  // waiting notifications still go out while Outlook is read
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
    } else if (outcome->Found.Ok) {
        read.Result = MonitorCycleResult::Completed;
        read.Found = std::move(outcome->Found);
    } else {
        read.Result = MonitorCycleResult::ReadFailed;
    }
    return read;
}

void MonitorEngine::LogBursts(const MailReadResult& found) {
    std::set<std::wstring> bursting(found.FoldersWithMore.begin(), found.FoldersWithMore.end());
    for (const std::wstring& folder : bursting) {
        if (burstFolders_.insert(folder).second) {
            Log(L"More than " + ToWideDecimal(deps_.Walk.MaxNewPerFolder) + L" new mails in " +
                folder + L"; the rest follow in the next checks.");
        }
    }
    // A folder that caught up ends its burst; the next one is logged again.
    std::erase_if(burstFolders_, [&](const std::wstring& f) { return bursting.count(f) == 0; });
}

MonitorEngine::CycleTally MonitorEngine::AdmitDecideQueue(std::vector<MailSnapshot> messages) {
    SortOldestFirst(messages);
    CycleTally tally;
    const auto log = [this](const std::wstring& line) { Log(line); };
    bool holding = false;  // once one mail waits in Outlook, every newer one waits with it
    for (const MailSnapshot& message : messages) {
        if (!running_.load()) {
            break;  // what is left is read again by the next session
        }
        const std::wstring key = IdentifyMessage(message).Key;
        if (ledger_.Contains(key) || ledger_.Forgotten(message)) {
            ledger_.Mark(message);  // a copy in another folder: passed over from now on
            continue;
        }
        if (!admission_.Admit(message, log)) {
            ledger_.Mark(message);
            continue;
        }
        if (holding || !rules_.Usable()) {
            ++tally.Held;
            tally.HeldForRules = tally.HeldForRules || !rules_.Usable();
            holding = true;
            continue;
        }
        RuleDecision verdict;
        try {
            verdict = rules_.Evaluate(message);
        } catch (...) {
            Log(L"Rule evaluation failed. Falling back to default behavior.");
            verdict = RuleDecision();
        }
        if (rules_.Enabled()) {
            Log(L"Rules evaluated for message: " + message.Subject + L". Matched: " +
                OrNone(verdict.MatchedRuleName) + L". Final action: " +
                OrNone(verdict.FinalAction) + L".");
        }
        if (!verdict.ShouldSend) {
            ++tally.NewMessages;
            admission_.Remember(message);
            ledger_.Mark(message);
            Log(L"Notification skipped by rule: " +
                (verdict.MatchedRuleName.empty() ? verdict.Reason : verdict.MatchedRuleName));
            continue;
        }
        if (!Queue(message, verdict)) {
            ++tally.Held;
            holding = true;
            continue;
        }
        ++tally.NewMessages;
    }
    return tally;
}

bool MonitorEngine::Queue(const MailSnapshot& message, const RuleDecision& verdict) {
    OutboxRecord record;
    record.QueuedUtc = ToTicksSince1970(TimeSource().Now());
    record.MessageKey = IdentifyMessage(message).Key;
    record.PassOverKey = PassOverKey(message.StoreId, message.EntryId);
    record.FolderPath = message.FolderPath;
    record.Subject = message.Subject;
    record.SenderName = message.SenderName;
    record.ReceivedTime = message.ReceivedTime;
    record.DeliveryTimeKnown = message.DeliveryTimeKnown;
    record.DeliveryTimeUtc = message.DeliveryTimeUtc;
    record.Title = ChooseTitle(message, verdict);
    record.Body = message.Subject;
    for (const RecipientEntry& recipient : config_.Recipients) {
        if (recipient.Allowed) {
            record.Recipients.push_back({recipient.ChatId, RecipientState::Pending, {}});
        }
    }
    if (record.Recipients.empty()) {
        ++queueCount_;  // nobody to tell: the mail waits in Outlook until someone is allowed
        Log(L"No allowed Telegram recipients configured.");
        return false;
    }
    std::wstring error;
    switch (outbox_.Add(std::move(record), &error)) {
        case Outbox::AddResult::Added:
            outboxFullLogged_ = false;
            admission_.Remember(message);
            ledger_.Mark(message);
            waiting_.store(outbox_.Count());
            return true;
        case Outbox::AddResult::Full:
            if (!std::exchange(outboxFullLogged_, true)) {
                Log(L"The outbox is full (" + ToWideDecimal(static_cast<long long>(outbox_.Count())) +
                    L" waiting); new mail is read again once Telegram takes the waiting ones.");
            }
            return false;
        case Outbox::AddResult::WriteFailed:
            break;
    }
    Log(L"ERROR: The notification for \"" + message.Subject +
        L"\" could not be written to the outbox (" + error + L"); it is read again next cycle.");
    return false;
}

std::wstring MonitorEngine::ChooseTitle(const MailSnapshot& message, const RuleDecision& verdict) {
    if (!verdict.TitleOverride.empty()) {
        Log(L"Notification title overridden by rule (" +
            (verdict.MatchedRuleName.empty() ? std::wstring(L"unknown rule")
                                             : verdict.MatchedRuleName) +
            L"). Final title: " + verdict.TitleOverride + L".");
        return verdict.TitleOverride;
    }
    if (!config_.UseSameTitle) {
        for (const FolderTitle& folderTitle : config_.FolderTitles) {
            if (folderTitle.FolderPath == message.FolderPath) {
                return folderTitle.Title.empty() ? std::wstring(kDefaultTitle) : folderTitle.Title;
            }
        }
        return kDefaultTitle;
    }
    return config_.DefaultTitle.empty() ? std::wstring(kDefaultTitle) : config_.DefaultTitle;
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
    if (tally.HeldForRules) {
        if (heldForRules_ == 0) {
            Log(L"WARNING: " + ToWideDecimal(tally.Held) +
                L" new mails are held until the Notification Rules file can be read.");
        }
        heldForRules_ = tally.Held;
    } else {
        heldForRules_ = 0;
    }
    WriteBackNotificationTimes();
    ReportCycle(cycleTime, RunningStatus());
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

}  // namespace wrenpost
