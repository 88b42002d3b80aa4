// A small modal dialog described by a table of controls: the vault's password, recovery, token
// and notes dialogs differ only in their controls and in what their buttons do.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "common/UniqueHandle_win.h"
#include "ui/DialogWindow_win.h"
#include "ui/OwnedDialog_win.h"

namespace wrenpost {

struct FormLayout {
    const wchar_t* className;
    const wchar_t* title;
    int width, height;  // the window's outer size at 96 DPI
    std::vector<DialogControl> controls;
    int focus;  // the control focused first
};

class FormDialog;
// A command (button click or edit change); true ends the dialog with that id.
using FormCommand = std::function<bool(FormDialog& dialog, int id, int notification)>;
// Any other message; true when handled.
using FormMessage = std::function<bool(FormDialog& dialog, UINT message, WPARAM, LPARAM)>;

class FormDialog : public OwnedDialog<FormDialog> {
public:
    FormDialog(HWND owner, const FormLayout& layout, FormCommand onCommand, FormMessage onMessage);

    // Runs modally; the id that ended it (IDCANCEL when closed or destroyed from outside), or 0
    // when the window could not be made.
    int Run();

    HWND Item(int id) const { return GetDlgItem(Window(), id); }
    std::wstring Text(int id) const;
    void SetText(int id, const std::wstring& text) const;
    void End(int id) { ended_ = id; }
    UINT Dpi() const { return dpi_; }

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
    const FormLayout& layout_;
    FormCommand onCommand_;
    FormMessage onMessage_;
    int ended_ = 0;
};

// Edits of the form dialogs.
inline constexpr DWORD kFormEdit = WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;
inline constexpr DWORD kFormPassword = kFormEdit | ES_PASSWORD;
inline constexpr DWORD kFormButton = BS_PUSHBUTTON | WS_TABSTOP;
inline constexpr DWORD kFormDefault = BS_DEFPUSHBUTTON | WS_TABSTOP;
inline constexpr DWORD kFormLabel = SS_LEFT | SS_NOPREFIX;

}  // namespace wrenpost
