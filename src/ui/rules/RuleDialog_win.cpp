// The list, drop-down and prompt helpers shared by the rules windows.
#include "ui/rules/RuleDialog_win.h"

#include <cstdint>

namespace wrenpost {

void AddListColumns(HWND list, std::span<const ListColumn> columns, UINT dpi) {
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_DOUBLEBUFFER);
    int index = 0;
    for (const ListColumn& column : columns) {
        LVCOLUMNW entry{};
        entry.mask = LVCF_TEXT | LVCF_WIDTH;
        entry.pszText = const_cast<wchar_t*>(column.title);
        entry.cx = MulDiv(column.width, static_cast<int>(dpi), 96);
        SendMessageW(list, LVM_INSERTCOLUMNW, index++, reinterpret_cast<LPARAM>(&entry));
    }
}

void SetListRows(HWND list, const std::vector<std::vector<std::wstring>>& rows) {
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    for (std::size_t row = 0; row < rows.size(); ++row) {
        for (std::size_t column = 0; column < rows[row].size(); ++column) {
            LVITEMW item{};
            item.mask = LVIF_TEXT;
            item.iItem = static_cast<int>(row);
            item.iSubItem = static_cast<int>(column);
            item.pszText = const_cast<wchar_t*>(rows[row][column].c_str());
            SendMessageW(list, column == 0 ? LVM_INSERTITEMW : LVM_SETITEMW, 0,
                         reinterpret_cast<LPARAM>(&item));
        }
    }
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}

int SelectedListRow(HWND list) {
    return static_cast<int>(
        SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void SelectListRow(HWND list, int row) {
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    SendMessageW(list, LVM_ENSUREVISIBLE, row, FALSE);
}

int IndexOfName(std::span<const std::wstring_view> names, std::wstring_view text) {
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i] == text) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void FillDropDown(HWND box, std::span<const std::wstring_view> items) {
    for (std::wstring_view item : items) {
        const std::wstring text(item);
        SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
}

std::wstring WindowText(HWND control) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return text;
}

PromptAnswer AskRules(HWND owner, const std::wstring& text, PromptIcon icon, PromptButtons buttons,
                      const wchar_t* caption, PromptRequest::Default defaultButton) {
    PromptRequest request;
    request.owner = reinterpret_cast<std::uintptr_t>(owner);
    request.caption = caption;
    request.text = text;
    request.icon = icon;
    request.buttons = buttons;
    request.defaultButton = defaultButton;
    return ShowPrompt(request);
}

}  // namespace wrenpost
