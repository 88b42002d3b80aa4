// The main window's own drawing: START and STOP, the monitor lamp, the detach button and the
// selected row of the folder title list.
#include <windows.h>
// The headers below need windows.h first.
#include <commctrl.h>

#include "ui/GlyphButton_win.h"
#include "ui/main/MainWindow_win.h"

namespace wrenpost {
namespace {

struct ButtonColours {
    COLORREF normal;
    COLORREF hovered;
    COLORREF pressed;
};

constexpr ButtonColours kStartColours{RGB(34, 139, 34), RGB(46, 168, 46), RGB(22, 105, 22)};
constexpr ButtonColours kStopColours{RGB(192, 32, 32), RGB(215, 50, 50), RGB(140, 20, 20)};

void FillSolid(HDC dc, const RECT& rect, COLORREF colour) {
    UniqueGdiObject brush(CreateSolidBrush(colour));
    FillRect(dc, &rect, static_cast<HBRUSH>(brush.get()));
}

void Circle(HDC dc, POINT centre, int radius, COLORREF fill, COLORREF outline) {
    UniqueGdiObject brush(CreateSolidBrush(fill));
    UniqueGdiObject pen(CreatePen(PS_SOLID, 1, outline));
    HGDIOBJ oldBrush = SelectObject(dc, brush.get());
    HGDIOBJ oldPen = SelectObject(dc, pen.get());
    Ellipse(dc, centre.x - radius, centre.y - radius, centre.x + radius, centre.y + radius);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
}

}  // namespace

bool MainWindow::OnDrawItem(const DRAWITEMSTRUCT& item) {
    switch (item.CtlID) {
        case kIdStartMonitor:
        case kIdStopMonitor:
            DrawMonitorButton(item);
            return true;
        case kIdMonitorLamp:
            DrawLamp(item);
            return true;
        case kIdDetachButton:
            DrawDetachButton(item);
            return true;
        default:
            return DrawGlyphButton(item);  // the "?" buttons
    }
}

void MainWindow::DrawMonitorButton(const DRAWITEMSTRUCT& item) const {
    HDC dc = item.hDC;
    const RECT& rect = item.rcItem;
    const bool disabled = (item.itemState & ODS_DISABLED) != 0;
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;
    const bool highContrast = highContrast_;
    const ButtonColours& colours = item.CtlID == kIdStartMonitor ? kStartColours : kStopColours;
    COLORREF fill = colours.normal;
    COLORREF text = RGB(255, 255, 255);
    if (highContrast) {
        fill = GetSysColor(COLOR_BTNFACE);
        text = GetSysColor(disabled ? COLOR_GRAYTEXT : COLOR_BTNTEXT);
    } else if (disabled) {
        fill = RGB(180, 180, 180);
        text = RGB(100, 100, 100);
    } else if (pressed) {
        fill = colours.pressed;
    } else if (hoveredButton_ == static_cast<int>(item.CtlID)) {
        fill = colours.hovered;
    }
    FillSolid(dc, rect, fill);
    if (highContrast) {
        RECT frame = rect;
        DrawEdge(dc, &frame, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    }
    // The caption is the button's own text, which screen readers announce too.
    wchar_t caption[64] = {};
    GetWindowTextW(item.hwndItem, caption, 64);
    HGDIOBJ oldFont = SelectObject(dc, boldFont_ ? boldFont_.get() : uiFont_.get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, text);
    RECT textRect = rect;
    DrawTextW(dc, caption, -1, &textRect,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE |
                  ((item.itemState & ODS_NOACCEL) != 0 ? DT_HIDEPREFIX : 0));
    SelectObject(dc, oldFont);
    if ((item.itemState & ODS_FOCUS) != 0) {
        RECT focus = rect;
        InflateRect(&focus, -4, -4);
        DrawFocusRect(dc, &focus);
    }
}

void MainWindow::DrawLamp(const DRAWITEMSTRUCT& item) const {
    HDC dc = item.hDC;
    const RECT& rect = item.rcItem;
    FillRect(dc, &rect, static_cast<HBRUSH>(controlBrush_.get()));
    const POINT centre{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    const int dpi = static_cast<int>(dpi_);
    COLORREF dot = RGB(95, 95, 95);
    if (lamp_ != LampState::NeverStarted) {
        const bool running = lamp_ == LampState::Running;
        const COLORREF halo = running ? RGB(150, 235, 160) : RGB(240, 150, 150);
        Circle(dc, centre, ScaleForDpi(12, dpi), halo, halo);
        Circle(dc, centre, ScaleForDpi(9, dpi), RGB(40, 40, 40), RGB(25, 25, 25));
        dot = running ? RGB(40, 200, 70) : RGB(215, 45, 45);
    }
    Circle(dc, centre, ScaleForDpi(6, dpi), dot, dot);
}

void MainWindow::DrawDetachButton(const DRAWITEMSTRUCT& item) const {
    HDC dc = item.hDC;
    RECT rect = item.rcItem;
    FillRect(dc, &rect, static_cast<HBRUSH>(controlBrush_.get()));
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;
    DrawEdge(dc, &rect, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    // A small window with an arrow leaving it: "open elsewhere".
    const int unit = std::max(1, static_cast<int>(dpi_) / 96);
    const int offset = pressed ? unit : 0;
    const int left = rect.left + 5 * unit + offset;
    const int top = rect.top + 7 * unit + offset;
    HGDIOBJ pen = SelectObject(dc, GetStockObject(BLACK_PEN));
    HGDIOBJ brush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, left, top, left + 9 * unit, top + 9 * unit);
    MoveToEx(dc, left + 5 * unit, top + 3 * unit, nullptr);
    LineTo(dc, left + 12 * unit, top - 4 * unit);
    MoveToEx(dc, left + 8 * unit, top - 4 * unit, nullptr);
    LineTo(dc, left + 12 * unit, top - 4 * unit);
    LineTo(dc, left + 12 * unit, top);
    SelectObject(dc, brush);
    SelectObject(dc, pen);
    if (item.itemState & ODS_FOCUS) {
        RECT focus = rect;
        InflateRect(&focus, -3, -3);
        DrawFocusRect(dc, &focus);
    }
}

LRESULT MainWindow::PaintTitleListItem(NMLVCUSTOMDRAW& draw) const {
    if (draw.nmcd.dwDrawStage == CDDS_PREPAINT) {
        return CDRF_NOTIFYITEMDRAW;
    }
    if (draw.nmcd.dwDrawStage == CDDS_ITEMPREPAINT && !highContrast_) {
        const int row = static_cast<int>(draw.nmcd.dwItemSpec);
        if (ListView_GetItemState(draw.nmcd.hdr.hwndFrom, row, LVIS_SELECTED) != 0) {
            // The control would draw the system's selection; the form's blue replaces it.
            draw.nmcd.uItemState &= ~static_cast<UINT>(CDIS_SELECTED | CDIS_FOCUS);
            draw.clrTextBk = RGB(0, 120, 215);
            draw.clrText = RGB(255, 255, 255);
        } else {
            draw.clrTextBk = 0xE0E0E0;
            draw.clrText = RGB(0, 0, 0);
        }
        return CDRF_NEWFONT;
    }
    return CDRF_DODEFAULT;
}

}  // namespace wrenpost
