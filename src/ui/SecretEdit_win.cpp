#include "ui/SecretEdit_win.h"

#include <commctrl.h>

#include <string>

#include "common/Clipboard_win.h"

namespace wrenpost {
namespace {

constexpr UINT_PTR kSubclassId = 0x5EC2;

void CopySelection(HWND edit) {
    DWORD start = 0;
    DWORD end = 0;
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(edit)) + 1, L'\0');
    text.resize(
        static_cast<std::size_t>(GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
    if (start < end && start < text.size()) {
        std::wstring selected = text.substr(start, end - start);
        CopyToClipboard(edit, selected, ClipboardPrivacy::Secret);
        SecureZeroMemory(selected.data(), selected.size() * sizeof(wchar_t));
    }
    SecureZeroMemory(text.data(), text.size() * sizeof(wchar_t));
}

// The edit's own copy would put plain text on the clipboard: WM_COPY and WM_CUT (the context
// menu, Ctrl+C in wine), Ctrl+C and Ctrl+X as characters, Ctrl+Insert and Shift+Delete as keys.
LRESULT CALLBACK SecretCopyProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                DWORD_PTR) {
    const bool control = GetKeyState(VK_CONTROL) < 0;
    const bool shift = GetKeyState(VK_SHIFT) < 0;
    const bool copy = message == WM_COPY || (message == WM_CHAR && wParam == 0x03) ||
                      (message == WM_KEYDOWN && wParam == VK_INSERT && control && !shift);
    const bool cut = message == WM_CUT || (message == WM_CHAR && wParam == 0x18) ||
                     (message == WM_KEYDOWN && wParam == VK_DELETE && shift && !control);
    if (copy || cut) {
        if (SendMessageW(edit, EM_GETPASSWORDCHAR, 0, 0) == 0) {
            CopySelection(edit);
            if (cut && (GetWindowLongW(edit, GWL_STYLE) & ES_READONLY) == 0) {
                SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L""));
            }
        }
        return 0;
    }
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(edit, &SecretCopyProc, kSubclassId);
    }
    return DefSubclassProc(edit, message, wParam, lParam);
}

}  // namespace

void CopyOnlyAsSecret(HWND edit) {
    SetWindowSubclass(edit, &SecretCopyProc, kSubclassId, 0);
}

}  // namespace wrenpost
