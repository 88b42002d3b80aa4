// Starting a program and finding its windows.
#include "support/Driver_win.h"

#include <algorithm>
#include <thread>

#include "common/Text.h"

namespace wrenpost::testing {
std::filesystem::path BuildPath(const std::wstring& relative) {
    std::wstring path = L"Z:" + Utf8ToWide(WRENPOST_BUILD_DIR) + L"/" + relative;
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

UniqueHandle Launch(const std::filesystem::path& exe, const std::wstring& arguments) {
    std::wstring commandLine = L"\"" + exe.wstring() + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &info)) {
        return UniqueHandle();
    }
    CloseHandle(info.hThread);
    return UniqueHandle(info.hProcess);
}

std::optional<DWORD> WaitForExit(HANDLE process, milliseconds timeout) {
    DWORD code = 0;
    if (WaitForSingleObject(process, static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(process, &code)) {
        return std::nullopt;
    }
    return code;
}

std::vector<HWND> FindWindows(const wchar_t* className, const wchar_t* title, DWORD processId,
                              bool hiddenToo) {
    std::vector<HWND> found;
    for (HWND window = nullptr;
         (window = FindWindowExW(nullptr, window, className, nullptr)) != nullptr;) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        wchar_t text[256] = {};
        GetWindowTextW(window, text, 256);
        if ((hiddenToo || IsWindowVisible(window)) && (processId == 0 || owner == processId) &&
            (title == nullptr || title == std::wstring(text))) {
            found.push_back(window);
        }
    }
    return found;
}

HWND WaitForWindow(const wchar_t* className, const wchar_t* title, DWORD processId,
                   milliseconds timeout) {
    HWND found = nullptr;
    WaitFor(
        [&] {
            const auto windows = FindWindows(className, title, processId);
            found = windows.empty() ? nullptr : windows.front();
            return found != nullptr;
        },
        timeout);
    return found;
}

}  // namespace wrenpost::testing
