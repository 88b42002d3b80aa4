#include "ui/main/MainWindow_win.h"

#include <commctrl.h>

#include <algorithm>
#include <memory>
#include <utility>

#include "app/AppPaths_win.h"
#include "app/EndpointNotices_win.h"
#include "app/LaunchAtStartup_win.h"
#include "app/RunningInstances_win.h"
#include "common/AppMessages_win.h"
#include "common/PostedRecord_win.h"
#include "common/Prompt.h"
#include "profile/TemporaryProfiles.h"
#include "ui/GlyphButton_win.h"
#include "ui/ModalLoop_win.h"

namespace wrenpost {
namespace {

constexpr COLORREF kWindowColour = 0xC8C8C8;
constexpr COLORREF kControlColour = 0xE0E0E0;

struct LogLineRecord final : PostedRecord {
    explicit LogLineRecord(std::wstring text) : line(std::move(text)) {}
    std::wstring line;
};

HMENU ControlMenu(int id) {
    return reinterpret_cast<HMENU>(static_cast<INT_PTR>(id));
}

struct ControlClass {
    const wchar_t* name;
    DWORD style;
    DWORD exStyle;
};

ControlClass ClassFor(const FormControl& control) {
    constexpr DWORD kEdit = ES_AUTOHSCROLL | WS_TABSTOP | WS_BORDER;
    DWORD centred = control.centred ? ES_CENTER : 0;
    switch (control.kind) {
        case ControlKind::Label:
            // A label without a mnemonic shows its text as it is (a status may name "R&D").
            return {L"STATIC",
                    DWORD{control.id == kIdSpinner ? DWORD{SS_CENTER} : DWORD{SS_LEFT}} |
                        (std::wstring_view(control.text).find(L'&') == std::wstring_view::npos
                             ? DWORD{SS_NOPREFIX}
                             : 0),
                    0};
        case ControlKind::Edit:
            return {L"EDIT", kEdit, 0};
        case ControlKind::PasswordEdit:
            return {L"EDIT", kEdit | ES_PASSWORD, 0};
        case ControlKind::ReadOnlyEdit:
            return {L"EDIT", kEdit | ES_READONLY | centred, 0};
        case ControlKind::NumberEdit:
            return {L"EDIT", kEdit | ES_NUMBER, 0};
        case ControlKind::DropDown:
            return {L"COMBOBOX", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 0};
        case ControlKind::Button:
            return {L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0};
        case ControlKind::DefaultButton:
            return {L"BUTTON", BS_DEFPUSHBUTTON | WS_TABSTOP, 0};
        case ControlKind::OwnerDrawnButton:
            return {L"BUTTON", BS_OWNERDRAW | WS_TABSTOP, 0};
        case ControlKind::OwnerDrawnLabel:
            return {L"STATIC", SS_OWNERDRAW, 0};
        case ControlKind::RadioFirst:
            return {L"BUTTON", BS_AUTORADIOBUTTON | WS_TABSTOP | WS_GROUP, 0};
        case ControlKind::Radio:
            return {L"BUTTON", BS_AUTORADIOBUTTON, 0};
        case ControlKind::CheckBox:
            return {L"BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP, 0};
        case ControlKind::ListView:
            return {WC_LISTVIEWW, LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_TABSTOP,
                    WS_EX_CLIENTEDGE};
        case ControlKind::TreeView:
            return {WC_TREEVIEWW, TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT | WS_TABSTOP,
                    WS_EX_CLIENTEDGE};
        case ControlKind::LogView:
            break;
    }
    return {nullptr, 0, 0};
}

bool ReadHighContrast() {
    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof(contrast);
    return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

RECT MonitorWorkArea(HWND window) {
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    HMONITOR monitor = MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY);
    if (monitor != nullptr && GetMonitorInfoW(monitor, &info)) {
        return info.rcWork;
    }
    RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    return area;
}

MainWindowServices ServicesWithCapacity(std::size_t logCapacity) {
    MainWindowServices services;
    services.logCapacity = logCapacity;
    return services;
}

}  // namespace

MainWindow::MainWindow(MainWindowServices services)
    : services_(std::move(services)),
      uiThread_(GetCurrentThreadId()),
      logLines_(services_.logCapacity),
      tray_(services_.trayNotify) {
    CreateMonitorEngine();
}

MainWindow::MainWindow(std::size_t logCapacity) : MainWindow(ServicesWithCapacity(logCapacity)) {}

bool MainWindow::RegisterWindowClass(HINSTANCE instance) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &MainWindow::WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    // WM_ERASEBKGND paints the background: its colour follows the high-contrast setting.
    windowClass.hbrBackground = nullptr;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(107));
    windowClass.hIconSm = windowClass.hIcon;
    windowClass.lpszClassName = kMainWindowClass;
    if (RegisterClassExW(&windowClass) != 0) {
        return true;
    }
    return GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

RECT MainWindow::WorkAreaFor(HWND window) const {
    return services_.workArea ? services_.workArea(window) : MonitorWorkArea(window);
}

bool MainWindow::Create(HINSTANCE instance, int showCommand) {
    HWND created = CreateWindowExW(
        0, kMainWindowClass, kMainWindowTitle, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT,
        CW_USEDEFAULT, kFormInitialWidth, kFormInitialHeight, nullptr, nullptr, instance, this);
    if (created == nullptr) {
        return false;
    }
    // The form's size is for 96 DPI; on a small or scaled screen the window still fits, centred.
    const RECT area = WorkAreaFor(created);
    const int areaWidth = area.right - area.left;
    const int areaHeight = area.bottom - area.top;
    const int width =
        std::min<int>(ScaleForDpi(kFormInitialWidth, static_cast<int>(dpi_)), areaWidth);
    const int height =
        std::min<int>(ScaleForDpi(kFormInitialHeight, static_cast<int>(dpi_)), areaHeight);
    SetWindowPos(created, nullptr, area.left + (areaWidth - width) / 2,
                 area.top + (areaHeight - height) / 2, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(created, showCommand);
    UpdateWindow(created);
    return true;
}

void MainWindow::CreateFonts() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, dpi_) ||
        SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
        uiFont_.reset(CreateFontIndirectW(&metrics.lfMessageFont));
        LOGFONTW bold = metrics.lfMessageFont;
        bold.lfWeight = FW_BOLD;
        boldFont_.reset(CreateFontIndirectW(&bold));
    }
    logFont_.reset(CreateFontW(-ScaleForDpi(14, static_cast<int>(dpi_)), 0, 0, 0, FW_NORMAL, FALSE,
                               FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                               CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN,
                               L"Consolas"));
}

void MainWindow::ApplyFonts() {
    mainLogView_.SetFont(static_cast<HFONT>(logFont_.get()));
    for (const FormControl& control : MainFormControls()) {
        HWND handle = Control(control.id);
        if (handle != nullptr && control.kind != ControlKind::LogView && uiFont_) {
            SendMessageW(handle, WM_SETFONT, reinterpret_cast<WPARAM>(uiFont_.get()), TRUE);
        }
    }
}

bool MainWindow::CreateControls() {
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(Window(), GWLP_HINSTANCE));
    tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Window(),
                               nullptr, instance, nullptr);
    for (const FormControl& control : MainFormControls()) {
        HWND handle = nullptr;
        if (control.kind == ControlKind::LogView) {
            // The log view first of the lower controls: the detach button created after it stays
            // above it.
            if (!mainLogView_.Create(Window(), kIdLogView, static_cast<HFONT>(logFont_.get()),
                                     Window(), kTimerLogReturn)) {
                return false;
            }
            continue;
        }
        const ControlClass type = ClassFor(control);
        const FormRect& r = control.place;
        handle = CreateWindowExW(type.exStyle, type.name, control.text,
                                 WS_CHILD | WS_VISIBLE | type.style, r.x, r.y, r.width, r.height,
                                 Window(), ControlMenu(control.id), instance, nullptr);
        if (handle == nullptr) {
            return false;
        }
        if (control.tooltip != nullptr && tooltip_ != nullptr) {
            TTTOOLINFOW tool{};
            tool.cbSize = sizeof(tool);
            tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
            tool.hwnd = Window();
            tool.uId = reinterpret_cast<UINT_PTR>(handle);
            tool.lpszText = const_cast<wchar_t*>(control.tooltip);
            SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        }
        if (control.kind == ControlKind::DropDown) {
            SendMessageW(handle, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(control.text));
            SendMessageW(handle, CB_SETCURSEL, 0, 0);
        }
    }
    static constexpr ButtonGlyph kTokenHelpLook{kTokenHelpName, L"?", L"?"};
    static constexpr ButtonGlyph kRulesHelpLook{kRulesHelpName, L"?", L"?"};
    SetButtonGlyph(Control(kIdTokenHelp), kTokenHelpLook);
    SetButtonGlyph(Control(kIdRulesHelp), kRulesHelpLook);
    HWND tree = Control(kIdFolderTree);
    // Check boxes must be switched on after creation for the state images to exist.
    SetWindowLongPtrW(tree, GWL_STYLE, GetWindowLongPtrW(tree, GWL_STYLE) | TVS_CHECKBOXES);
    folderTree_.Attach(tree);
    TreeView_SetBkColor(tree, kControlColour);
    TreeView_SetTextColor(tree, RGB(0, 0, 0));

    HWND list = Control(kIdFolderTitleList);
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT);
    ListView_SetBkColor(list, kControlColour);
    ListView_SetTextBkColor(list, kControlColour);
    ListView_SetTextColor(list, RGB(0, 0, 0));
    const wchar_t* headings[] = {L"Outlook Folder", L"Notification Title"};
    const int widths[] = {460, 300};
    for (int column = 0; column < 2; ++column) {
        LVCOLUMNW info{};
        info.mask = LVCF_TEXT | LVCF_WIDTH;
        info.pszText = const_cast<wchar_t*>(headings[column]);
        info.cx = ScaleForDpi(widths[column], static_cast<int>(dpi_));
        ListView_InsertColumn(list, column, &info);
    }

    SendMessageW(Control(kIdTitlesYes), BM_SETCHECK, BST_CHECKED, 0);
    SendMessageW(Control(kIdLaunchAtStartup), BM_SETCHECK,
                 IsLaunchAtStartupEnabled() ? BST_CHECKED : BST_UNCHECKED, 0);
    EnableBotLinks(false);
    for (int id : {kIdStartMonitor, kIdStopMonitor}) {
        SetWindowSubclass(Control(id), &MainWindow::HoverProc, 0,
                          reinterpret_cast<DWORD_PTR>(this));
    }
    return true;
}

LRESULT CALLBACK MainWindow::HoverProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam,
                                       UINT_PTR, DWORD_PTR data) {
    auto* self = reinterpret_cast<MainWindow*>(data);
    const int id = GetDlgCtrlID(button);
    if (message == WM_MOUSEMOVE && self->hoveredButton_ != id) {
        self->hoveredButton_ = id;
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, button, 0};
        TrackMouseEvent(&track);
        InvalidateRect(button, nullptr, FALSE);
    } else if (message == WM_MOUSELEAVE && self->hoveredButton_ == id) {
        self->hoveredButton_ = 0;
        InvalidateRect(button, nullptr, FALSE);
    } else if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(button, &MainWindow::HoverProc, 0);
    }
    return DefSubclassProc(button, message, wParam, lParam);
}

LRESULT MainWindow::OnCreate() {
    dpi_ = GetDpiForWindow(Window());
    if (dpi_ == 0) {
        dpi_ = 96;
    }
    highContrast_ = ReadHighContrast();
    controlBrush_.reset(CreateSolidBrush(kControlColour));
    windowBrush_.reset(CreateSolidBrush(kWindowColour));
    CreateFonts();
    // A window without its log or controls would run blind, so it is not created at all.
    if (!CreateControls()) {
        return -1;
    }
    ApplyFonts();
    ShowTitleControls();
    KeepForm();
    created_ = true;
    // Lines from other threads are posted to the window handle taken here; the sink reads no
    // field of the window on those threads.
    log_.SetSink([this, window = Window(), uiThread = uiThread_](std::wstring line) {
        if (GetCurrentThreadId() == uiThread) {
            AppendLogLine(std::move(line));
        } else {
            PostRecord(window, kLogLineMessage, std::make_unique<LogLineRecord>(std::move(line)));
        }
    });

    std::wstring error;
    if (!EnsureAppFolders(error)) {
        log_.Error(L"Could not prepare the application data folder: " + error);
        ShowPrompt({reinterpret_cast<std::uintptr_t>(Window()), L"Application Data Folder",
                    AppFolderWarningText(error), PromptIcon::Warning, PromptButtons::Ok});
    }
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(Window(), GWLP_HINSTANCE));
    const std::filesystem::path profiles = ProfilesFolder();
    if (!profiles.empty()) {
        CleanAbandonedTemporaryProfiles(profiles, &IsInstanceRunning, WindowLog());
    }
    SweepStaleTemporaryFiles(WindowLog());
    LogNonDefaultEndpoints(WindowLog());
    CleanProfileFolders();
    SetTimer(Window(), kTimerOrphanCleanup, 300000, nullptr);
    tray_.Add(Window(), kTrayCallbackMessage, instance, dpi_);
    log_.Info(L"Application started.");
    Layout();
    return 0;
}

void MainWindow::AppendLogLine(std::wstring line) {
    const std::size_t capacity = logLines_.Capacity();
    logLines_.Append(line);
    mainLogView_.Append(line, capacity);
    if (detachedLog_.IsOpen()) {
        detachedLog_.View().Append(line, capacity);
    }
}

void MainWindow::OpenDetachedLog() {
    detachedLog_.Open(Window(), logLines_.Lines());
}

void MainWindow::SetStatus(const std::wstring& text) {
    SetControlText(kIdStatusLine, text);
}

std::wstring MainWindow::StatusText() const {
    return ControlText(kIdStatusLine);
}

std::wstring MainWindow::ControlText(int id) const {
    HWND control = Control(id);
    if (control == nullptr) {
        return std::wstring();
    }
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return text;
}

void MainWindow::SetControlText(int id, const std::wstring& text) {
    SetWindowTextW(Control(id), text.c_str());
}

bool MainWindow::IsChecked(int id) const {
    return SendMessageW(Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

LRESULT MainWindow::OnControlColour(UINT message, HDC dc, HWND) {
    if (highContrast_) {
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    }
    SetTextColor(dc, RGB(0, 0, 0));
    if (message == WM_CTLCOLOREDIT || message == WM_CTLCOLORLISTBOX) {
        SetBkColor(dc, kControlColour);
    } else {
        SetBkMode(dc, TRANSPARENT);
    }
    return reinterpret_cast<LRESULT>(controlBrush_.get());
}

void MainWindow::OnClose() {
    // One of our dialogs runs its loop over this window: it owns the close until it ends.
    if (ActiveModalDialog() != nullptr) {
        Restore();
        return;
    }
    if (!monitoring_) {
        if (sessionEnding_ || SettleUnsavedChanges()) {
            DestroyWindow(Window());
        }
        return;
    }
    const PromptAnswer answer =
        ShowPrompt({reinterpret_cast<std::uintptr_t>(Window()), L"Monitoring Is Running",
                    L"Monitoring is currently running. Do you want to stop monitoring and exit?",
                    PromptIcon::Warning, PromptButtons::YesNo});
    if (answer == PromptAnswer::Yes && ConfirmDiscardWaiting()) {
        // Cancel keeps the window open and monitoring on.
        if (sessionEnding_ || SettleUnsavedChanges()) {
            StopMonitoring();
            DestroyWindow(Window());
        }
    } else {
        // Monitoring goes on from the tray.
        ShowWindow(Window(), SW_HIDE);
    }
}

void MainWindow::OnDestroy() {
    for (UINT_PTR timer : {kTimerOrphanCleanup, kTimerFolderDetection, kTimerSpinner,
                           kTimerUpdateCheck, kTimerLogReturn}) {
        KillTimer(Window(), timer);
    }
    if (monitoring_) {
        StopMonitoring();
    }
    DeleteTemporaryProfile(temporaryProfile_, WindowLog());
    ReleaseToken(sessionGuard_);
    tray_.Remove();
    // Waits for a line in flight on a worker, so none reaches this window after it is gone.
    log_.SetSink(nullptr);
    detachedLog_.Close();
    ReleaseToken(tokenGuard_);
    // A window whose creation failed leaves the quit to its creator.
    if (std::exchange(created_, false)) {
        PostQuitMessage(0);
    }
}

LRESULT MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == TrayIcon::TaskbarCreatedMessage() && message != 0) {
        tray_.Readd();
        return 0;
    }
    LRESULT result = 0;
    if (OnGeometryMessage(message, wParam, lParam, result) ||
        OnPaintMessage(message, wParam, lParam, result) ||
        OnLifeMessage(message, wParam, lParam, result)) {
        return result;
    }
    if (OnWorkerMessage(message, wParam, lParam) || OnFocusMessage(message, wParam)) {
        return 0;
    }
    return DefWindowProcW(Window(), message, wParam, lParam);
}

bool MainWindow::OnGeometryMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
        case WM_SIZE:
            if (wParam != SIZE_MINIMIZED && created_) {
                Layout();
            }
            return true;
        case WM_GETMINMAXINFO:
            OnGetMinMaxInfo(*reinterpret_cast<MINMAXINFO*>(lParam));
            return true;
        case WM_DPICHANGED:
            OnDpiChanged(LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            return true;
        case WM_VSCROLL:
            OnVerticalScroll(wParam);
            return true;
        case WM_MOUSEWHEEL:
            ScrollTo(scrollOffset_ - GET_WHEEL_DELTA_WPARAM(wParam) *
                                         ScaleForDpi(90, static_cast<int>(dpi_)) / WHEEL_DELTA);
            return true;
        default:
            result = 0;
            return false;
    }
}

bool MainWindow::OnPaintMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
        case WM_SETTINGCHANGE:
        case WM_SYSCOLORCHANGE:
            // Read once per change rather than on every control's paint; Windows sees it too.
            highContrast_ = ReadHighContrast();
            InvalidateRect(Window(), nullptr, TRUE);
            return false;
        case WM_ERASEBKGND: {
            RECT client{};
            GetClientRect(Window(), &client);
            FillRect(reinterpret_cast<HDC>(wParam), &client,
                     highContrast_ ? GetSysColorBrush(COLOR_BTNFACE)
                                   : static_cast<HBRUSH>(windowBrush_.get()));
            result = 1;
            return true;
        }
        case WM_DRAWITEM:
            result = TRUE;
            return OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
            result = OnControlColour(message, reinterpret_cast<HDC>(wParam),
                                     reinterpret_cast<HWND>(lParam));
            return true;
        default:
            return false;
    }
}

// Creation and end, the user's input, the system's power and session news, the tray.
bool MainWindow::OnLifeMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    result = 0;
    switch (message) {
        case WM_CREATE:
            result = OnCreate();
            return true;
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
            return true;
        case WM_NOTIFY:
            result = OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
            return true;
        case WM_TIMER:
            OnTimer(wParam);
            return true;
        case WM_POWERBROADCAST:
            OnPowerBroadcast(wParam);
            result = TRUE;
            return true;
        case kLogLineMessage:
            if (auto record = AdoptRecord<LogLineRecord>(wParam, lParam)) {
                AppendLogLine(std::move(record->line));
            }
            return true;
        case kFolderChecksChangedMessage:
            OnFolderChecksChanged();
            return true;
        case kTrayCallbackMessage:
            OnTrayCallback(lParam);
            return true;
        case WM_CLOSE:
            OnClose();
            return true;
        case WM_QUERYENDSESSION:
            result = TRUE;
            return true;
        case WM_ENDSESSION:
            if (wParam != FALSE) {
                OnEndSession();
            }
            return true;
        case WM_DESTROY:
            OnDestroy();
            return true;
        case WM_NCDESTROY:
            DiscardPendingRecords(Window());
            return false;
        default:
            return false;
    }
}

void MainWindow::OnPowerBroadcast(WPARAM event) {
    if (monitoring_ && event == PBT_APMSUSPEND) {
        log_.Info(L"System is entering sleep. Monitoring will resume automatically on wake.");
    } else if (monitoring_ && (event == PBT_APMRESUMESUSPEND || event == PBT_APMRESUMEAUTOMATIC)) {
        log_.Info(L"System resumed from sleep. Monitoring continues.");
    }
}

}  // namespace wrenpost
