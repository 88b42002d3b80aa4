// What the clipboard holds, for the windows that copy secrets.
#pragma once

#include <windows.h>

#include <string>
#include <utility>

namespace wrenpost::testing {

// The clipboard's text, and whether it carries all three clipboard-history exclusions.
inline std::pair<std::wstring, bool> Clipboard() {
    std::pair<std::wstring, bool> seen{L"", true};
    if (!OpenClipboard(nullptr)) {
        return seen;
    }
    if (HANDLE text = GetClipboardData(CF_UNICODETEXT)) {
        seen.first = static_cast<const wchar_t*>(GlobalLock(text));
        GlobalUnlock(text);
    }
    for (const wchar_t* name : {L"ExcludeClipboardContentFromMonitorProcessing",
                                L"CanIncludeInClipboardHistory", L"CanUploadToCloudClipboard"}) {
        const HANDLE data = GetClipboardData(RegisterClipboardFormatW(name));
        const auto* value = data ? static_cast<const DWORD*>(GlobalLock(data)) : nullptr;
        seen.second = seen.second && value != nullptr && *value == 0;
        if (data) {
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return seen;
}

// Whether copying all of the edit (Ctrl+C, the context menu) puts its whole text on the emptied
// clipboard, and only as a secret.
inline bool CopiesOnlyAsSecret(HWND edit) {
    if (OpenClipboard(nullptr)) {
        EmptyClipboard();
        CloseClipboard();
    }
    wchar_t text[256] = {};
    GetWindowTextW(edit, text, 256);
    SendMessageW(edit, EM_SETSEL, 0, -1);
    SendMessageW(edit, WM_COPY, 0, 0);
    return Clipboard() == std::pair<std::wstring, bool>(text, true);
}

}  // namespace wrenpost::testing
