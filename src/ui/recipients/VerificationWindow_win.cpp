#include "ui/recipients/VerificationWindow_win.h"

#include <commctrl.h>
#include <shellapi.h>

#include <atomic>
#include <memory>
#include <utility>

#include "common/AppMessages_win.h"
#include "common/Clipboard_win.h"
#include "common/PostedRecord_win.h"
#include "common/UniqueHandle_win.h"
#include "telegram/TelegramMessages_win.h"
#include "ui/DialogWindow_win.h"
#include "ui/OwnedDialog_win.h"
#include "ui/SecretEdit_win.h"
#include "ui/main/WindowPrompt_win.h"

namespace wrenpost {
namespace {

constexpr int kCodeId = 101;
constexpr int kNoteId = 102;
constexpr int kCountdownId = 103;
constexpr int kStatusId = 104;
constexpr int kShareId = 105;
constexpr UINT_PTR kCountdownTimer = 1;
constexpr UINT_PTR kCloseTimer = 2;
constexpr COLORREF kWaitingColour = RGB(204, 122, 0);
constexpr COLORREF kFailedColour = RGB(192, 57, 43);
constexpr COLORREF kSucceededColour = RGB(39, 174, 96);

enum class Font { Message, Code, Note };

struct Control {
    Font font;
    DialogControl control;
};

constexpr DWORD kLabel = SS_LEFT | SS_NOPREFIX;
constexpr DWORD kButton = BS_PUSHBUTTON | WS_TABSTOP;

// The window is 480 x 290 outside at 96 DPI, as every window of ours is sized: its client area
// (474 x 265 with the caption and modal frame) keeps 20 units of margin at the sides and below.
// "Open Verification" is the default button (IDOK), Escape is IDCANCEL.
constexpr Control kControls[] = {
    {Font::Message, {-1, L"STATIC", L"Verification &code:", SS_LEFT, 20, 16, 434, 20}},
    {Font::Code,
     {kCodeId, L"EDIT", L"", ES_CENTER | ES_READONLY | WS_BORDER | WS_TABSTOP, 20, 40, 434, 40}},
    {Font::Note,
     {kNoteId, L"STATIC", L"This code is valid for one use only.", SS_CENTER | SS_NOPREFIX, 20, 86,
      434, 18}},
    {Font::Message, {-1, L"STATIC", L"Remaining time:", kLabel, 20, 122, 120, 20}},
    {Font::Message, {kCountdownId, L"STATIC", L"03:00", kLabel, 150, 122, 304, 20}},
    {Font::Message, {-1, L"STATIC", L"Status:", kLabel, 20, 150, 120, 20}},
    {Font::Message,
     {kStatusId, L"STATIC", L"Waiting for verification...", kLabel, 150, 150, 304, 40}},
    {Font::Message, {kShareId, L"BUTTON", L"Share Verification", kButton, 20, 213, 150, 32}},
    {Font::Message,
     {IDOK, L"BUTTON", L"Open Verification", BS_DEFPUSHBUTTON | WS_TABSTOP, 178, 213, 150, 32}},
    {Font::Message, {IDCANCEL, L"BUTTON", L"Cancel", kButton, 354, 213, 100, 32}},
};

// A double click on the code selects all of it, not one of the words around the dash.
LRESULT CALLBACK SelectAllOnDoubleClick(HWND edit, UINT message, WPARAM wParam, LPARAM lParam,
                                        UINT_PTR, DWORD_PTR) {
    if (message == WM_LBUTTONDBLCLK) {
        SendMessageW(edit, EM_SETSEL, 0, -1);
        return 0;
    }
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(edit, &SelectAllOnDoubleClick, 0);
    }
    return DefSubclassProc(edit, message, wParam, lParam);
}

class VerificationWindow : public OwnedDialog<VerificationWindow> {
public:
    VerificationWindow(HWND owner, const VerificationWindowRequest& request)
        : OwnedDialog(owner),
          request_(request),
          clock_(request.clock != nullptr ? *request.clock : SystemClock()) {}

    VerificationWindowResult Run() {
        if (!CreateOwnedWindowOuter(kVerificationWindowClass, L"Telegram Verification", 480, 290)) {
            return {kVerificationFailed, {}, L"Failed to create verification dialog."};
        }
        RunModal([this] { return closed_; }, IDOK);
        return result_;
    }

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
        switch (message) {
            case WM_CREATE:
                return OnCreate() ? 0 : -1;
            case WM_COMMAND:
                OnCommand(LOWORD(wParam));
                return 0;
            case WM_CLOSE:
                Close();
                return 0;
            case WM_TIMER:
                if (wParam == kCountdownTimer) {
                    ShowCountdown();
                } else if (wParam == kCloseTimer) {
                    KillTimer(Window(), kCloseTimer);
                    closed_ = true;
                }
                return 0;
            case WM_CTLCOLORSTATIC:
                if (reinterpret_cast<HWND>(lParam) == GetDlgItem(Window(), kStatusId)) {
                    const HDC dc = reinterpret_cast<HDC>(wParam);
                    SetTextColor(dc, statusColour_);
                    SetBkMode(dc, TRANSPARENT);
                    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_3DFACE));
                }
                break;
            case kVerificationResultMessage:
                if (auto record = AdoptRecord<VerificationResultRecord>(wParam, lParam)) {
                    OnResult(std::move(record->result));
                }
                return 0;
            case WM_DESTROY:
                // Destroyed from outside (the program is ending): the worker must stop too.
                if (!completed_) {
                    cancelled_->store(true);
                    result_.outcome = kVerificationCancelled;
                }
                break;
            default:
                break;
        }
        return DialogDefault(Window(), message, wParam, lParam);
    }

private:
    bool OnCreate() {
        LOGFONTW segoe{};
        wcscpy_s(segoe.lfFaceName, L"Segoe UI");
        segoe.lfHeight = -Scale(22);
        segoe.lfWeight = FW_BOLD;
        codeFont_.reset(CreateFontIndirectW(&segoe));
        segoe.lfHeight = -Scale(12);
        segoe.lfWeight = FW_NORMAL;
        noteFont_.reset(CreateFontIndirectW(&segoe));
        for (const Control& control : kControls) {
            const HGDIOBJ chosen = control.font == Font::Code   ? codeFont_.get()
                                   : control.font == Font::Note ? noteFont_.get()
                                                                : MessageFont();
            if (!CreateDialogControl(Window(), control.control, dpi_, static_cast<HFONT>(chosen))) {
                return false;
            }
        }
        SetDlgItemTextW(Window(), kCodeId, request_.code.c_str());
        SetWindowSubclass(GetDlgItem(Window(), kCodeId), &SelectAllOnDoubleClick, 0, 0);
        CopyOnlyAsSecret(GetDlgItem(Window(), kCodeId));

        VerificationRequest work;
        work.token = request_.token;
        work.code = request_.code;
        work.start = ToUnixSeconds(clock_.Now());
        work.deadline = work.start + kVerificationWindowSeconds;
        deadline_ = work.deadline;
        ShowCountdown();
        SetTimer(Window(), kCountdownTimer, 1000, nullptr);
        StartVerificationForWindow(Window(), owner_, request_.transport, clock_, std::move(work),
                                   cancelled_);
        return true;
    }

    void OnCommand(int id) {
        if (id == kShareId) {
            Share();
        } else if (id == IDOK) {
            Open();
        } else if (id == IDCANCEL) {
            Close();
        }
    }

    void Share() {
        const std::wstring& code = request_.code;
        if (code.empty()) {
            Log(L"Verification deep link could not be built: verification code is empty.");
            return;
        }
        if (request_.botUsername.empty()) {
            CopyToClipboard(Window(), code, ClipboardPrivacy::Secret);
            return;
        }
        const std::wstring link = VerificationDeepLink(request_.botUsername, code);
        Log(L"Verification deep link: " + link);
        CopyToClipboard(Window(), link, ClipboardPrivacy::Secret);
    }

    void Open() {
        if (request_.botUsername.empty()) {
            Tell(Window(), L"Open Verification", L"No bot username available.",
                 PromptIcon::Warning);
            return;
        }
        const std::wstring link = VerificationDeepLink(request_.botUsername, request_.code);
        if (request_.openLink) {
            request_.openLink(link);
        } else {
            ShellExecuteW(Window(), L"open", link.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        }
    }

    // Before a result the worker is told to stop and nothing it finds is applied; after one,
    // closing keeps the outcome.
    void Close() {
        if (!completed_) {
            cancelled_->store(true);
            result_.outcome = kVerificationCancelled;
            KillTimer(Window(), kCountdownTimer);
        }
        closed_ = true;
    }

    void OnResult(VerificationResult result) {
        if (completed_ || cancelled_->load()) {
            return;
        }
        completed_ = true;
        KillTimer(Window(), kCountdownTimer);
        result_.outcome = OutcomeOf(result);
        result_.candidates = std::move(result.candidates);
        result_.error = std::move(result.error);
        const wchar_t* status = result_.outcome == kVerificationFailed ? L"Verification failed."
                                : result_.outcome == kVerificationExpired
                                    ? L"Verification expired."
                                    : L"Verification successful.";
        statusColour_ =
            result_.outcome == kVerificationSucceeded ? kSucceededColour : kFailedColour;
        SetDlgItemTextW(Window(), kStatusId, status);
        SetTimer(Window(), kCloseTimer, 1200, nullptr);
    }

    void ShowCountdown() {
        const std::int64_t left = deadline_ - ToUnixSeconds(clock_.Now());
        SetDlgItemTextW(Window(), kCountdownId, FormatCountdown(left).c_str());
    }

    void Log(const std::wstring& line) const {
        if (request_.log) {
            request_.log(LogLevel::Info, line);
        }
    }

    const VerificationWindowRequest& request_;
    const Clock& clock_;
    std::int64_t deadline_ = 0;
    CancelFlag cancelled_ = std::make_shared<std::atomic<bool>>(false);
    bool completed_ = false;
    bool closed_ = false;
    COLORREF statusColour_ = kWaitingColour;
    VerificationWindowResult result_;
    UniqueGdiObject codeFont_;
    UniqueGdiObject noteFont_;
};

}  // namespace

VerificationWindowResult RunVerificationWindow(HWND owner,
                                               const VerificationWindowRequest& request) {
    return VerificationWindow(owner, request).Run();
}

}  // namespace wrenpost
