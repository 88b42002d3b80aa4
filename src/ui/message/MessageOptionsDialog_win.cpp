#include "ui/message/MessageOptionsDialog_win.h"

#include <chrono>
#include <optional>

#include "common/Clock.h"
#include "ui/message/MessageOptionsInput.h"
#include "ui/rules/RuleDialog_win.h"

namespace wrenpost {
namespace {

constexpr int kContentId = 9801;
constexpr int kPreviewLengthId = 9802;
constexpr int kQuietId = kMessageQuietId;
constexpr int kFirstDayId = 9804;  // Monday; Sunday is kFirstDayId + 6
constexpr int kQuietStartId = 9811;
constexpr int kQuietEndId = 9812;
constexpr int kBurstsId = kMessageBurstsId;
constexpr int kBurstThresholdId = 9814;
constexpr int kPreviewId = 9815;
constexpr int kNoteId = kMessageOptionsNoteId;

constexpr DWORD kPreviewStyle =
    ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL | WS_BORDER | WS_TABSTOP;

constexpr DialogControl kControls[] = {
    {-1, L"STATIC", L"Message &content:", SS_LEFT, 16, 18, 120, 20},
    {kContentId, L"COMBOBOX", L"", kRuleDropDown, 140, 14, 230, 200},
    {-1, L"STATIC", L"&Preview length:", SS_LEFT, 16, 52, 120, 20},
    {kPreviewLengthId, L"EDIT", L"", kRuleEdit, 140, 48, 60, 24},
    {-1, L"STATIC", L"characters (1\u20131,000)", kRuleLabel, 208, 52, 200, 20},
    {kQuietId, L"BUTTON", L"&Quiet hours: notifications arrive without sound", kRuleCheck, 16, 88,
     440, 22},
    {kFirstDayId + 0, L"BUTTON", L"Mon", kRuleCheck, 36, 116, 56, 22},
    {kFirstDayId + 1, L"BUTTON", L"Tue", kRuleCheck, 96, 116, 56, 22},
    {kFirstDayId + 2, L"BUTTON", L"Wed", kRuleCheck, 156, 116, 56, 22},
    {kFirstDayId + 3, L"BUTTON", L"Thu", kRuleCheck, 216, 116, 56, 22},
    {kFirstDayId + 4, L"BUTTON", L"Fri", kRuleCheck, 276, 116, 56, 22},
    {kFirstDayId + 5, L"BUTTON", L"Sat", kRuleCheck, 336, 116, 56, 22},
    {kFirstDayId + 6, L"BUTTON", L"Sun", kRuleCheck, 396, 116, 56, 22},
    {-1, L"STATIC", L"&From", SS_LEFT, 36, 150, 40, 20},
    {kQuietStartId, L"EDIT", L"", kRuleEdit, 80, 146, 60, 24},
    {-1, L"STATIC", L"&to", SS_LEFT, 150, 150, 20, 20},
    {kQuietEndId, L"EDIT", L"", kRuleEdit, 174, 146, 60, 24},
    {-1, L"STATIC", L"local time, 24-hour (HH:MM)", kRuleLabel, 244, 150, 240, 20},
    {kBurstsId, L"BUTTON", L"Send a &burst as one message: more than", kRuleCheck, 16, 186, 250, 22},
    {kBurstThresholdId, L"EDIT", L"", kRuleEdit, 268, 185, 44, 24},
    {-1, L"STATIC", L"waiting for one chat (2\u201350)", kRuleLabel, 320, 189, 170, 20},
    {-1, L"STATIC", L"Previe&w of a sample notification:", SS_LEFT, 16, 224, 400, 20},
    {kPreviewId, L"EDIT", L"", kPreviewStyle, 16, 246, 468, 130},
    {kNoteId, L"STATIC", L"", kRuleLabel, 16, 382, 468, 46},
    {IDOK, L"BUTTON", L"OK", kRuleDefaultButton, 300, 436, 88, 30},
    {IDCANCEL, L"BUTTON", L"Cancel", kRuleButton, 396, 436, 88, 30},
};

constexpr std::wstring_view kContentNames[] = {L"Subject only", L"With sender and time",
                                               L"With preview"};

constexpr wchar_t kPreviewLengthProblem[] =
    L"Preview length must be a whole number from 1 to 1,000.";

// Edits "\r\n" line ends only.
std::wstring ForEdit(const std::wstring& text) {
    std::wstring shown;
    for (const wchar_t c : text) {
        if (c == L'\n') {
            shown += L'\r';
        }
        shown += c;
    }
    return shown;
}

std::int64_t NowUtcTicks() {
    const auto since = SystemClock().Now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::microseconds>(since).count() * 10;
}

class MessageOptionsDialog : public RuleDialog<MessageOptionsDialog> {
public:
    MessageOptionsDialog(HWND owner, MessageOptionsRequest& request)
        : RuleDialog(owner), request_(request), sample_(SampleNotificationMail(NowUtcTicks())) {}

    bool OnCreate();
    void OnCommand(int id, int notification);

private:
    MessageContent Content() const {
        return static_cast<MessageContent>(DropDownIndex(kContentId));
    }
    void ShowOptions(const MessageOptions& options);
    void EnableFields();
    void ShowPreview();
    bool Gather(MessageOptions& options);
    bool Refuse(const std::wstring& text, int focusId);
    std::optional<std::int32_t> Field(int id, std::int32_t minimum, std::int32_t maximum) const;

    MessageOptionsRequest& request_;
    NotificationMail sample_;
};

bool MessageOptionsDialog::OnCreate() {
    if (!MakeControls(kControls)) {
        return false;
    }
    FillDropDown(Item(kContentId), kContentNames);
    SendMessageW(Item(kPreviewLengthId), EM_SETLIMITTEXT, 6, 0);
    SendMessageW(Item(kBurstThresholdId), EM_SETLIMITTEXT, 4, 0);
    SetText(kNoteId, request_.note);
    ShowOptions(request_.options);
    return true;
}

void MessageOptionsDialog::ShowOptions(const MessageOptions& options) {
    SelectDropDown(kContentId, static_cast<int>(options.Content));
    SetText(kPreviewLengthId, std::to_wstring(options.PreviewLength));
    Check(kQuietId, options.Quiet.Enabled);
    for (int day = 0; day < 7; ++day) {
        Check(kFirstDayId + day, (options.Quiet.Days & (1 << day)) != 0);
    }
    SetText(kQuietStartId, FormatClockTime(options.Quiet.StartMinute));
    SetText(kQuietEndId, FormatClockTime(options.Quiet.EndMinute));
    Check(kBurstsId, options.CombineBursts);
    SetText(kBurstThresholdId, std::to_wstring(options.BurstThreshold));
    EnableFields();
    ShowPreview();
}

void MessageOptionsDialog::EnableFields() {
    EnableWindow(Item(kPreviewLengthId), Content() == MessageContent::Preview);
    const BOOL quiet = Checked(kQuietId) ? TRUE : FALSE;
    for (int id = kFirstDayId; id < kFirstDayId + 7; ++id) {
        EnableWindow(Item(id), quiet);
    }
    EnableWindow(Item(kQuietStartId), quiet);
    EnableWindow(Item(kQuietEndId), quiet);
    EnableWindow(Item(kBurstThresholdId), Checked(kBurstsId) ? TRUE : FALSE);
}

// Exactly what the monitor would send for the sample mail, or why it cannot be shown.
void MessageOptionsDialog::ShowPreview() {
    MessageOptions options = request_.options;
    options.Content = Content();
    if (options.Content == MessageContent::Preview) {
        const auto length = Field(kPreviewLengthId, MessageOptions::kMinPreviewLength,
                                  MessageOptions::kMaxPreviewLength);
        if (!length) {
            SetText(kPreviewId, kPreviewLengthProblem);
            return;
        }
        options.PreviewLength = *length;
    }
    const NotificationText text =
        BuildNotificationText(request_.title, sample_, options, request_.formatTime);
    SetText(kPreviewId, ForEdit(request_.title + L"\n\n" + text.Body));
}

void MessageOptionsDialog::OnCommand(int id, int notification) {
    if ((id == kContentId && notification == CBN_SELCHANGE) ||
        (id == kPreviewLengthId && notification == EN_CHANGE)) {
        EnableFields();
        ShowPreview();
    } else if ((id == kQuietId || id == kBurstsId) && notification == BN_CLICKED) {
        EnableFields();
    } else if (id == IDOK) {
        MessageOptions options = request_.options;
        if (Gather(options)) {
            request_.options = options;
            Close(true);
        }
    }
}

std::optional<std::int32_t> MessageOptionsDialog::Field(int id, std::int32_t minimum,
                                                        std::int32_t maximum) const {
    return ParseWholeNumber(Text(id), minimum, maximum);
}

// A field the user cannot reach (its option is off) keeps its old value when it does not read.
bool MessageOptionsDialog::Gather(MessageOptions& options) {
    options.Content = Content();
    const bool preview = options.Content == MessageContent::Preview;
    const auto length = Field(kPreviewLengthId, MessageOptions::kMinPreviewLength,
                              MessageOptions::kMaxPreviewLength);
    if (preview && !length) {
        return Refuse(kPreviewLengthProblem, kPreviewLengthId);
    }
    options.PreviewLength = length.value_or(options.PreviewLength);

    QuietHours& quiet = options.Quiet;
    quiet.Enabled = Checked(kQuietId);
    std::uint8_t days = 0;
    for (int day = 0; day < 7; ++day) {
        days |= Checked(kFirstDayId + day) ? static_cast<std::uint8_t>(1 << day) : 0;
    }
    const auto start = ParseClockTime(Text(kQuietStartId));
    const auto end = ParseClockTime(Text(kQuietEndId));
    if (quiet.Enabled) {
        if (days == 0) {
            return Refuse(L"Choose at least one day for quiet hours.", kFirstDayId);
        }
        if (!start) {
            return Refuse(L"Quiet hours start must be a time from 00:00 to 23:59, such as 22:00.",
                          kQuietStartId);
        }
        if (!end) {
            return Refuse(L"Quiet hours end must be a time from 00:00 to 23:59, such as 07:00.",
                          kQuietEndId);
        }
    }
    quiet.Days = days != 0 ? days : quiet.Days;
    quiet.StartMinute = start.value_or(quiet.StartMinute);
    quiet.EndMinute = end.value_or(quiet.EndMinute);

    options.CombineBursts = Checked(kBurstsId);
    const auto threshold = Field(kBurstThresholdId, MessageOptions::kMinBurstThreshold,
                                 MessageOptions::kMaxBurstThreshold);
    if (options.CombineBursts && !threshold) {
        return Refuse(
            L"The number of waiting notifications that makes a burst must be a whole "
            L"number from 2 to 50.",
            kBurstThresholdId);
    }
    options.BurstThreshold = threshold.value_or(options.BurstThreshold);
    return true;
}

bool MessageOptionsDialog::Refuse(const std::wstring& text, int focusId) {
    AskRules(Window(), text, PromptIcon::Warning, PromptButtons::Ok, L"Message Options");
    SendMessageW(Window(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(focusId)), TRUE);
    return false;
}

}  // namespace

bool ShowMessageOptionsDialog(HWND owner, MessageOptionsRequest& request) {
    MessageOptionsDialog dialog(owner, request);
    return dialog.Run(kMessageOptionsClass, L"Message Options", 500, 478);
}

}  // namespace wrenpost
