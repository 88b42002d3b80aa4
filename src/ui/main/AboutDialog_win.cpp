#include "ui/main/AboutDialog_win.h"

#include <algorithm>
#include <optional>
#include <string>

#include "common/Text.h"
#include "common/UniqueHandle_win.h"
#include "ui/BaseWindow_win.h"
#include "update/UpdateManifest.h"
#include "update/UpdateService_win.h"

namespace wrenpost {
namespace {

constexpr int kCheckForUpdatesId = 101;
constexpr int kCloseId = IDOK;  // the dialog manager's default button from the start
constexpr int kIconId = 102;
constexpr int kVersionId = 103;
constexpr int kProgramIconResource = 107;
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

// Client size and control rectangles in 96-DPI units.
constexpr int kClientWidth = 420;
constexpr int kClientHeight = 202;

enum class Font { Message, Title };

struct ControlLayout {
    int id;
    const wchar_t* className;
    const wchar_t* text;
    DWORD style;
    Font font;
    int x, y, width, height;
};

constexpr DWORD kLabel = SS_LEFT | SS_NOPREFIX;

// Creation order is tab order: "Check for Updates" before "Close".
constexpr ControlLayout kControls[] = {
    {kIconId, L"STATIC", L"", SS_ICON | SS_REALSIZECONTROL, Font::Message, 20, 18, 32, 32},
    {-1, L"STATIC", L"Wrenpost", kLabel, Font::Title, 68, 14, 332, 30},
    {-1, L"STATIC", L"Sends a Telegram message for every new Outlook mail.", kLabel, Font::Message,
     68, 50, 332, 18},
    {kVersionId, L"STATIC", L"", kLabel, Font::Message, 68, 70, 332, 18},
    {-1, L"STATIC",
     L"Wrenpost is independent software and is not affiliated with Microsoft or Telegram.", kLabel,
     Font::Message, 68, 98, 332, 36},
    {kCheckForUpdatesId, L"BUTTON", L"Check for Updates", BS_PUSHBUTTON | WS_TABSTOP, Font::Message,
     188, 160, 132, 26},
    {kCloseId, L"BUTTON", L"Close", BS_DEFPUSHBUTTON | WS_TABSTOP, Font::Message, 328, 160, 76, 26},
};

std::wstring ProgramVersionText() {
    const std::optional<Version> version = ReadProgramVersion();
    return version ? VersionText(*version) : Utf8ToWide(WRENPOST_VERSION_TEXT);
}

NONCLIENTMETRICSW MetricsFor(UINT dpi) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (!SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, dpi)) {
        SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    }
    return metrics;
}

// Centred over the owner while it is on screen, otherwise on its monitor, and kept inside that
// monitor's work area either way.
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

class AboutDialog : public BaseWindow<AboutDialog> {
public:
    AboutDialog(HWND owner, const std::function<void(HWND)>& checkForUpdates)
        : owner_(owner), checkForUpdates_(checkForUpdates) {
        const UINT ownerDpi = owner != nullptr ? GetDpiForWindow(owner) : GetDpiForSystem();
        dpi_ = ownerDpi != 0 ? ownerDpi : USER_DEFAULT_SCREEN_DPI;
    }
    ~AboutDialog() {
        if (Window() != nullptr) {
            DestroyWindow(Window());
        }
    }
    AboutDialog(const AboutDialog&) = delete;
    AboutDialog& operator=(const AboutDialog&) = delete;

    bool Create() {
        HINSTANCE instance = GetModuleHandleW(nullptr);
        if (!RegisterWindowClass(instance)) {
            return false;
        }
        RECT frame{0, 0, Scale(kClientWidth), Scale(kClientHeight)};
        AdjustWindowRectExForDpi(&frame, kStyle, FALSE, kExStyle, dpi_);
        const SIZE size{frame.right - frame.left, frame.bottom - frame.top};
        const POINT at = CentredPosition(owner_, size);
        return CreateWindowExW(kExStyle, kAboutDialogClass, L"About Wrenpost", kStyle, at.x, at.y,
                               size.cx, size.cy, owner_, nullptr, instance, this) != nullptr;
    }

    void Show() {
        ShowWindow(Window(), SW_SHOW);
        // Activation focuses the first tab stop; Close is the one Enter should press.
        SendMessageW(Window(), WM_NEXTDLGCTL,
                     reinterpret_cast<WPARAM>(GetDlgItem(Window(), kCloseId)), TRUE);
    }

    bool Closed() const { return closed_; }

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
        switch (message) {
            case WM_CREATE:
                return CreateControls() ? 0 : -1;
            case WM_COMMAND:
                if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                    closed_ = true;
                } else if (LOWORD(wParam) == kCheckForUpdatesId && checkForUpdates_) {
                    checkForUpdates_(Window());
                }
                return 0;
            case WM_CLOSE:
                closed_ = true;
                return 0;
            default:
                // The dialog manager's own procedure: Tab order, the default button following
                // the focus, focus kept across activation, dialog colours.
                return DefDlgProcW(Window(), message, wParam, lParam);
        }
    }

private:
    static bool RegisterWindowClass(HINSTANCE instance) {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = &AboutDialog::WindowProc;
        windowClass.cbWndExtra = DLGWINDOWEXTRA;  // DefDlgProcW keeps its state there
        windowClass.hInstance = instance;
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_3DFACE + 1);
        windowClass.lpszClassName = kAboutDialogClass;
        return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }

    int Scale(int value) const { return MulDiv(value, static_cast<int>(dpi_), 96); }

    bool CreateControls() {
        LOGFONTW font = MetricsFor(dpi_).lfMessageFont;
        messageFont_.reset(CreateFontIndirectW(&font));
        font.lfWeight = FW_BOLD;
        font.lfHeight = font.lfHeight * 3 / 2;
        titleFont_.reset(CreateFontIndirectW(&font));

        HINSTANCE instance = GetModuleHandleW(nullptr);
        for (const ControlLayout& layout : kControls) {
            HWND control = CreateWindowExW(
                0, layout.className, layout.text, WS_CHILD | WS_VISIBLE | layout.style,
                Scale(layout.x), Scale(layout.y), Scale(layout.width), Scale(layout.height),
                Window(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(layout.id)), instance,
                nullptr);
            if (control == nullptr) {
                return false;
            }
            const HGDIOBJ controlFont =
                layout.font == Font::Title ? titleFont_.get() : messageFont_.get();
            SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(controlFont), FALSE);
        }
        SetDlgItemTextW(Window(), kVersionId, (L"Version " + ProgramVersionText()).c_str());
        const int iconSize = Scale(32);
        programIcon_.reset(static_cast<HICON>(LoadImageW(
            instance, MAKEINTRESOURCEW(kProgramIconResource), IMAGE_ICON, iconSize, iconSize, 0)));
        HICON icon = programIcon_ ? programIcon_.get() : LoadIconW(nullptr, IDI_APPLICATION);
        SendDlgItemMessageW(Window(), kIconId, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
        EnableWindow(GetDlgItem(Window(), kCheckForUpdatesId), checkForUpdates_ ? TRUE : FALSE);
        return true;
    }

    HWND owner_;
    const std::function<void(HWND)>& checkForUpdates_;
    UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
    bool closed_ = false;
    UniqueGdiObject messageFont_;
    UniqueGdiObject titleFont_;
    UniqueIcon programIcon_;  // loaded unshared at this DPI's size, so ours to destroy
};

}  // namespace

ModalEnd RunAboutDialog(HWND owner, const std::function<void(HWND about)>& checkForUpdates) {
    AboutDialog dialog(owner, checkForUpdates);
    if (!dialog.Create()) {
        return ModalEnd::Failed;
    }
    dialog.Show();
    // The loop enables the owner again before the dialog is destroyed (by its destructor), so
    // activation returns to the owner rather than to another program.
    return RunModalLoop(owner, dialog.Window(), [&dialog] { return dialog.Closed(); });
}

}  // namespace wrenpost
