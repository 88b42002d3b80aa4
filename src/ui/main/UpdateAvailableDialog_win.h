// The "Update Available" window: the running and the new version, the release notes, and the way
// to the download page. It only reports the user's choice; the main window acts on it.
#pragma once

#include <windows.h>

#include <functional>

#include "update/UpdateChecker.h"

namespace wrenpost {

inline constexpr wchar_t kUpdateAvailableDialogClass[] = L"WrenpostUpdateAvailableDialog";
inline constexpr int kUpdateOpenId = IDOK;       // the default button: Enter presses it
inline constexpr int kUpdateLaterId = IDCANCEL;  // Escape and the close box arrive as this too

enum class UpdateChoice {
    DownloadPageOpened,  // "Open Download Page" succeeded
    Later,               // "Later", Escape or the close box
    NoChoice,            // the window was destroyed from outside, could not open, or a quit came
};

// Modal over `owner` (the main window, or About when the user asked from there) and centred over
// `centreOver`, sized for the owner's DPI. `openDownloadPage` returns false when no browser could
// be opened; the window then warns and stays.
UpdateChoice RunUpdateAvailableDialog(HWND owner, HWND centreOver, const UpdateCheckResult& result,
                                      const std::function<bool()>& openDownloadPage);

}  // namespace wrenpost
