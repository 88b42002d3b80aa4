#include "ui/recipients/RecipientsManager_win.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "common/AppMessages_win.h"
#include "common/Prompt.h"
#include "common/UniqueHandle_win.h"
#include "telegram/Recipients.h"
#include "ui/DialogWindow_win.h"
#include "ui/OwnedDialog_win.h"
#include "ui/lists/ListPager.h"

namespace wrenpost {
namespace {

constexpr int kSearchId = 9500;
constexpr int kPreviousId = 9501;
constexpr int kNextId = 9502;
constexpr int kOkId = 9503;
constexpr int kCancelId = 9504;
constexpr int kPageLabelId = 9505;
constexpr int kAllowId = 9510;       // + row
constexpr int kDeleteId = 9530;      // + row
constexpr int kCellId = 9550;        // + 10 x column + row
constexpr int kClearTopicId = 9600;  // + row
constexpr int kRows = static_cast<int>(ListPager::kPageSize);
constexpr int kColumns = 4;  // chat id, name, registered on, last notification
constexpr int kCellX[kColumns] = {76, 196, 346, 516};
constexpr int kCellWidth[kColumns] = {116, 146, 166, 166};

constexpr DWORD kLabel = SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS;
constexpr DWORD kButton = BS_PUSHBUTTON | WS_TABSTOP;

constexpr DialogControl kFixed[] = {
    {-1, L"STATIC", L"&Search:", SS_LEFT, 16, 15, 60, 20},
    {kSearchId, L"EDIT", L"", ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 80, 12, 300, 24},
    {-1, L"STATIC", L"Allow", kLabel, 16, 46, 56, 20},
    {-1, L"STATIC", L"Chat ID", kLabel, 76, 46, 116, 20},
    {-1, L"STATIC", L"Name / Username", kLabel, 196, 46, 146, 20},
    {-1, L"STATIC", L"Registered On", kLabel, 346, 46, 166, 20},
    {-1, L"STATIC", L"Last Notification", kLabel, 516, 46, 166, 20},
    {-1, L"STATIC", L"Delete", kLabel, 686, 46, 90, 20},
    {-1, L"STATIC", L"Forum Topic", kLabel, 786, 46, 94, 20},
    {kPreviousId, L"BUTTON", L"Previous", kButton, 16, 372, 90, 28},
    {kPageLabelId, L"STATIC", L"Page 1 / 1", SS_CENTER | SS_NOPREFIX, 112, 377, 120, 20},
    {kNextId, L"BUTTON", L"Next", kButton, 238, 372, 90, 28},
    {kOkId, L"BUTTON", L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP, 686, 371, 90, 30},
    {kCancelId, L"BUTTON", L"Cancel", kButton, 786, 371, 94, 30},
};

int RowY(int row) {
    return 72 + row * 28;
}

class RecipientsManager : public OwnedDialog<RecipientsManager> {
public:
    RecipientsManager(HWND owner, std::vector<RecipientEntry> recipients,
                      std::vector<RecipientTopic> topics)
        : OwnedDialog(owner), working_(std::move(recipients)), topics_(std::move(topics)) {}

    // True when OK closed it; `opened` is told the window while it runs and null once it is gone.
    bool Run(const std::function<void(HWND manager)>& opened) {
        if (!CreateOwnedWindowOuter(kRecipientsManagerClass, L"Manage Recipients", 900, 450)) {
            return false;
        }
        if (opened) {
            opened(Window());
        }
        RunModal([this] { return closed_; });
        if (opened) {
            opened(nullptr);
        }
        return accepted_;
    }

    std::vector<RecipientEntry>& Working() { return working_; }
    std::vector<RecipientTopic>& Topics() { return topics_; }

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
        switch (message) {
            case WM_CREATE:
                return OnCreate() ? 0 : -1;
            case WM_COMMAND:
                OnCommand(LOWORD(wParam), HIWORD(wParam));
                return 0;
            case WM_CLOSE:
                closed_ = true;
                return 0;
            case kRecipientNotifiedForwardMessage:
                if (auto record = AdoptRecord<RecipientNotifiedRecord>(wParam, lParam)) {
                    OnNotified(record->chatId, record->when);
                }
                return 0;
            default:
                break;
        }
        return DialogDefault(Window(), message, wParam, lParam);
    }

private:
    bool OnCreate() {
        const HFONT shown = MessageFont();
        bool created = true;
        for (const DialogControl& control : kFixed) {
            created = created && CreateDialogControl(Window(), control, dpi_, shown) != nullptr;
        }
        for (int row = 0; row < kRows && created; ++row) {
            const int y = RowY(row);
            created = CreateDialogControl(Window(),
                                          {kAllowId + row, L"BUTTON", L"",
                                           BS_AUTOCHECKBOX | WS_TABSTOP, 24, y, 16, 22},
                                          dpi_, shown) != nullptr;
            for (int column = 0; column < kColumns && created; ++column) {
                created = CreateDialogControl(Window(),
                                              {kCellId + 10 * column + row, L"STATIC", L"", kLabel,
                                               kCellX[column], y + 2, kCellWidth[column], 20},
                                              dpi_, shown) != nullptr;
            }
            created = created && CreateDialogControl(Window(),
                                                     {kDeleteId + row, L"BUTTON", L"Delete",
                                                      kButton, 686, y - 1, 90, 24},
                                                     dpi_, shown) != nullptr;
            created = created && CreateDialogControl(Window(),
                                                     {kClearTopicId + row, L"BUTTON",
                                                      L"Clear Topic", kButton, 786, y - 1, 94, 24},
                                                     dpi_, shown) != nullptr;
        }
        if (!created) {
            return false;
        }
        pager_.Filter(SearchFields(), L"");
        ShowPage();
        return true;
    }

    void OnCommand(int id, int notification) {
        if (id == kSearchId) {
            if (notification == EN_CHANGE) {
                pager_.Filter(SearchFields(), Text(kSearchId));
                ShowPage();
            }
        } else if (id == kOkId) {
            accepted_ = true;
            closed_ = true;
        } else if (id == kCancelId || id == IDCANCEL) {
            closed_ = true;
        } else if (id == kPreviousId || id == kNextId) {
            id == kPreviousId ? pager_.Previous() : pager_.Next();
            ShowPage();
        } else if (id >= kAllowId && id < kAllowId + kRows) {
            if (RecipientEntry* entry = EntryOnRow(id - kAllowId)) {
                entry->Allowed = IsDlgButtonChecked(Window(), id) == BST_CHECKED;
            }
        } else if (id >= kDeleteId && id < kDeleteId + kRows) {
            Delete(id - kDeleteId);
        } else if (id >= kClearTopicId && id < kClearTopicId + kRows) {
            if (const RecipientEntry* entry = EntryOnRow(id - kClearTopicId)) {
                std::erase_if(topics_,
                              [&](const RecipientTopic& t) { return t.ChatId == entry->ChatId; });
                ShowPage();
            }
        }
    }

    void Delete(int row) {
        const std::vector<std::size_t> shown = pager_.PageEntries();
        if (row >= static_cast<int>(shown.size()) ||
            ShowPrompt({reinterpret_cast<std::uintptr_t>(Window()),
                        L"Delete Recipient",
                        L"Are you sure you want to delete this recipient?",
                        PromptIcon::Warning,
                        PromptButtons::YesNo,
                        {},
                        nullptr,
                        PromptRequest::Default::Second}) != PromptAnswer::Yes) {
            return;
        }
        working_.erase(working_.begin() +
                       static_cast<std::ptrdiff_t>(shown[static_cast<std::size_t>(row)]));
        pager_.Refresh(SearchFields());
        ShowPage();
    }

    void OnNotified(const std::wstring& chatId, const std::wstring& when) {
        const auto found =
            std::find_if(working_.begin(), working_.end(),
                         [&](const RecipientEntry& entry) { return entry.ChatId == chatId; });
        if (found != working_.end()) {
            found->LastNotification = when;
            ShowPage();
        }
    }

    std::vector<ListPager::SearchFields> SearchFields() const {
        std::vector<ListPager::SearchFields> fields;
        for (const RecipientEntry& entry : working_) {
            fields.push_back({entry.ChatId, entry.DisplayName});
        }
        return fields;
    }

    RecipientEntry* EntryOnRow(int row) {
        const std::vector<std::size_t> shown = pager_.PageEntries();
        return row < static_cast<int>(shown.size())
                   ? &working_[shown[static_cast<std::size_t>(row)]]
                   : nullptr;
    }

    void ShowPage() {
        for (int row = 0; row < kRows; ++row) {
            const RecipientEntry* entry = EntryOnRow(row);
            const int show = entry != nullptr ? SW_SHOW : SW_HIDE;
            ShowWindow(GetDlgItem(Window(), kAllowId + row), show);
            ShowWindow(GetDlgItem(Window(), kDeleteId + row), show);
            const std::int64_t topic = entry ? TopicOf(topics_, entry->ChatId) : 0;
            ShowWindow(GetDlgItem(Window(), kClearTopicId + row), topic != 0 ? SW_SHOW : SW_HIDE);
            const std::wstring name =
                !entry       ? L""
                : topic != 0 ? entry->DisplayName + L" (topic " + std::to_wstring(topic) + L")"
                             : entry->DisplayName;
            const std::wstring cells[kColumns] = {
                entry ? entry->ChatId : L"", name, entry ? entry->RegisteredOn : L"",
                !entry                            ? L""
                : entry->LastNotification.empty() ? L"Never"
                                                  : entry->LastNotification};
            for (int column = 0; column < kColumns; ++column) {
                HWND cell = GetDlgItem(Window(), kCellId + 10 * column + row);
                SetWindowTextW(cell, cells[column].c_str());
                ShowWindow(cell, show);
            }
            // The box is too narrow to show its text: the text names it for a screen reader.
            const std::wstring allow =
                L"Allow " + (!entry || entry->DisplayName.empty() ? cells[0] : entry->DisplayName);
            SetDlgItemTextW(Window(), kAllowId + row, allow.c_str());
            CheckDlgButton(Window(), kAllowId + row,
                           entry != nullptr && entry->Allowed ? BST_CHECKED : BST_UNCHECKED);
        }
        wchar_t label[48];
        std::swprintf(label, 48, L"Page %d / %d", pager_.Page() + 1, pager_.Pages());
        SetDlgItemTextW(Window(), kPageLabelId, label);
        EnableControl(kPreviousId, pager_.HasPrevious());
        EnableControl(kNextId, pager_.HasNext());
    }

    void EnableControl(int id, bool enable) {
        HWND control = GetDlgItem(Window(), id);
        // A button disabled while it has the focus would leave the keyboard nowhere.
        if (!enable && GetFocus() == control) {
            SendMessageW(Window(), WM_NEXTDLGCTL, 0, FALSE);
        }
        EnableWindow(control, enable ? TRUE : FALSE);
    }

    std::wstring Text(int id) const {
        HWND control = GetDlgItem(Window(), id);
        std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
        text.resize(static_cast<std::size_t>(
            GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
        return text;
    }

    std::vector<RecipientEntry> working_;
    std::vector<RecipientTopic> topics_;
    ListPager pager_;
    bool closed_ = false;
    bool accepted_ = false;
};

}  // namespace

bool RunRecipientsManager(HWND owner, std::vector<RecipientEntry>& recipients,
                          std::vector<RecipientTopic>& topics,
                          const std::function<void(HWND manager)>& opened) {
    RecipientsManager manager(owner, recipients, topics);
    if (!manager.Run(opened)) {
        return false;
    }
    recipients = std::move(manager.Working());
    topics = std::move(manager.Topics());
    KeepTopicsOfRecipients(topics, recipients);
    return true;
}

}  // namespace wrenpost
