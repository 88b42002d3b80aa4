#include "ui/main/TrayIcon_win.h"

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace wrenpost {
namespace {

constexpr UINT kIconId = 1;
constexpr int kProgramIconResource = 107;
constexpr COLORREF kStateColours[] = {RGB(210, 50, 50), RGB(50, 190, 60), RGB(220, 185, 0)};

std::size_t Index(TrayState state) {
    return static_cast<std::size_t>(state);
}

// A filled circle with straight alpha, its edge smoothed by 4 x 4 supersampling; the mask marks
// what lies wholly outside as transparent for drawers that ignore alpha.
UniqueIcon MakeDotIcon(int size, COLORREF colour) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = size;
    info.bmiHeader.biHeight = -size;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueGdiObject colourBitmap(
        CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!colourBitmap || bits == nullptr) {
        return UniqueIcon();
    }
    const int maskStride = ((size + 15) / 16) * 2;  // monochrome rows are WORD-aligned
    std::vector<std::uint8_t> mask(static_cast<std::size_t>(maskStride) * size, 0);
    auto* pixels = static_cast<std::uint32_t*>(bits);
    const double centre = size / 2.0;
    const double radius = size / 2.0 - 0.5;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            int covered = 0;
            for (int sy = 0; sy < 4; ++sy) {
                for (int sx = 0; sx < 4; ++sx) {
                    const double dx = x + (sx + 0.5) / 4 - centre;
                    const double dy = y + (sy + 0.5) / 4 - centre;
                    covered += dx * dx + dy * dy <= radius * radius ? 1 : 0;
                }
            }
            const std::uint32_t alpha = static_cast<std::uint32_t>(covered * 255 / 16);
            pixels[y * size + x] = alpha == 0 ? 0
                                              : (alpha << 24) | (GetRValue(colour) << 16) |
                                                    (GetGValue(colour) << 8) | GetBValue(colour);
            if (alpha == 0) {
                mask[static_cast<std::size_t>(y) * maskStride + x / 8] |=
                    static_cast<std::uint8_t>(0x80 >> (x % 8));
            }
        }
    }
    UniqueGdiObject maskBitmap(CreateBitmap(size, size, 1, 1, mask.data()));
    if (!maskBitmap) {
        return UniqueIcon();
    }
    ICONINFO icon{};
    icon.fIcon = TRUE;
    icon.hbmMask = static_cast<HBITMAP>(maskBitmap.get());
    icon.hbmColor = static_cast<HBITMAP>(colourBitmap.get());
    return UniqueIcon(CreateIconIndirect(&icon));  // copies both bitmaps
}

}  // namespace

TrayIcon::TrayIcon(ShellNotifyFunction notify) : notify_(std::move(notify)) {
    if (!notify_) {
        notify_ = [](DWORD message, NOTIFYICONDATAW* data) {
            return Shell_NotifyIconW(message, data);
        };
    }
}

TrayIcon::~TrayIcon() {
    Remove();
}

bool TrayIcon::Add(HWND window, UINT callbackMessage, HINSTANCE instance, UINT dpi) {
    Remove();
    const int size = MulDiv(16, dpi == 0 ? USER_DEFAULT_SCREEN_DPI : static_cast<int>(dpi),
                            USER_DEFAULT_SCREEN_DPI);
    for (std::size_t i = 0; i < std::size(icons_); ++i) {
        icons_[i] = MakeDotIcon(size, kStateColours[i]);
    }
    programIcon_ = LoadIconW(instance, MAKEINTRESOURCEW(kProgramIconResource));
    window_ = window;
    callbackMessage_ = callbackMessage;
    state_ = TrayState::Stopped;
    added_ = Notify(NIM_ADD);
    return added_;
}

void TrayIcon::SetState(TrayState state) {
    state_ = state;
    if (added_) {
        Notify(NIM_MODIFY);
    }
}

void TrayIcon::Remove() {
    if (added_) {
        Notify(NIM_DELETE);
    }
    added_ = false;
    window_ = nullptr;
}

void TrayIcon::Readd() {
    // After Explorer restarts the old icon is gone, so this is an add, not a modify; an icon the
    // shell refused at start-up (no taskbar yet) arrives the same way.
    if (window_ != nullptr) {
        added_ = Notify(NIM_ADD);
    }
}

void TrayIcon::SetTooltip(const std::wstring& text) {
    if (text == tooltip_) {
        return;
    }
    tooltip_ = text;
    if (added_) {
        Notify(NIM_MODIFY);
    }
}

UINT TrayIcon::TaskbarCreatedMessage() {
    static const UINT message = RegisterWindowMessageW(L"TaskbarCreated");
    return message;
}

HICON TrayIcon::IconFor(TrayState state) const {
    const UniqueIcon& icon = icons_[Index(state)];
    return icon ? icon.get() : programIcon_;
}

bool TrayIcon::Notify(DWORD message) {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof(data);
    data.hWnd = window_;
    data.uID = kIconId;
    if (message != NIM_DELETE) {
        data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
        data.uCallbackMessage = callbackMessage_;
        data.hIcon = IconFor(state_);
        // The shell's limit: a longer text is cut, never refused.
        const std::size_t length = std::min(tooltip_.size(), std::size(data.szTip) - 1);
        tooltip_.copy(data.szTip, length);
        data.szTip[length] = L'\0';
    }
    return notify_(message, &data) != FALSE;
}

int ShowTrayMenu(HWND window) {
    UniqueMenu menu(CreatePopupMenu());
    if (!menu) {
        return 0;
    }
    AppendMenuW(menu.get(), MF_STRING, kTrayRestore, L"Restore");
    AppendMenuW(menu.get(), MF_STRING, kTrayStopMonitor, L"Stop Monitor");
    AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu.get(), MF_STRING, kTrayExit, L"Exit");
    SetMenuDefaultItem(menu.get(), kTrayRestore, FALSE);  // what a double click does
    POINT cursor{};
    GetCursorPos(&cursor);
    // Without the foreground the menu would not close when the user clicks elsewhere, and
    // without the WM_NULL a second right click would open it only every other time.
    SetForegroundWindow(window);
    const int chosen =
        static_cast<int>(TrackPopupMenu(menu.get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY,
                                        cursor.x, cursor.y, 0, window, nullptr));
    PostMessageW(window, WM_NULL, 0, 0);
    return chosen;
}

}  // namespace wrenpost
