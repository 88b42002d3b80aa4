#include "ui/main/MainWindow_win.h"

#include <commctrl.h>

#include <algorithm>
#include <memory>
#include <utility>

#include "app/AppPaths_win.h"
#include "common/AppMessages_win.h"
#include "common/PostedRecord_win.h"
#include "common/Prompt.h"

namespace wrenpost {
namespace {

constexpr COLORREF kWindowColour = 0xC8C8C8;
constexpr COLORREF kControlColour = 0xE0E0E0;
constexpr int kInitialWidth = 1000;
constexpr int kInitialHeight = 1024;

struct LogLineRecord final : PostedRecord {
    explicit LogLineRecord(std::wstring text) : line(std::move(text)) {}
    std::wstring line;
};

// Controls described as data and created in one loop; positions are for the initial client
// area and Layout() moves them as the window is resized.
struct ControlLayout {
    int id;
    const wchar_t* className;
    const wchar_t* text;
    DWORD style;
    int x, y, width, height;
};

constexpr ControlLayout kControls[] = {
    {kIdDetachButton, L"BUTTON", L"", BS_OWNERDRAW | WS_TABSTOP, 738, 796, 22, 22},
    {kIdStatusLine, L"STATIC", L"Status: Ready", SS_LEFT, 20, 894, 740, 25},
};

HMENU ControlMenu(int id) {
    return reinterpret_cast<HMENU>(static_cast<INT_PTR>(id));
}

}  // namespace

MainWindow::MainWindow(std::size_t logCapacity)
    : uiThread_(GetCurrentThreadId()),
      logLines_(logCapacity),
      controlBrush_(CreateSolidBrush(kControlColour)) {}

bool MainWindow::RegisterWindowClass(HINSTANCE instance) {
    static UniqueGdiObject classBrush(CreateSolidBrush(kWindowColour));
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = 0;
    windowClass.lpfnWndProc = &MainWindow::WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(classBrush.get());
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(107));
    windowClass.hIconSm = windowClass.hIcon;
    windowClass.lpszClassName = kMainWindowClass;
    if (RegisterClassExW(&windowClass) != 0) {
        return true;
    }
    return GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

bool MainWindow::Create(HINSTANCE instance, int showCommand) {
    HWND created = CreateWindowExW(
        0, kMainWindowClass, kMainWindowTitle, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT,
        CW_USEDEFAULT, kInitialWidth, kInitialHeight, nullptr, nullptr, instance, this);
    if (created == nullptr) {
        return false;
    }
    ShowWindow(created, showCommand);
    UpdateWindow(created);
    return true;
}

bool MainWindow::CreateControls() {
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(Window(), GWLP_HINSTANCE));
    for (const ControlLayout& layout : kControls) {
        HWND control =
            CreateWindowExW(0, layout.className, layout.text, WS_CHILD | WS_VISIBLE | layout.style,
                            layout.x, layout.y, layout.width, layout.height, Window(),
                            ControlMenu(layout.id), instance, nullptr);
        if (control == nullptr) {
            return false;
        }
        if (uiFont_) {
            SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(uiFont_.get()), TRUE);
        }
    }
    statusLine_ = GetDlgItem(Window(), kIdStatusLine);
    detachButton_ = GetDlgItem(Window(), kIdDetachButton);

    tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Window(),
                               nullptr, instance, nullptr);
    if (tooltip_ != nullptr && detachButton_ != nullptr) {
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof(tool);
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = Window();
        tool.uId = reinterpret_cast<UINT_PTR>(detachButton_);
        tool.lpszText = const_cast<wchar_t*>(L"Open monitoring in a separate window");
        SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
    return true;
}

LRESULT MainWindow::OnCreate() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
        uiFont_.reset(CreateFontIndirectW(&metrics.lfMessageFont));
    }
    logFont_.reset(CreateFontW(-14, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                               OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                               FIXED_PITCH | FF_MODERN, L"Consolas"));
    // The log view first: the detach button created after it stays above it. A window without
    // its log or status line would run blind, so it is not created at all.
    if (!mainLogView_.Create(Window(), kIdLogView, static_cast<HFONT>(logFont_.get()), Window(),
                             kTimerLogReturn) ||
        !CreateControls()) {
        return -1;
    }
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
    log_.Info(L"Application started.");

    RECT client{};
    GetClientRect(Window(), &client);
    Layout(client.right, client.bottom);
    return 0;
}

void MainWindow::Layout(int width, int height) {
    if (width - 40 < 100 || height < 200) {
        return;
    }
    const int lowerArea = height - 772;
    int treeHeight = 71;
    int logHeight = 49;
    if (lowerArea >= 130) {
        treeHeight = std::max(60, lowerArea * 55 / 100);
        logHeight = std::max(40, lowerArea - treeHeight - 10);
    }
    const int scrollWidth = GetSystemMetrics(SM_CXVSCROLL);
    HDWP batch = BeginDeferWindowPos(4);
    const auto place = [&batch](HWND control, int x, int y, int w, int h) {
        if (control != nullptr && batch != nullptr) {
            batch =
                DeferWindowPos(batch, control, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
        }
    };
    place(mainLogView_.Control(), 20, 704 + treeHeight, width - 40, logHeight);
    place(detachButton_, width - 40 - 3 * scrollWidth - 6, 708 + treeHeight, 22, 22);
    place(statusLine_, 20, height - 70, width - 40, 25);
    if (batch != nullptr) {
        EndDeferWindowPos(batch);
    }
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
    if (statusLine_ != nullptr) {
        SetWindowTextW(statusLine_, text.c_str());
    }
}

std::wstring MainWindow::StatusText() const {
    if (statusLine_ == nullptr) {
        return std::wstring();
    }
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(statusLine_)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(statusLine_, text.data(), static_cast<int>(text.size()))));
    return text;
}

void MainWindow::DrawDetachButton(const DRAWITEMSTRUCT& item) const {
    HDC dc = item.hDC;
    RECT rect = item.rcItem;
    FillRect(dc, &rect, static_cast<HBRUSH>(controlBrush_.get()));
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;
    DrawEdge(dc, &rect, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    // A small window with an arrow leaving it: "open elsewhere".
    const int offset = pressed ? 1 : 0;
    const int left = rect.left + 5 + offset;
    const int top = rect.top + 7 + offset;
    HGDIOBJ pen = SelectObject(dc, GetStockObject(BLACK_PEN));
    HGDIOBJ brush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, left, top, left + 9, top + 9);
    MoveToEx(dc, left + 5, top + 3, nullptr);
    LineTo(dc, left + 12, top - 4);
    MoveToEx(dc, left + 8, top - 4, nullptr);
    LineTo(dc, left + 12, top - 4);
    LineTo(dc, left + 12, top);
    SelectObject(dc, brush);
    SelectObject(dc, pen);
    if (item.itemState & ODS_FOCUS) {
        RECT focus = rect;
        InflateRect(&focus, -3, -3);
        DrawFocusRect(dc, &focus);
    }
}

void MainWindow::OnDestroy() {
    KillTimer(Window(), kTimerLogReturn);
    // Waits for a line in flight on a worker, so none reaches this window after it is gone.
    log_.SetSink(nullptr);
    detachedLog_.Close();
    // A window whose creation failed leaves the quit to its creator.
    if (std::exchange(created_, false)) {
        PostQuitMessage(0);
    }
}

LRESULT MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            return OnCreate();
        case WM_SIZE:
            if (wParam != SIZE_MINIMIZED) {
                Layout(LOWORD(lParam), HIWORD(lParam));
            }
            return 0;
        case WM_GETMINMAXINFO: {
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            info->ptMinTrackSize = POINT{900, 964};
            return 0;
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == kIdDetachButton) {
                OpenDetachedLog();
                return 0;
            }
            break;
        case WM_DRAWITEM: {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (item->CtlID == static_cast<UINT>(kIdDetachButton)) {
                DrawDetachButton(*item);
                return TRUE;
            }
            break;
        }
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN: {
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, RGB(0, 0, 0));
            if (message == WM_CTLCOLOREDIT || message == WM_CTLCOLORLISTBOX) {
                SetBkColor(dc, kControlColour);
            } else {
                SetBkMode(dc, TRANSPARENT);
            }
            return reinterpret_cast<LRESULT>(controlBrush_.get());
        }
        case WM_TIMER:
            if (wParam == kTimerLogReturn) {
                mainLogView_.OnReturnTimer();
                return 0;
            }
            break;
        case kLogLineMessage:
            if (auto record = AdoptRecord<LogLineRecord>(wParam, lParam)) {
                AppendLogLine(std::move(record->line));
            }
            return 0;
        case WM_DESTROY:
            OnDestroy();
            return 0;
        case WM_NCDESTROY:
            DiscardPendingRecords(Window());
            break;
        default:
            break;
    }
    return DefWindowProcW(Window(), message, wParam, lParam);
}

}  // namespace wrenpost
