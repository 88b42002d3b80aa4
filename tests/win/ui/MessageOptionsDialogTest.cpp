// Message Options through the main window's "Message…" button; warnings answered by the seam.
#include <windows.h>
// The headers below need windows.h first.
#include <gtest/gtest.h>

#include <string>

#include "support/Screenshot_win.h"
#include "ui/ModalLoop_win.h"
#include "ui/message/MessageOptionsDialog_win.h"
#include "ui/rules/RuleDialog_win.h"
#include "win/ui/MainWindowFixture.h"

#pragma GCC diagnostic ignored "-Wmissing-field-initializers"  // cases name what they change

namespace wrenpost {
namespace {

struct DialogCase {
    const wchar_t* shot;        // a screenshot's name, or nullptr
    int level;                  // the content drop-down's row
    const wchar_t* length;      // typed into "Preview length"
    const wchar_t* quietStart;  // nullptr: quiet hours stay off
    const wchar_t* threshold;   // nullptr: bursts stay off
    int button;
    const wchar_t* previewHas;  // part of the live preview after typing
    const wchar_t* refusal;     // the range in the warning OK gives, or nullptr
    MessageOptions expected;    // the form's options once the dialog is gone
};

const wchar_t kSubjectOnly[] = L"New Outlook Mail\r\n\r\nQuarterly report ready for review";
const wchar_t kSender[] = L"\r\nFrom: Dana Whitfield <dana.whitfield@example.com>\r\nReceived: ";
const wchar_t kCut[] = L"\r\n\r\nHi team, The quarterly report is ready.\u2026";
const wchar_t kBadLength[] = L"from 1 to 1,000";

using C = MessageContent;
using O = MessageOptions;
const DialogCase kCases[] = {
    {L"message-options-subject-only", 0, L"200", nullptr, nullptr, IDOK, kSubjectOnly, nullptr,
     O{}},
    {L"message-options-sender-and-time", 1, L"200", nullptr, nullptr, IDOK, kSender, nullptr,
     O{.Content = C::SenderAndTime}},
    {L"message-options-preview", 2, L"40", nullptr, nullptr, IDOK, kCut, nullptr,
     O{.Content = C::Preview, .PreviewLength = 40}},
    {nullptr, 2, L"40", nullptr, nullptr, IDCANCEL, kCut, nullptr, O{}},
    {nullptr, 2, L"0", nullptr, nullptr, IDOK, kBadLength, kBadLength, O{}},
    {nullptr, 2, L"1001", nullptr, nullptr, IDOK, kBadLength, kBadLength, O{}},
    // Unreachable at this level, so not a reason to refuse; the old length stays.
    {nullptr, 1, L"abc", nullptr, nullptr, IDOK, kSender, nullptr, O{.Content = C::SenderAndTime}},
    {nullptr, 0, L"200", L"23:30", nullptr, IDOK, kSubjectOnly, nullptr,
     O{.Quiet = {.Enabled = true, .StartMinute = 23 * 60 + 30}}},
    {nullptr, 0, L"200", L"24:00", nullptr, IDOK, kSubjectOnly, L"from 00:00 to 23:59", O{}},
    {nullptr, 0, L"200", nullptr, L"50", IDOK, kSubjectOnly, nullptr,
     O{.CombineBursts = true, .BurstThreshold = 50}},
    {nullptr, 0, L"200", nullptr, L"1", IDOK, kSubjectOnly, L"from 2 to 50", O{}},
};

void Tick(HWND d, int box, int edit, const wchar_t* text) {
    if (text != nullptr) {
        SendMessageW(GetDlgItem(d, box), BM_CLICK, 0, 0);
        SetWindowTextW(Nth(d, L"Edit", edit), text);
    }
}

void Fill(HWND d, const DialogCase& c) {
    HWND content = FindWindowExW(d, nullptr, L"ComboBox", nullptr);
    SendMessageW(content, CB_SETCURSEL, c.level, 0);
    SendMessageW(d, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(content), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(content));
    SetWindowTextW(Nth(d, L"Edit", 0), c.length);
    Tick(d, kMessageQuietId, 1, c.quietStart);
    Tick(d, kMessageBurstsId, 3, c.threshold);
}

using MessageOptionsDialogTest = MainWindowFixture;

TEST_F(MessageOptionsDialogTest, LevelsRangesAndButtons) {
    Open();
    for (const DialogCase& c : kCases) {
        SCOPED_TRACE(&c - kCases);
        testing::PromptRecorder prompts;
        std::wstring preview;
        // OK first; a refused OK leaves the dialog open for Cancel.
        WhenReady([&, pressed = false]() mutable {
            HWND d = ActiveModalDialog();
            if (d == nullptr) {
                return false;
            }
            if (pressed) {
                Press(d, IDCANCEL);
                return true;
            }
            Fill(d, c);
            preview = WindowText(Nth(d, L"Edit", 4));
            if (c.shot != nullptr) {
                testing::SaveScreenshot(d, c.shot);
            }
            Press(d, c.button);
            pressed = true;
            return c.refusal == nullptr;
        });
        Click(kIdMessageOptions);
        ExpectEveryStepRan();

        EXPECT_NE(preview.find(c.previewHas), std::wstring::npos) << preview;
        ASSERT_EQ(prompts.Requests().size(), c.refusal != nullptr ? 1u : 0u);
        for (const PromptRequest& refusal : prompts.Requests()) {
            EXPECT_NE(refusal.text.find(c.refusal), std::wstring::npos) << refusal.text;
        }
        EXPECT_EQ(window_->Message(), c.expected);
        prompts.QueueAnswer(PromptAnswer::No);  // changed options are not saved
        Click(kIdClear);
    }
}

}  // namespace
}  // namespace wrenpost
