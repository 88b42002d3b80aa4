#include "ui/main/AboutDialog_win.h"

#include <algorithm>
#include <optional>
#include <string>

#include "common/Text.h"
#include "common/UniqueHandle_win.h"
#include "ui/DialogWindow_win.h"
#include "ui/OwnedDialog_win.h"
#include "update/UpdateManifest.h"
#include "update/UpdateService_win.h"

namespace wrenpost {
namespace {

constexpr int kCheckForUpdatesId = kAboutCheckForUpdatesId;
constexpr int kCloseId = IDOK;  // the dialog manager's default button from the start
constexpr int kIconId = 102;
constexpr int kVersionId = 103;
constexpr int kProgramIconResource = 107;

// Client size and control rectangles in 96-DPI units.
constexpr int kClientWidth = 420;
constexpr int kClientHeight = 202;

enum class Font { Message, Title };

struct ControlLayout {
    Font font;
    DialogControl control;
};

constexpr DWORD kLabel = SS_LEFT | SS_NOPREFIX;

// Creation order is tab order: "Check for Updates" before "Close".
constexpr ControlLayout kControls[] = {
    {Font::Message, {kIconId, L"STATIC", L"", SS_ICON | SS_REALSIZECONTROL, 20, 18, 32, 32}},
    {Font::Title, {-1, L"STATIC", L"Wrenpost", kLabel, 68, 14, 332, 30}},
    {Font::Message,
     {-1, L"STATIC", L"Sends a Telegram message for every new Outlook mail.", kLabel, 68, 50, 332,
      18}},
    {Font::Message, {kVersionId, L"STATIC", L"", kLabel, 68, 70, 332, 18}},
    {Font::Message,
     {-1, L"STATIC",
      L"Wrenpost is independent software and is not affiliated with Microsoft or Telegram.", kLabel,
      68, 98, 332, 36}},
    {Font::Message,
     {kCheckForUpdatesId, L"BUTTON", L"Check for &Updates", BS_PUSHBUTTON | WS_TABSTOP, 188, 160,
      132, 26}},
    {Font::Message,
     {kCloseId, L"BUTTON", L"&Close", BS_DEFPUSHBUTTON | WS_TABSTOP, 328, 160, 76, 26}},
};

std::wstring ProgramVersionText() {
    const std::optional<Version> version = ReadProgramVersion();
    return version ? VersionText(*version) : Utf8ToWide(WRENPOST_VERSION_TEXT);
}

class AboutDialog : public OwnedDialog<AboutDialog> {
public:
    AboutDialog(HWND owner, const std::function<void(HWND)>& checkForUpdates)
        : OwnedDialog(owner), checkForUpdates_(checkForUpdates) {}

    ModalEnd Run() {
        if (!CreateOwnedWindow(kAboutDialogClass, L"About Wrenpost", kClientWidth, kClientHeight)) {
            return ModalEnd::Failed;
        }
        // Activation focuses the first tab stop; Close is the one Enter should press.
        return RunModal([this] { return closed_; }, kCloseId);
    }

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
    bool CreateControls() {
        LOGFONTW font = MessageFontFor(dpi_);
        font.lfWeight = FW_BOLD;
        font.lfHeight = font.lfHeight * 3 / 2;
        titleFont_.reset(CreateFontIndirectW(&font));

        for (const ControlLayout& layout : kControls) {
            const HGDIOBJ chosen = layout.font == Font::Title ? titleFont_.get() : MessageFont();
            if (!CreateDialogControl(Window(), layout.control, dpi_, static_cast<HFONT>(chosen))) {
                return false;
            }
        }
        HINSTANCE instance = GetModuleHandleW(nullptr);
        SetDlgItemTextW(Window(), kVersionId, (L"Version " + ProgramVersionText()).c_str());
        const int iconSize = Scale(32);
        programIcon_.reset(static_cast<HICON>(LoadImageW(
            instance, MAKEINTRESOURCEW(kProgramIconResource), IMAGE_ICON, iconSize, iconSize, 0)));
        HICON icon = programIcon_ ? programIcon_.get() : LoadIconW(nullptr, IDI_APPLICATION);
        SendDlgItemMessageW(Window(), kIconId, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
        EnableWindow(GetDlgItem(Window(), kCheckForUpdatesId), checkForUpdates_ ? TRUE : FALSE);
        return true;
    }

    const std::function<void(HWND)>& checkForUpdates_;
    bool closed_ = false;
    UniqueGdiObject titleFont_;
    UniqueIcon programIcon_;  // loaded unshared at this DPI's size, so ours to destroy
};

}  // namespace

ModalEnd RunAboutDialog(HWND owner, const std::function<void(HWND about)>& checkForUpdates) {
    return AboutDialog(owner, checkForUpdates).Run();
}

}  // namespace wrenpost
