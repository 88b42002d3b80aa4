// The detached update-check thread and its one-at-a-time guard.
#include "update/UpdateCheckLauncher_win.h"

#include <exception>
#include <thread>
#include <utility>

#include "update/UpdateService_win.h"

namespace wrenpost {

UpdateCheckLauncher::UpdateCheckLauncher()
    : UpdateCheckLauncher(&UpdateChecker::FetchLatestManifest, &ReadProgramVersion) {}

UpdateCheckLauncher::UpdateCheckLauncher(UpdateChecker::FetchFunction fetch,
                                         VersionSource currentVersion)
    : fetch_(std::move(fetch)), currentVersion_(std::move(currentVersion)) {}

bool UpdateCheckLauncher::Start(HWND window, bool manual) {
    if (updateWindowOpen_) {
        return false;
    }
    bool expected = false;
    if (!running_->compare_exchange_strong(expected, true)) {
        return false;
    }
    try {
        std::thread([window, manual, fetch = fetch_, currentVersion = currentVersion_,
                     running = running_] {
            auto record = std::make_unique<UpdateCheckRecord>();
            try {
                record->result = UpdateChecker::CheckForUpdates(fetch, currentVersion());
            } catch (const std::exception& e) {
                record->result = UpdateCheckResult{};
                record->result.failureReason = e.what();
            }
            record->result.manual = manual;
            if (!PostRecord(window, kUpdateCheckResultMessage, std::move(record))) {
                running->store(false);
            }
        }).detach();
    } catch (const std::exception&) {
        running_->store(false);
        return false;
    }
    return true;
}

std::unique_ptr<UpdateCheckRecord> UpdateCheckLauncher::Finish(WPARAM wParam, LPARAM lParam) {
    auto record = AdoptRecord<UpdateCheckRecord>(wParam, lParam);
    if (record) {
        running_->store(false);
    }
    return record;
}

}  // namespace wrenpost
