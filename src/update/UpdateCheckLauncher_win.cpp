// The update-check worker and its one-at-a-time guard.
#include "update/UpdateCheckLauncher_win.h"

#include <utility>

#include "common/Text.h"
#include "common/WindowWorker_win.h"
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
    WindowWorker worker;
    worker.window = window;
    worker.message = kUpdateCheckResultMessage;
    worker.work = [manual, fetch = fetch_, currentVersion = currentVersion_] {
        auto record = std::make_unique<UpdateCheckRecord>();
        record->result = UpdateChecker::CheckForUpdates(fetch, currentVersion());
        record->result.manual = manual;
        return record;
    };
    worker.failure = [manual](const std::wstring& reason) {
        auto record = std::make_unique<UpdateCheckRecord>();
        record->result.failureReason = WideToUtf8(reason);
        record->result.manual = manual;
        return record;
    };
    // A result that cannot be delivered must not block every later check.
    worker.undelivered = [running = running_] { running->store(false); };
    // A thread that cannot be created still reports: its failure record ends the check.
    LaunchWindowWorker(std::move(worker));
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
