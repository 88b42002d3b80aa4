// Saves what a window shows on screen as build/screenshots/<name>.png, for a person to look at.
#pragma once

#include <windows.h>

#include <string>

namespace wrenpost::testing {

// True when the file was written. The window is brought up to date and captured from the screen,
// so it must be visible and uncovered.
bool SaveScreenshot(HWND window, const std::wstring& name);

}  // namespace wrenpost::testing
