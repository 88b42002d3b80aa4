// The helper programs of tests/tools/ are built beside the test programs that start them.
#pragma once

#include <windows.h>

#include <string>

#include "common/UniqueHandle_win.h"

namespace wrenpost::testing {

// Starts `exe` of this program's folder with `arguments`; its process, empty when it could not
// be started.
inline UniqueHandle StartBesideThisProgram(const std::wstring& exe, const std::wstring& arguments) {
    wchar_t self[MAX_PATH];
    const std::wstring path(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
    std::wstring command =
        L"\"" + path.substr(0, path.find_last_of(L"\\/") + 1) + exe + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    const BOOL started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0,
                                        nullptr, nullptr, &startup, &info);
    const UniqueHandle thread(info.hThread);
    return UniqueHandle(started ? info.hProcess : nullptr);
}

}  // namespace wrenpost::testing
