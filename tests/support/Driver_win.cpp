// Starting a program and finding its windows.
#include "support/Driver_win.h"

#include <algorithm>
#include <thread>

#include "common/Text.h"

namespace wrenpost::testing {
namespace {

// WM_GETTEXT, not GetWindowText: it also reads controls of other processes.
std::wstring WindowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0)) + 1,
                      L'\0');
    text.resize(static_cast<std::size_t>(
        SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
    return text;
}

struct FindContext {
    const wchar_t* className;
    const wchar_t* title;
    DWORD processId;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM data) {
    auto* context = reinterpret_cast<FindContext*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    wchar_t className[256] = {};
    GetClassNameW(window, className, 256);
    if (IsWindowVisible(window) && (context->processId == 0 || owner == context->processId) &&
        (context->className == nullptr || std::wstring(className) == context->className) &&
        (context->title == nullptr || WindowText(window) == context->title)) {
        context->found.push_back(window);
    }
    return TRUE;
}

}  // namespace

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

std::vector<HWND> FindWindows(const wchar_t* className, const wchar_t* title, DWORD processId) {
    FindContext context{className, title, processId, {}};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&context));
    return context.found;
}

HWND WaitForWindow(const wchar_t* className, const wchar_t* title, DWORD processId,
                   milliseconds timeout) {
    for (const auto end = std::chrono::steady_clock::now() + timeout;;
         std::this_thread::sleep_for(milliseconds(20))) {
        const auto windows = FindWindows(className, title, processId);
        if (!windows.empty() || std::chrono::steady_clock::now() >= end) {
            return windows.empty() ? nullptr : windows.front();
        }
    }
}

}  // namespace wrenpost::testing
