// Runs update checks for a window: one at a time, on a guarded worker that posts the result (or,
// when it cannot start or fails, a failed result) back as a heap record. Owned by the main window,
// which calls Start and, on the result message, Finish.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

#include "common/AppMessages_win.h"
#include "common/PostedRecord_win.h"
#include "update/UpdateChecker.h"

namespace wrenpost {

struct UpdateCheckRecord final : PostedRecord {
    UpdateCheckResult result;
};

class UpdateCheckLauncher {
public:
    using VersionSource = std::function<std::optional<Version>()>;

    // The real service and the program's own version.
    UpdateCheckLauncher();
    UpdateCheckLauncher(UpdateChecker::FetchFunction fetch, VersionSource currentVersion);

    // Starts a check that posts kUpdateCheckResultMessage with an UpdateCheckRecord to `window`.
    // Dropped (false) while a check is running or the "Update Available" window is open.
    bool Start(HWND window, bool manual);

    // In the handler of kUpdateCheckResultMessage: marks the check finished and hands over the
    // record (null when the message did not carry one).
    std::unique_ptr<UpdateCheckRecord> Finish(WPARAM wParam, LPARAM lParam);

    bool IsRunning() const { return running_->load(); }

    // The "Update Available" window reports while it is open; no check starts meanwhile.
    void SetUpdateWindowOpen(bool open) { updateWindowOpen_ = open; }

private:
    UpdateChecker::FetchFunction fetch_;
    VersionSource currentVersion_;
    // Shared with the worker, which clears it itself when its result cannot be delivered, so a
    // lost message does not block every later check.
    std::shared_ptr<std::atomic<bool>> running_ = std::make_shared<std::atomic<bool>>(false);
    bool updateWindowOpen_ = false;
};

}  // namespace wrenpost
