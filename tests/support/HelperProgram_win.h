// The helper programs of tests/tools/ are built beside the test programs that start them.
#pragma once

#include <windows.h>

#include <filesystem>
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

// A helper program beside this one holding something until End, started with `first`, the names
// of the events it signals once holding and waits on to let go, and `last`.
class HeldByHelper {
public:
    HeldByHelper(const std::wstring& exe, const std::wstring& first, const std::wstring& last) {
        static int count = 0;
        const std::wstring suffix =
            std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++count);
        const std::wstring readyName = L"WrenpostHeld" + suffix;
        const std::wstring quitName = L"WrenpostLetGo" + suffix;
        ready_.reset(CreateEventW(nullptr, TRUE, FALSE, readyName.c_str()));
        quit_.reset(CreateEventW(nullptr, TRUE, FALSE, quitName.c_str()));
        process_ = StartBesideThisProgram(
            exe, first + L" " + readyName + L" " + quitName + (last.empty() ? L"" : L" " + last));
    }
    ~HeldByHelper() { End(); }
    HeldByHelper(const HeldByHelper&) = delete;
    HeldByHelper& operator=(const HeldByHelper&) = delete;

    // True once the helper holds what it was given; false when it ended without getting it.
    bool Holding() const {
        if (!ready_ || !quit_ || !process_) {
            return false;
        }
        const HANDLE either[] = {ready_.get(), process_.get()};
        return WaitForMultipleObjects(2, either, FALSE, 30000) == WAIT_OBJECT_0;
    }
    // Lets go and waits for the helper to end; its exit code.
    DWORD End() {
        DWORD code = 999;
        if (process_) {
            SetEvent(quit_.get());
            WaitForSingleObject(process_.get(), 30000);
            GetExitCodeProcess(process_.get(), &code);
            process_.reset();
        }
        return code;
    }

private:
    UniqueHandle ready_, quit_, process_;
};

// wrenpost_file_holder holding `path`: open without sharing, or with `mode` "lock" its
// ConfigFileLock ("abandon": the holder then ends without releasing it).
struct HeldFile : HeldByHelper {
    explicit HeldFile(const std::filesystem::path& path, const std::wstring& mode = L"")
        : HeldByHelper(L"wrenpost_file_holder.exe", L"\"" + path.wstring() + L"\"", mode) {}
};

}  // namespace wrenpost::testing
