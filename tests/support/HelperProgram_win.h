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

// wrenpost_file_holder beside this program, holding `path` until End: open without sharing, or
// with `mode` "lock" its ConfigFileLock ("abandon": the holder then ends without releasing it).
class HeldFile {
public:
    explicit HeldFile(const std::filesystem::path& path, const std::wstring& mode = L"") {
        const std::wstring suffix = std::to_wstring(GetCurrentProcessId());
        const std::wstring readyName = L"WrenpostFileHeld" + suffix;
        const std::wstring quitName = L"WrenpostFileLetGo" + suffix;
        ready_.reset(CreateEventW(nullptr, TRUE, FALSE, readyName.c_str()));
        quit_.reset(CreateEventW(nullptr, TRUE, FALSE, quitName.c_str()));
        process_ =
            StartBesideThisProgram(L"wrenpost_file_holder.exe",
                                   L"\"" + path.wstring() + L"\" " + readyName + L" " + quitName + L" " + mode);
    }
    ~HeldFile() { End(); }
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

    // True once the holder has the file open; false when it ended without getting it.
    bool Holding() const {
        if (!ready_ || !quit_ || !process_) {
            return false;
        }
        const HANDLE either[] = {ready_.get(), process_.get()};
        return WaitForMultipleObjects(2, either, FALSE, 30000) == WAIT_OBJECT_0;
    }
    // Lets go of the file and waits for the holder to end; its exit code.
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

}  // namespace wrenpost::testing
