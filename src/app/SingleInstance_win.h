// One ordinary instance per Windows session: a session-local named mutex, and activation of the
// running instance's main window when a second one starts.
#pragma once

#include "common/UniqueHandle_win.h"

namespace wrenpost {

// Session-local on purpose: windows of other sessions cannot be activated, so a machine-wide
// mutex would make a second user's start exit silently.
inline constexpr wchar_t kSingleInstanceMutexName[] = L"Local\\Wrenpost_SingleInstance";

class SingleInstanceGuard {
public:
    // False when another ordinary instance already holds the mutex.
    bool Acquire();

private:
    UniqueHandle mutex_;
};

// Restores the running instance's window (found by class and title) and brings it to the front;
// false when not found.
bool ActivateRunningInstance(const wchar_t* windowClass, const wchar_t* windowTitle);

}  // namespace wrenpost
