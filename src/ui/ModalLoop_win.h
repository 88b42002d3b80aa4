// The one modal loop for the program's own dialogs. Nested inside the program's message loop, it
// must leave the owner as it found it and must not swallow a WM_QUIT: otherwise the process
// would live on without a window, still holding the single-instance mutex.
#pragma once

#include <windows.h>

#include <functional>

namespace wrenpost {

enum class ModalEnd {
    Done,        // `done` returned true
    DialogGone,  // the dialog window was destroyed
    Quit,        // a WM_QUIT arrived; it has been posted again for the outer loop
    Failed,      // GetMessage failed
};

// Runs messages until `done()` is true or `dialog` is destroyed. Disables `owner` (may be null)
// only if it was enabled, and re-enables it before returning only if it was disabled here.
// Dialog keys (Tab, Enter, Esc) go through IsDialogMessageW for `dialog`.
ModalEnd RunModalLoop(HWND owner, HWND dialog, const std::function<bool()>& done);

// The innermost dialog whose RunModalLoop is running on the calling thread, nullptr when none.
// The main window brings it forward, or destroys it before exiting, so that no nested loop is
// left running over a window that is gone.
HWND ActiveModalDialog();

}  // namespace wrenpost
