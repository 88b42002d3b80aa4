// The About dialog: what the program is, its version, and the way to a manual update check.
#pragma once

#include <windows.h>

#include <functional>

#include "ui/ModalLoop_win.h"

namespace wrenpost {

inline constexpr wchar_t kAboutDialogClass[] = L"WrenpostAboutDlg";
inline constexpr int kAboutCheckForUpdatesId = 101;

// Modal over `owner` until closed (Escape, Enter on Close, the close box or Close), centred over
// it and laid out for its DPI. "Check for Updates" calls `checkForUpdates` with the dialog's
// window, which may own what the check shows; without a callback the button is disabled.
// Returns how the modal loop ended.
ModalEnd RunAboutDialog(HWND owner, const std::function<void(HWND about)>& checkForUpdates);

}  // namespace wrenpost
