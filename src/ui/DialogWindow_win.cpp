#include "ui/DialogWindow_win.h"

#include <algorithm>

#include "common/PostedRecord_win.h"
#include "ui/GlyphButton_win.h"

namespace wrenpost {
namespace {

int Scale(int value, UINT dpi) {
    return MulDiv(value, static_cast<int>(dpi), USER_DEFAULT_SCREEN_DPI);
}

}  // namespace

UINT DialogDpi(HWND owner) {
    const UINT dpi = owner != nullptr ? GetDpiForWindow(owner) : GetDpiForSystem();
    return dpi != 0 ? dpi : USER_DEFAULT_SCREEN_DPI;
}

LOGFONTW MessageFontFor(UINT dpi) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (!SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, dpi)) {
        SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    }
    return metrics.lfMessageFont;
}

POINT CentredPosition(HWND owner, SIZE size) {
    HMONITOR monitor = MonitorFromWindow(owner, MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    GetMonitorInfoW(monitor, &info);
    const RECT work = info.rcWork;
    RECT around = work;
    if (owner != nullptr && IsWindowVisible(owner) && !IsIconic(owner)) {
        GetWindowRect(owner, &around);
    }
    LONG x = around.left + (around.right - around.left - size.cx) / 2;
    LONG y = around.top + (around.bottom - around.top - size.cy) / 2;
    x = std::max(work.left, std::min(x, work.right - size.cx));
    y = std::max(work.top, std::min(y, work.bottom - size.cy));
    return {x, y};
}

bool RegisterDialogClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = procedure;
    windowClass.cbWndExtra = DLGWINDOWEXTRA;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_3DFACE + 1);
    windowClass.lpszClassName = name;
    return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND CreateDialogWindow(const wchar_t* className, const wchar_t* title, HWND owner, UINT dpi,
                        int clientWidth, int clientHeight, void* self) {
    RECT frame{0, 0, Scale(clientWidth, dpi), Scale(clientHeight, dpi)};
    AdjustWindowRectExForDpi(&frame, kDialogStyle, FALSE, kDialogExStyle, dpi);
    const SIZE size{frame.right - frame.left, frame.bottom - frame.top};
    const POINT at = CentredPosition(owner, size);
    return CreateWindowExW(kDialogExStyle, className, title, kDialogStyle, at.x, at.y, size.cx,
                           size.cy, owner, nullptr, GetModuleHandleW(nullptr), self);
}

LRESULT DialogDefault(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCDESTROY) {
        DiscardPendingRecords(dialog);
    }
    if (message == WM_DRAWITEM &&
        DrawGlyphButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam))) {
        return TRUE;
    }
    return DefDlgProcW(dialog, message, wParam, lParam);
}

HWND CreateDialogControl(HWND dialog, const DialogControl& control, UINT dpi, HFONT font) {
    HWND created =
        CreateWindowExW(0, control.className, control.text, WS_CHILD | WS_VISIBLE | control.style,
                        Scale(control.x, dpi), Scale(control.y, dpi), Scale(control.width, dpi),
                        Scale(control.height, dpi), dialog,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)),
                        GetModuleHandleW(nullptr), nullptr);
    if (created != nullptr) {
        SendMessageW(created, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if (control.glyph != nullptr) {
            SetButtonGlyph(created, *control.glyph);
        }
    }
    return created;
}

}  // namespace wrenpost
