// Drives Wrenpost.exe from another process, as a person would: starts it and finds its windows.
// Polls against deadlines, never sleeps a fixed time.
#pragma once

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/UniqueHandle_win.h"

namespace wrenpost::testing {

using std::chrono::milliseconds;

inline constexpr milliseconds kE2eTimeout{30000};

// Polls `done` until it holds or `timeout` has passed; whether it holds.
inline bool WaitFor(const std::function<bool()>& done, milliseconds timeout = kE2eTimeout) {
    const DWORD deadline = GetTickCount() + static_cast<DWORD>(timeout.count());
    while (!done()) {
        if (static_cast<LONG>(GetTickCount() - deadline) > 0) {
            return false;
        }
        Sleep(50);
    }
    return true;
}

// The Windows path of a file in the build tree (the build tree is a Linux path, seen as Z:).
std::filesystem::path BuildPath(const std::wstring& relative);

// The started process (an empty handle when it could not start).
UniqueHandle Launch(const std::filesystem::path& exe, const std::wstring& arguments = L"");
// The exit code, or nullopt when the process did not end in time.
std::optional<DWORD> WaitForExit(HANDLE process, milliseconds timeout);

// Top-level windows of the class and title (nullptr: any), of one process (0: any); only visible
// ones unless `hiddenToo`.
std::vector<HWND> FindWindows(const wchar_t* className, const wchar_t* title, DWORD processId = 0,
                              bool hiddenToo = false);
HWND WaitForWindow(const wchar_t* className, const wchar_t* title, DWORD processId,
                   milliseconds timeout);

}  // namespace wrenpost::testing
