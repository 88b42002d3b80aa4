#include "ui/main/UpdateAvailableDialog_win.h"

#include <algorithm>
#include <string>
#include <vector>

#include "common/UniqueHandle_win.h"
#include "ui/DialogWindow_win.h"
#include "ui/OwnedDialog_win.h"
#include "ui/main/WindowPrompt_win.h"

namespace wrenpost {
namespace {

constexpr int kOpenId = kUpdateOpenId;
constexpr int kLaterId = kUpdateLaterId;
constexpr int kHeadingId = 201;
constexpr int kCurrentId = 202;
constexpr int kLatestId = 203;
constexpr int kWhatsNewId = 204;
constexpr int kNotesId = 205;
constexpr wchar_t kTitle[] = L"Update Available";
constexpr wchar_t kHeading[] = L"A new version of Wrenpost is available";

// The window's outer size and the layout's measures, in 96-DPI units.
constexpr int kWidth = 440;
constexpr int kHeight = 420;
constexpr int kMargin = 16;
constexpr int kButtonHeight = 28;
constexpr int kOpenWidth = 150;
constexpr int kLaterWidth = 90;

constexpr DWORD kLabel = SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS;

struct ControlDef {
    int id;
    const wchar_t* className;
    DWORD style;
    DWORD exStyle;
};

// Creation order is tab order.
constexpr ControlDef kControls[] = {
    {kHeadingId, L"STATIC", SS_LEFT | SS_NOPREFIX, 0},  // wraps
    {kCurrentId, L"STATIC", kLabel, 0},
    {kLatestId, L"STATIC", kLabel, 0},
    {kWhatsNewId, L"STATIC", kLabel, 0},
    {kNotesId, L"EDIT", ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL | WS_TABSTOP,
     WS_EX_CLIENTEDGE},
    {kOpenId, L"BUTTON", BS_DEFPUSHBUTTON | WS_TABSTOP, 0},
    {kLaterId, L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0},
};

// One line per note. A control character inside a note (a line break, or a NUL that would end the
// edit's text there and hide every later note) becomes a space.
std::wstring NotesText(const std::vector<std::wstring>& notes) {
    std::wstring text;
    for (const std::wstring& note : notes) {
        if (!text.empty()) {
            text += L"\r\n";
        }
        text += L"\u2022 ";
        for (const wchar_t c : note) {
            text += c < L' ' ? L' ' : c;
        }
    }
    return text;
}

class UpdateAvailableDialog : public OwnedDialog<UpdateAvailableDialog> {
public:
    UpdateAvailableDialog(HWND owner, const UpdateCheckResult& result,
                          const std::function<bool()>& open)
        : OwnedDialog(owner), result_(result), open_(open) {}

    UpdateChoice Run(HWND centreOver) {
        if (!RegisterOwnedClass(kUpdateAvailableDialogClass)) {
            return UpdateChoice::NoChoice;
        }
        // The size is the whole window's, and the place is over `centreOver`, not the owner.
        const SIZE size{Scale(kWidth), Scale(kHeight)};
        const POINT at = CentredPosition(centreOver, size);
        if (CreateWindowExW(kDialogExStyle, kUpdateAvailableDialogClass, kTitle, kDialogStyle, at.x,
                            at.y, size.cx, size.cy, owner_, nullptr, GetModuleHandleW(nullptr),
                            this) == nullptr) {
            return UpdateChoice::NoChoice;
        }
        RunModal([this] { return choice_ != UpdateChoice::NoChoice; }, kOpenId);
        return choice_;
    }

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
        switch (message) {
            case WM_CREATE:
                return CreateControls() ? 0 : -1;
            case WM_SIZE:
                Layout();
                return 0;
            case WM_DPICHANGED: {
                dpi_ = LOWORD(wParam);
                CreateFonts();
                const RECT& suggested = *reinterpret_cast<const RECT*>(lParam);
                SetWindowPos(Window(), nullptr, suggested.left, suggested.top,
                             suggested.right - suggested.left, suggested.bottom - suggested.top,
                             SWP_NOZORDER | SWP_NOACTIVATE);
                Layout();
                return 0;
            }
            case WM_COMMAND:
                if (LOWORD(wParam) == kLaterId) {
                    choice_ = UpdateChoice::Later;
                } else if (LOWORD(wParam) == kOpenId) {
                    OpenDownloadPage();
                }
                return 0;
            case WM_CLOSE:
                choice_ = UpdateChoice::Later;
                return 0;
            default:
                // The dialog manager's procedure: Tab order, the default button, dialog colours.
                return DefDlgProcW(Window(), message, wParam, lParam);
        }
    }

private:
    void CreateFonts() {
        LOGFONTW font = MessageFontFor(dpi_);
        font.lfHeight = -Scale(20);  // negative: the character height, not the cell's
        font.lfWeight = FW_BOLD;
        headingFont_.reset(CreateFontIndirectW(&font));
        for (const ControlDef& control : kControls) {
            const HGDIOBJ chosen = control.id == kHeadingId ? headingFont_.get() : MessageFont();
            SendDlgItemMessageW(Window(), control.id, WM_SETFONT, reinterpret_cast<WPARAM>(chosen),
                                TRUE);
        }
    }

    bool CreateControls() {
        HINSTANCE instance = GetModuleHandleW(nullptr);
        for (const ControlDef& control : kControls) {
            if (CreateWindowExW(control.exStyle, control.className, L"",
                                WS_CHILD | WS_VISIBLE | control.style, 0, 0, 0, 0, Window(),
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)), instance,
                                nullptr) == nullptr) {
                return false;
            }
        }
        const auto setText = [this](int id, const std::wstring& text) {
            SetDlgItemTextW(Window(), id, text.c_str());
        };
        setText(kHeadingId, kHeading);
        setText(kCurrentId, L"Current version: " + result_.currentVersionText);
        setText(kLatestId, L"New version: " + result_.latestVersionText);
        setText(kWhatsNewId, L"What's new:");
        setText(kNotesId, NotesText(result_.releaseNotes));
        setText(kOpenId, L"&Open Download Page");
        setText(kLaterId, L"&Later");
        CreateFonts();
        Layout();
        return true;
    }

    // Height of `text` in `font` wrapped to `width`: a heading too wide for the line (another
    // font, a larger DPI) wraps and pushes the rest down rather than being cut.
    int TextHeight(HGDIOBJ font, const wchar_t* text, int width) const {
        const UniqueWindowDc dc(Window());
        const HGDIOBJ previous = SelectObject(dc.get(), font);
        RECT bounds{0, 0, width, 0};
        DrawTextW(dc.get(), text, -1, &bounds, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
        SelectObject(dc.get(), previous);
        return bounds.bottom;
    }

    // Labels from the top, the buttons at the bottom right, the notes taking the height between.
    void Layout() {
        RECT client{};
        GetClientRect(Window(), &client);
        const int m = Scale(kMargin);
        const int width = std::max(0, static_cast<int>(client.right) - 2 * m);
        const int line = TextHeight(MessageFont(), L"Ag", width) + Scale(2);
        const int buttonsTop = client.bottom - m - Scale(kButtonHeight);
        int y = Scale(12);
        const auto place = [&](int id, int height, int gapAfter) {
            MoveWindow(GetDlgItem(Window(), id), m, y, width, height, TRUE);
            y += height + Scale(gapAfter);
        };
        place(kHeadingId, TextHeight(headingFont_.get(), kHeading, width), 12);
        place(kCurrentId, line, 2);
        place(kLatestId, line, 12);
        place(kWhatsNewId, line, 4);
        place(kNotesId, std::max(0, buttonsTop - Scale(12) - y), 0);
        const int laterX = client.right - m - Scale(kLaterWidth);
        MoveWindow(GetDlgItem(Window(), kLaterId), laterX, buttonsTop, Scale(kLaterWidth),
                   Scale(kButtonHeight), TRUE);
        MoveWindow(GetDlgItem(Window(), kOpenId), laterX - Scale(8 + kOpenWidth), buttonsTop,
                   Scale(kOpenWidth), Scale(kButtonHeight), TRUE);
    }

    void OpenDownloadPage() {
        if (open_ && open_()) {
            choice_ = UpdateChoice::DownloadPageOpened;
            return;
        }
        Tell(Window(), kTitle,
             L"Could not open your default browser. Please visit the download page manually.",
             PromptIcon::Warning);
    }

    const UpdateCheckResult& result_;
    const std::function<bool()>& open_;
    UpdateChoice choice_ = UpdateChoice::NoChoice;
    UniqueGdiObject headingFont_;
};

}  // namespace

UpdateChoice RunUpdateAvailableDialog(HWND owner, HWND centreOver, const UpdateCheckResult& result,
                                      const std::function<bool()>& openDownloadPage) {
    return UpdateAvailableDialog(owner, result, openDownloadPage).Run(centreOver);
}

}  // namespace wrenpost
