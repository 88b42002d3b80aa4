#include "support/Driver_win.h"

#include <thread>

#include "common/Text.h"

namespace wrenpost::testing {
namespace {

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

template <typename Probe>
auto PollUntil(milliseconds timeout, Probe probe) -> decltype(probe()) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
        if (auto result = probe()) {
            return result;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return decltype(probe()){};
        }
        std::this_thread::sleep_for(milliseconds(20));
    }
}

}  // namespace

std::filesystem::path BuildPath(const std::wstring& relative) {
    std::wstring path = L"Z:" + Utf8ToWide(WRENPOST_BUILD_DIR) + L"/" + relative;
    for (auto& c : path) {
        if (c == L'/') {
            c = L'\\';
        }
    }
    return path;
}

std::optional<LaunchedProcess> Launch(const std::filesystem::path& exe,
                                      const std::wstring& arguments) {
    std::wstring commandLine = L"\"" + exe.wstring() + L"\"";
    if (!arguments.empty()) {
        commandLine += L" " + arguments;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &info)) {
        return std::nullopt;
    }
    CloseHandle(info.hThread);
    LaunchedProcess launched;
    launched.process.reset(info.hProcess);
    launched.id = info.dwProcessId;
    return launched;
}

std::optional<DWORD> WaitForExit(const LaunchedProcess& process, milliseconds timeout) {
    if (WaitForSingleObject(process.process.get(), static_cast<DWORD>(timeout.count())) !=
        WAIT_OBJECT_0) {
        return std::nullopt;
    }
    DWORD code = 0;
    GetExitCodeProcess(process.process.get(), &code);
    return code;
}

std::vector<HWND> FindWindows(const wchar_t* className, const wchar_t* title, DWORD processId) {
    FindContext context{className, title, processId, {}};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&context));
    return context.found;
}

HWND WaitForWindow(const wchar_t* className, const wchar_t* title, DWORD processId,
                   milliseconds timeout) {
    return PollUntil(timeout, [&]() -> HWND {
        const auto windows = FindWindows(className, title, processId);
        return windows.empty() ? nullptr : windows.front();
    });
}

std::optional<MessageBoxInfo> WaitForMessageBox(DWORD processId, milliseconds timeout) {
    return PollUntil(timeout, [&]() -> std::optional<MessageBoxInfo> {
        const auto boxes = FindWindows(L"#32770", nullptr, processId);
        if (boxes.empty()) {
            return std::nullopt;
        }
        MessageBoxInfo info;
        info.box = boxes.front();
        info.caption = WindowText(info.box);
        HWND text = GetDlgItem(info.box, 0xFFFF);  // the message text's Static
        info.text = text ? WindowText(text) : std::wstring();
        return info;
    });
}

bool AnswerMessageBox(const MessageBoxInfo& box, int buttonId) {
    HWND button = GetDlgItem(box.box, buttonId);
    return button != nullptr && PostMessageW(button, BM_CLICK, 0, 0);
}

std::wstring WindowText(HWND window) {
    // WM_GETTEXT, not GetWindowText: it also reads controls of other processes.
    const auto length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const auto copied =
        SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(copied));
    return text;
}

}  // namespace wrenpost::testing
