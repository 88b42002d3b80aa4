// The keyboard focus in the main window. Unlike the dialogs it is a plain window, so it keeps the
// focused control across activation itself (a box closing would otherwise leave the focus on the
// window, and Tab would start over), and it moves the focus on before disabling the control that
// has it: a focus on nothing leaves Tab, Enter and the mnemonics dead.
#include <windows.h>

#include "ui/main/MainWindow_win.h"

namespace wrenpost {

bool MainWindow::OnFocusMessage(UINT message, WPARAM wParam) {
    if (message == WM_ACTIVATE && LOWORD(wParam) == WA_INACTIVE) {
        if (HWND focus = GetFocus(); focus != nullptr && IsChild(Window(), focus)) {
            lastFocus_ = focus;
        }
        return false;
    }
    if (message != WM_SETFOCUS) {
        return false;
    }
    HWND target = lastFocus_;
    if (target == nullptr || !IsWindow(target) || !IsChild(Window(), target) ||
        !IsWindowEnabled(target) || !IsWindowVisible(target)) {
        target = GetNextDlgTabItem(Window(), nullptr, FALSE);
    }
    if (target != nullptr) {
        SetFocus(target);
    }
    return true;
}

void MainWindow::EnableControl(int id, bool enable) {
    HWND control = Control(id);
    if (!enable && GetFocus() == control) {
        SetFocus(GetNextDlgTabItem(Window(), control, FALSE));
    }
    EnableWindow(control, enable ? TRUE : FALSE);
}

}  // namespace wrenpost
