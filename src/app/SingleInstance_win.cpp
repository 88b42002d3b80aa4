#include "app/SingleInstance_win.h"

#include <windows.h>

namespace wrenpost {

bool SingleInstanceGuard::Acquire() {
    mutex_.reset(CreateMutexW(nullptr, FALSE, kSingleInstanceMutexName));
    if (mutex_ && GetLastError() == ERROR_ALREADY_EXISTS) {
        mutex_.reset();
        return false;
    }
    return true;
}

bool ActivateRunningInstance(const wchar_t* windowClass, const wchar_t* windowTitle) {
    HWND window = FindWindowW(windowClass, windowTitle);
    if (window == nullptr) {
        return false;
    }
    ShowWindow(window, SW_RESTORE);
    const DWORD ourThread = GetCurrentThreadId();
    const HWND foreground = GetForegroundWindow();
    const DWORD foregroundThread =
        foreground ? GetWindowThreadProcessId(foreground, nullptr) : ourThread;
    const bool attach = foregroundThread != ourThread;
    if (attach) {
        AttachThreadInput(ourThread, foregroundThread, TRUE);
    }
    SetForegroundWindow(window);
    BringWindowToTop(window);
    if (attach) {
        AttachThreadInput(ourThread, foregroundThread, FALSE);
    }
    return true;
}

}  // namespace wrenpost
