// What the rules windows share: creation from a control table, the modal run (owner disabled,
// dialog keys, owner re-enabled and brought forward) and the small control helpers.
#pragma once

#include <windows.h>
// The headers below need windows.h first.
#include <commctrl.h>

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/Prompt.h"
#include "common/UniqueHandle_win.h"
#include "ui/DialogWindow_win.h"
#include "ui/OwnedDialog_win.h"

namespace wrenpost {

inline constexpr DWORD kRuleLabel = SS_LEFT | SS_NOPREFIX;
inline constexpr DWORD kRuleButton = BS_PUSHBUTTON | WS_TABSTOP;
inline constexpr DWORD kRuleDefaultButton = BS_DEFPUSHBUTTON | WS_TABSTOP;
inline constexpr DWORD kRuleRadio = BS_AUTORADIOBUTTON | WS_TABSTOP;
inline constexpr DWORD kRuleCheck = BS_AUTOCHECKBOX | WS_TABSTOP;
inline constexpr DWORD kRuleGroup = BS_GROUPBOX;
inline constexpr DWORD kRuleEdit = ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;
inline constexpr DWORD kRuleDropDown = CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
inline constexpr DWORD kRuleList =
    LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_BORDER | WS_TABSTOP;

struct ListColumn {
    const wchar_t* title;
    int width;  // 96-DPI units
};

// Report-view helpers: full-row selection and grid lines, rows replaced whole.
void AddListColumns(HWND list, std::span<const ListColumn> columns, UINT dpi);
void SetListRows(HWND list, const std::vector<std::vector<std::wstring>>& rows);
int SelectedListRow(HWND list);  // -1 without a selection
void SelectListRow(HWND list, int row);

// The position of `text` among `names`, -1 when it is not one of them.
int IndexOfName(std::span<const std::wstring_view> names, std::wstring_view text);
void FillDropDown(HWND box, std::span<const std::wstring_view> items);
std::wstring WindowText(HWND control);

// A rules-window message box owned by `owner`.
PromptAnswer AskRules(HWND owner, const std::wstring& text, PromptIcon icon,
                      PromptButtons buttons = PromptButtons::Ok,
                      const wchar_t* caption = L"Notification Rules",
                      PromptRequest::Default defaultButton = PromptRequest::Default::First);

template <typename Derived>
class RuleDialog : public OwnedDialog<Derived> {
public:
    explicit RuleDialog(HWND owner) : OwnedDialog<Derived>(owner) {}

    // Runs the window modally; true when it ended with Close(true).
    bool Run(const wchar_t* className, const wchar_t* title, int width, int height) {
        if (!this->CreateOwnedWindow(className, title, width, height)) {
            return false;
        }
        this->RunModal([this] { return closed_; });
        if (this->owner_ != nullptr) {
            SetForegroundWindow(this->owner_);
        }
        return accepted_;
    }

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
        auto& self = static_cast<Derived&>(*this);
        switch (message) {
            case WM_CREATE:
                return self.OnCreate() ? 0 : -1;
            case WM_COMMAND:
                if (LOWORD(wParam) == IDCANCEL) {
                    self.OnCancel();
                } else {
                    self.OnCommand(LOWORD(wParam), HIWORD(wParam));
                }
                return 0;
            case WM_NOTIFY:
                return self.OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
            case WM_CLOSE:
                self.OnCancel();
                return 0;
            default:
                break;
        }
        return DefDlgProcW(this->Window(), message, wParam, lParam);
    }

    // Defaults a window may hide with its own.
    void OnCancel() { Close(false); }
    LRESULT OnNotify(const NMHDR&) { return 0; }

protected:
    bool MakeControls(std::span<const DialogControl> controls) {
        for (const DialogControl& control : controls) {
            if (CreateDialogControl(this->Window(), control, this->dpi_, this->MessageFont()) ==
                nullptr) {
                return false;
            }
        }
        return true;
    }
    HWND Item(int id) const { return GetDlgItem(this->Window(), id); }
    std::wstring Text(int id) const { return WindowText(Item(id)); }
    void SetText(int id, const std::wstring& text) { SetWindowTextW(Item(id), text.c_str()); }
    bool Checked(int id) const { return IsDlgButtonChecked(this->Window(), id) == BST_CHECKED; }
    void Check(int id, bool on) {
        CheckDlgButton(this->Window(), id, on ? BST_CHECKED : BST_UNCHECKED);
    }
    int DropDownIndex(int id) const {
        return static_cast<int>(SendMessageW(Item(id), CB_GETCURSEL, 0, 0));
    }
    void SelectDropDown(int id, int index) { SendMessageW(Item(id), CB_SETCURSEL, index, 0); }
    PromptAnswer Ask(const std::wstring& text, PromptIcon icon,
                     PromptButtons buttons = PromptButtons::Ok) const {
        return AskRules(this->Window(), text, icon, buttons);
    }
    // A refused save: the warning, then the focus where the user must act.
    bool Refuse(const std::wstring& text, int focusId = 0) {
        Ask(text, PromptIcon::Warning);
        if (focusId != 0) {
            SendMessageW(this->Window(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(focusId)),
                         TRUE);
        }
        return false;
    }
    void Close(bool accepted) {
        accepted_ = accepted;
        closed_ = true;
    }

private:
    bool closed_ = false;
    bool accepted_ = false;
};

}  // namespace wrenpost
