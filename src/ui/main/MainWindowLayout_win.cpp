// The main window's geometry: placing the form's controls, the scroll bar of a window smaller
// than its form, the minimum size and DPI changes.
#include <windows.h>

#include <algorithm>

#include "ui/main/MainWindow_win.h"

namespace wrenpost {

void MainWindow::Layout() {
    if (inLayout_) {
        layoutAgain_ = true;
        return;
    }
    inLayout_ = true;
    // Showing or hiding the scroll bar changes the client width, which asks for another pass.
    for (int pass = 0; pass < 3; ++pass) {
        layoutAgain_ = false;
        PlaceControls();
        if (!layoutAgain_) {
            break;
        }
    }
    inLayout_ = false;
}

void MainWindow::PlaceControls() {
    RECT client{};
    GetClientRect(Window(), &client);
    const FormLayout layout = LayoutMainForm(client.right, client.bottom, static_cast<int>(dpi_),
                                             GetSystemMetricsForDpi(SM_CXVSCROLL, dpi_));
    if (layout.controls.empty()) {
        return;
    }
    formHeight_ = layout.formHeight;
    UpdateScrollBar(client.bottom);
    if (layoutAgain_) {
        return;
    }
    HDWP batch = BeginDeferWindowPos(static_cast<int>(layout.controls.size()));
    for (const PlacedControl& placed : layout.controls) {
        HWND control = Control(placed.id);
        if (control == nullptr || batch == nullptr) {
            continue;
        }
        const FormRect& r = placed.place;
        batch = DeferWindowPos(batch, control, nullptr, r.x, r.y - scrollOffset_, r.width, r.height,
                               SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (batch != nullptr) {
        EndDeferWindowPos(batch);
    }
    HWND list = Control(kIdFolderTitleList);
    ListView_SetColumnWidth(list, 0, layout.firstTitleColumnWidth);
    ListView_SetColumnWidth(list, 1, layout.secondTitleColumnWidth);
}

void MainWindow::UpdateScrollBar(int clientHeight) {
    const int range = std::max(0, formHeight_ - clientHeight);
    scrollOffset_ = std::clamp(scrollOffset_, 0, range);
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    info.nMin = 0;
    info.nMax = range > 0 ? formHeight_ - 1 : 0;
    info.nPage = range > 0 ? static_cast<UINT>(clientHeight) : 0;
    info.nPos = scrollOffset_;
    SetScrollInfo(Window(), SB_VERT, &info, TRUE);
}

void MainWindow::ScrollTo(int offset) {
    RECT client{};
    GetClientRect(Window(), &client);
    const int clamped = std::clamp(offset, 0, std::max<int>(0, formHeight_ - client.bottom));
    if (clamped != scrollOffset_) {
        scrollOffset_ = clamped;
        Layout();
        InvalidateRect(Window(), nullptr, TRUE);
    }
}

void MainWindow::OnVerticalScroll(WPARAM request) {
    RECT client{};
    GetClientRect(Window(), &client);
    const int line = ScaleForDpi(30, static_cast<int>(dpi_));
    int target = scrollOffset_;
    switch (LOWORD(request)) {
        case SB_LINEUP:
            target -= line;
            break;
        case SB_LINEDOWN:
            target += line;
            break;
        case SB_PAGEUP:
            target -= client.bottom;
            break;
        case SB_PAGEDOWN:
            target += client.bottom;
            break;
        case SB_TOP:
            target = 0;
            break;
        case SB_BOTTOM:
            target = formHeight_;
            break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: {
            SCROLLINFO info{};
            info.cbSize = sizeof(info);
            info.fMask = SIF_TRACKPOS;
            GetScrollInfo(Window(), SB_VERT, &info);
            target = info.nTrackPos;
            break;
        }
        default:
            return;
    }
    ScrollTo(target);
}

void MainWindow::OnGetMinMaxInfo(MINMAXINFO& info) {
    // The form's minimum, but never more than the screen can show: below it the form scrolls.
    const RECT area = WorkAreaFor(Window());
    info.ptMinTrackSize.x = std::min<LONG>(ScaleForDpi(kFormMinimumWidth, static_cast<int>(dpi_)),
                                           area.right - area.left);
    info.ptMinTrackSize.y = std::min<LONG>(ScaleForDpi(kFormMinimumHeight, static_cast<int>(dpi_)),
                                           area.bottom - area.top);
}

void MainWindow::OnDpiChanged(UINT dpi, const RECT& suggested) {
    dpi_ = dpi;
    CreateFonts();
    ApplyFonts();
    mainLogView_.Rebuild(logLines_.Lines());
    SetWindowPos(Window(), nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    Layout();
}

void MainWindow::ShowTitleControls() {
    const bool single = IsChecked(kIdTitlesYes);
    for (const FormControl& control : MainFormControls()) {
        if (control.titleMode == TitleMode::Always) {
            continue;
        }
        const bool shown = (control.titleMode == TitleMode::SingleTitle) == single;
        ShowWindow(Control(control.id), shown ? SW_SHOW : SW_HIDE);
    }
}

}  // namespace wrenpost
