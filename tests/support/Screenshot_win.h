// Saves what a window shows on the screen as a PNG file, for looking at a dialog after a test.
#pragma once

#include <windows.h>

#include <string>

namespace wrenpost {

// The window's screen rectangle, frame included, copied from the screen after it has painted.
// Creates the file's folder. False with `error` when any step fails.
[[nodiscard]] bool SaveWindowScreenshot(HWND window, const std::wstring& pngPath,
                                        std::wstring& error);

}  // namespace wrenpost
