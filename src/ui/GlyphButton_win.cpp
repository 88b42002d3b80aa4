#include "ui/GlyphButton_win.h"

#include <commctrl.h>

#include <string>
#include <vector>

namespace wrenpost {
namespace {

constexpr UINT_PTR kEnterSubclassId = 1;

// An owner-drawn button answers the dialog manager as a check box does, so Enter on it would
// press the dialog's default button (OK) instead of it: it takes Enter for itself.
LRESULT CALLBACK EnterPressesProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                  DWORD_PTR) {
    switch (message) {
        case WM_GETDLGCODE: {
            const auto* key = reinterpret_cast<const MSG*>(lParam);
            const LRESULT code = DefSubclassProc(button, message, wParam, lParam);
            return key != nullptr && key->message == WM_KEYDOWN && key->wParam == VK_RETURN
                       ? code | DLGC_WANTMESSAGE
                       : code;
        }
        case WM_KEYDOWN:
            if (wParam == VK_RETURN) {
                SendMessageW(button, BM_CLICK, 0, 0);
                return 0;
            }
            break;
        case WM_NCDESTROY:
            RemoveWindowSubclass(button, &EnterPressesProc, kEnterSubclassId);
            break;
        default:
            break;
    }
    return DefSubclassProc(button, message, wParam, lParam);
}

}  // namespace

void SetButtonGlyph(HWND button, const ButtonGlyph& look) {
    SetWindowSubclass(button, &EnterPressesProc, kEnterSubclassId, 0);
    SetWindowLongPtrW(button, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&look));
    SetWindowTextW(button, look.name);
    InvalidateRect(button, nullptr, TRUE);
}

bool FontHasGlyphs(HDC dc, const wchar_t* text) {
    const int length = lstrlenW(text);
    std::vector<WORD> indices(static_cast<std::size_t>(length) + 1);
    if (GetGlyphIndicesW(dc, text, length, indices.data(), GGI_MARK_NONEXISTING_GLYPHS) ==
        GDI_ERROR) {
        return false;
    }
    for (int i = 0; i < length; ++i) {
        if (IS_HIGH_SURROGATE(text[i]) || IS_LOW_SURROGATE(text[i]) || indices[i] == 0xFFFF) {
            return false;
        }
    }
    return true;
}

// Drawn in system colours only, so a high-contrast scheme stays readable.
bool DrawGlyphButton(const DRAWITEMSTRUCT& item) {
    if (item.CtlType != ODT_BUTTON) {
        return false;
    }
    const auto* look =
        reinterpret_cast<const ButtonGlyph*>(GetWindowLongPtrW(item.hwndItem, GWLP_USERDATA));
    if (look == nullptr) {
        return false;
    }
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;
    RECT frame = item.rcItem;
    DrawFrameControl(item.hDC, &frame, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));
    const HGDIOBJ font = SelectObject(
        item.hDC, reinterpret_cast<HGDIOBJ>(SendMessageW(item.hwndItem, WM_GETFONT, 0, 0)));
    const wchar_t* shown = FontHasGlyphs(item.hDC, look->glyph) ? look->glyph : look->fallback;
    RECT text = item.rcItem;
    OffsetRect(&text, pressed ? 1 : 0, pressed ? 1 : 0);
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, GetSysColor((item.itemState & ODS_DISABLED) != 0 ? COLOR_GRAYTEXT
                                                                            : COLOR_BTNTEXT));
    DrawTextW(item.hDC, shown, -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(item.hDC, font);
    if ((item.itemState & ODS_FOCUS) != 0 && (item.itemState & ODS_NOFOCUSRECT) == 0) {
        RECT focus = item.rcItem;
        InflateRect(&focus, -3, -3);
        DrawFocusRect(item.hDC, &focus);
    }
    return true;
}

}  // namespace wrenpost
