#include "ui/vault/FormDialog_win.h"

#include <utility>

#include "common/PostedRecord_win.h"

namespace wrenpost {

FormDialog::FormDialog(HWND owner, const FormLayout& layout, FormCommand onCommand,
                       FormMessage onMessage)
    : OwnedDialog(owner),
      layout_(layout),
      onCommand_(std::move(onCommand)),
      onMessage_(std::move(onMessage)) {}

int FormDialog::Run() {
    if (!CreateOwnedWindowOuter(layout_.className, layout_.title, layout_.width, layout_.height)) {
        return 0;
    }
    if (onMessage_) {
        onMessage_(*this, WM_INITDIALOG, 0, 0);
    }
    RunModal([this] { return ended_ != 0; }, layout_.focus);
    return ended_ != 0 ? ended_ : IDCANCEL;
}

std::wstring FormDialog::Text(int id) const {
    const HWND control = Item(id);
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return text;
}

void FormDialog::SetText(int id, const std::wstring& text) const {
    SetDlgItemTextW(Window(), id, text.c_str());
}

LRESULT FormDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (onMessage_ && message != WM_CREATE && message != WM_NCDESTROY &&
        onMessage_(*this, message, wParam, lParam)) {
        return 0;
    }
    switch (message) {
        case WM_CREATE: {
            for (const DialogControl& control : layout_.controls) {
                if (!CreateDialogControl(Window(), control, dpi_, MessageFont())) {
                    return -1;
                }
            }
            return 0;
        }
        case WM_COMMAND:
            if (onCommand_(*this, LOWORD(wParam), HIWORD(wParam))) {
                End(LOWORD(wParam));
            }
            return 0;
        case WM_CLOSE:
            if (onCommand_(*this, IDCANCEL, BN_CLICKED)) {
                End(IDCANCEL);
            }
            return 0;
        default:
            break;
    }
    return DialogDefault(Window(), message, wParam, lParam);
}

}  // namespace wrenpost
