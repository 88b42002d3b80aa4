#include "ui/vault/FormDialog_win.h"

#include <utility>

#include "common/PostedRecord_win.h"
#include "ui/ModalLoop_win.h"

namespace wrenpost {

FormDialog::FormDialog(HWND owner, const FormLayout& layout, FormCommand onCommand,
                       FormMessage onMessage)
    : owner_(owner),
      layout_(layout),
      onCommand_(std::move(onCommand)),
      onMessage_(std::move(onMessage)),
      dpi_(DialogDpi(owner)) {}

FormDialog::~FormDialog() {
    if (Window() != nullptr) {
        DestroyWindow(Window());
    }
}

int FormDialog::Run() {
    // The table gives outer sizes; the caption and the modal frame come off the client area.
    RECT frame{0, 0, 0, 0};
    AdjustWindowRectExForDpi(&frame, kDialogStyle, FALSE, kDialogExStyle, USER_DEFAULT_SCREEN_DPI);
    if (!RegisterDialogClass(GetModuleHandleW(nullptr), layout_.className,
                             &FormDialog::WindowProc) ||
        CreateDialogWindow(layout_.className, layout_.title, owner_, dpi_,
                           layout_.width - (frame.right - frame.left),
                           layout_.height - (frame.bottom - frame.top), this) == nullptr) {
        return 0;
    }
    if (onMessage_) {
        onMessage_(*this, WM_INITDIALOG, 0, 0);
    }
    ShowWindow(Window(), SW_SHOW);
    SendMessageW(Window(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(layout_.focus)), TRUE);
    RunModalLoop(owner_, Window(), [this] { return ended_ != 0; });
    const int ended = ended_ != 0 ? ended_ : IDCANCEL;
    if (Window() != nullptr) {
        DestroyWindow(Window());
    }
    return ended;
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
            const LOGFONTW font = MessageFontFor(dpi_);
            font_.reset(CreateFontIndirectW(&font));
            for (const DialogControl& control : layout_.controls) {
                if (!CreateDialogControl(Window(), control, dpi_,
                                         static_cast<HFONT>(font_.get()))) {
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
