// What the monitor tests over the fakes share: Ann's mailbox (store S1 with its Inbox F1), a
// profile watching that Inbox for chat 4242, a fake Outlook serving a scenario, and a record of
// what a session tells the window.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

#include "common/Text.h"
#include "monitor/MonitorEngine.h"
#include "profile/ProfileConfig.h"
#include "support/Driver_win.h"
#include "support/FakeOutlook_win.h"

namespace wrenpost::testing {

inline const std::wstring kAnnInbox =
    ScenarioLine({L"store", L"id=S1", L"name=Ann"}) +
    ScenarioLine({L"folder", L"store=S1", L"path=Inbox", L"id=F1"});

inline ProfileConfig InboxProfile() {
    ProfileConfig profile;
    profile.SelectedFolders = {{L"Inbox", L"\\\\Ann\\Inbox", L"F1", L"S1", L"", L"", 0}};
    profile.Recipients = {{L"4242", L"", true, L"", L"Never"}};
    return profile;
}

// Registers the fake, gives it `scenario` and starts it; empty once it serves, else why not.
inline std::string Serve(FakeOutlook& outlook, const std::wstring& scenario) {
    std::wstring error = L"the scenario could not be written";
    const bool serving =
        outlook.Register(error) && outlook.WriteScenario(scenario) && outlook.Start(error);
    return serving ? std::string() : WideToUtf8(error);
}

// Whether `stop` returns while what it must not wait for still holds; `release` then lets that
// go, so a stop that did wait ends too. The deadline is generous: this is not a speed bound.
template <typename Stop, typename Release>
bool StopsWithoutWaiting(Stop stop, Release release) {
    std::atomic<bool> stopped = false;
    std::thread stopping([&] {
        stop();
        stopped = true;
    });
    const bool done = WaitFor([&] { return stopped.load(); }, std::chrono::seconds(60));
    release();
    stopping.join();
    return done;
}

// The log lines of a session and the status of each cycle that ended: written by its worker,
// read by the test.
class SessionRecord {
public:
    MonitorSession Session(const std::filesystem::path& folder, std::int32_t interval) {
        const auto onLog = [this](const std::wstring& line) {
            std::lock_guard lock(mutex_);
            log_.push_back(line);
        };
        const auto onStatus = [this](const MonitorProgress& progress) {
            std::lock_guard lock(mutex_);
            if (progress.CycleEnded) {
                statuses_.push_back(progress.Status);
            }
        };
        return {L"Work", folder, L"123:ABC", interval, false, onLog, onStatus, {}};
    }
    std::size_t Logged(const std::wstring& prefix) {
        std::lock_guard lock(mutex_);
        return std::count_if(log_.begin(), log_.end(),
                             [&](const std::wstring& l) { return l.starts_with(prefix); });
    }
    // The cycles that ended with `status`; with none given, all of them.
    std::size_t Cycles(const std::wstring& status = L"") {
        std::lock_guard lock(mutex_);
        return status.empty() ? statuses_.size()
                              : std::count(statuses_.begin(), statuses_.end(), status);
    }

private:
    std::mutex mutex_;
    std::vector<std::wstring> log_, statuses_;
};

}  // namespace wrenpost::testing
