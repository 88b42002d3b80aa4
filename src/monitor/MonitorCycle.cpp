// One monitor cycle: the read and the record of the cycle (the decide stage is
// MonitorDecision.cpp, sending MonitorDelivery.cpp).
#include <algorithm>
#include <exception>

#include "common/Text.h"
#include "monitor/MonitorEngine.h"

namespace wrenpost {
namespace {

constexpr std::chrono::milliseconds kPollStep{100};
constexpr std::int32_t kMinimumReadTimeoutSeconds = 30;

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
    NoteGuardRefused(read.Found.GuardRefused);
    std::vector<MailSnapshot> admitted = Admit(std::move(read.Found.Messages));
    const MailRead details = ReadDetails(admitted);
    if (details.Result == MonitorCycleResult::StopRequested) {
        return details.Result;
    }
    if (details.Result != MonitorCycleResult::Completed) {
        // The admitted mails were neither queued nor remembered: the next cycle reads them again.
        return RecordFailedRead(details, LocalNow());
    }
    const CycleTally tally = DecideQueue(admitted);
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

void MonitorEngine::NoteGuardRefused(bool refused) {
    if (refused && !guardRefused_.exchange(true)) {
        Log(std::wstring(kOutlookRefusedNote));
    }
}

MonitorEngine::MailRead MonitorEngine::ReadMail(const ProfileConfig& config) {
    return AwaitRead([request = ReadRequest(config), reader = deps_.ReadFolders] {
        return reader ? reader(request) : MailReadResult();
    });
}

MonitorEngine::MailRead MonitorEngine::AwaitRead(std::function<MailReadResult()> readOnce) {
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
        reading.thread = deps_.LaunchThread([outcome, readOnce = std::move(readOnce)]() {
            MailReadResult found;
            try {
                found = readOnce();
            } catch (...) {
                found = MailReadResult();
            }
            if (!found.Ok) {
                MailReadResult failed;
                failed.Unavailable = std::move(found.Unavailable);
                found = std::move(failed);
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
        read.Found.Unavailable = std::move(outcome->Found.Unavailable);
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
        if (!read.Found.Unavailable.empty() && !unavailableLogged_) {
            Log(read.Found.Unavailable);
            unavailableLogged_ = true;
        }
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
