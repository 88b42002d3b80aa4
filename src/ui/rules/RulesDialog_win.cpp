// The "Notification Rules" window: the master switch, the rule list and its commands, a save
// after every change, and the reminder when closing with enabled rules but the switch off.
#include "ui/rules/RulesDialog_win.h"

#include <algorithm>
#include <ctime>
#include <utility>

#include "app/AppStateStore_win.h"
#include "rules/RulePackage.h"
#include "rules/RulesFile.h"
#include "rules/RulesFileSave.h"
#include "ui/rules/RuleDialog_win.h"
#include "ui/rules/RuleEditors_win.h"
#include "ui/rules/RulePackageCommands_win.h"

namespace wrenpost {
namespace {

constexpr int kMasterId = kRulesMasterId;
constexpr int kWarningId = 9752;
constexpr int kListId = 9753;
constexpr int kAddId = kRulesAddId;
constexpr int kEditId = kRulesEditId;
constexpr int kDeleteId = kRulesDeleteId;
constexpr int kUpId = kRulesUpId;
constexpr int kDownId = kRulesDownId;
constexpr int kImportId = kRulesImportId;
constexpr int kExportId = kRulesExportId;

constexpr DialogControl kControls[] = {
    {kMasterId, L"BUTTON", L"&Enable Notification Rules", kRuleCheck, 16, 12, 400, 24},
    {kWarningId, L"STATIC",
     L"\u26A0 Rules are configured below but Notification Rules is disabled - every incoming "
     L"email will be sent unfiltered.",
     kRuleLabel, 16, 40, 912, 20},
    {-1, L"STATIC", L"&Rules:", SS_LEFT, 16, 66, 300, 20},
    {kListId, WC_LISTVIEWW, L"", kRuleList, 16, 88, 708, 438},
    {-1, L"BUTTON", L"Rule", kRuleGroup, 740, 60, 188, 150},
    {kAddId, L"BUTTON", L"&Add", kRuleButton, 756, 84, 156, 30},
    {kEditId, L"BUTTON", L"Ed&it", kRuleButton, 756, 120, 156, 30},
    {kDeleteId, L"BUTTON", L"&Delete", kRuleButton, 756, 156, 156, 30},
    {-1, L"BUTTON", L"Order", kRuleGroup, 740, 220, 188, 114},
    {kUpId, L"BUTTON", L"Move &Up", kRuleButton, 756, 244, 156, 30},
    {kDownId, L"BUTTON", L"Move Do&wn", kRuleButton, 756, 280, 156, 30},
    {-1, L"BUTTON", L"Import && Export", kRuleGroup, 740, 344, 188, 114},
    {kImportId, L"BUTTON", L"I&mport", kRuleButton, 756, 368, 156, 30},
    {kExportId, L"BUTTON", L"E&xport", kRuleButton, 756, 404, 156, 30},
    {IDOK, L"BUTTON", L"Close", kRuleDefaultButton, 838, 544, 90, 30},
};

constexpr ListColumn kColumns[] = {
    {L"Enabled", 70}, {L"Rule Name", 320}, {L"Folder", 220}, {L"Order", 70}};

bool AnyEnabled(const std::vector<NotificationRule>& rules) {
    return std::any_of(rules.begin(), rules.end(),
                       [](const NotificationRule& rule) { return rule.Enabled; });
}

class RulesDialog : public RuleDialog<RulesDialog> {
public:
    RulesDialog(HWND owner, RulesDialogRequest& request) : RuleDialog(owner), request_(request) {}

    // Before the window opens, so the question about a corrupt file is asked over the owner.
    void Load() {
        const std::filesystem::path& path = request_.rulesPath;
        RulesFile loaded;
        if (path.empty()) {
            loaded = *request_.rules;
        } else {
            switch (LoadRulesFile(path, loaded)) {
                case RuleLoadResult::Loaded:
                    Log(LogLevel::Info, L"Rules loaded: " + PathText(path) + L" (" +
                                            std::to_wstring(loaded.Rules.size()) + L" rules)");
                    break;
                case RuleLoadResult::Corrupt:
                    HandleCorruptRulesFile(path, reinterpret_cast<std::uintptr_t>(owner_),
                                           request_.log);
                    loaded = RulesFile{};
                    break;
                case RuleLoadResult::Missing:
                    loaded = RulesFile{};
                    break;
                case RuleLoadResult::Unreadable:
                    // The file may hold the user's rules: show what this window last had and
                    // leave the file alone until it can be read.
                    Log(LogLevel::Warning, L"The rules file " + PathText(path) +
                                               L" could not be read; showing the rules in memory.");
                    loaded = *request_.rules;
                    break;
            }
            *request_.rules = loaded;
        }
        master_ = loaded.Enabled;
        working_ = std::move(loaded.Rules);
        std::stable_sort(
            working_.begin(), working_.end(),
            [](const NotificationRule& a, const NotificationRule& b) { return a.Order < b.Order; });
        for (NotificationRule& rule : working_) {
            rule.Version = std::max(rule.Version, 1);
        }
    }

    bool OnCreate() {
        if (!MakeControls(kControls)) {
            return false;
        }
        AddListColumns(Item(kListId), kColumns, dpi_);
        Check(kMasterId, master_);
        ShowList();
        return true;
    }

    void OnCommand(int id, int) {
        switch (id) {
            case kMasterId:
                OnMaster();
                break;
            case kAddId:
                OnAdd();
                break;
            case kEditId:
                OnEdit();
                break;
            case kDeleteId:
                OnDelete();
                break;
            case kUpId:
                Move(-1);
                break;
            case kDownId:
                Move(1);
                break;
            case kImportId:
                OnImport();
                break;
            case kExportId:
                ExportRules(Window(), working_, SelectedListRow(Item(kListId)), request_.pickFile,
                            request_.log);
                break;
            case IDOK:
                OnCancel();
                break;
            default:
                break;
        }
    }

    LRESULT OnNotify(const NMHDR& header) {
        if (header.idFrom == kListId && header.code == NM_DBLCLK &&
            SelectedListRow(Item(kListId)) >= 0) {
            OnEdit();
        }
        return 0;
    }

    // Close, Escape and the close box: the reminder, then the window closes.
    void OnCancel() {
        if (saveFailed_) {
            Save();  // one more try, so closing after a failed save does not just drop it
        }
        if (!Checked(kMasterId) && AnyEnabled(working_) &&
            !LoadAppState().SuppressMasterToggleReminder) {
            bool dontRemind = false;
            PromptRequest reminder;
            reminder.owner = reinterpret_cast<std::uintptr_t>(Window());
            reminder.caption = L"Notification Rules";
            reminder.text =
                L"You have one or more enabled notification rules, but the Notification Rules "
                L"system is currently disabled.\n\nWould you like to enable Notification Rules "
                L"now?";
            reminder.icon = PromptIcon::Warning;
            reminder.buttons = PromptButtons::YesNo;
            reminder.verification = L"Don't remind me again.";
            reminder.verified = &dontRemind;
            if (ShowPrompt(reminder) == PromptAnswer::Yes) {
                Check(kMasterId, true);
                ShowWarning();
                Save();
            }
            if (dontRemind) {
                SetSuppressMasterToggleReminder(true);
            }
        }
        Close(true);
    }

private:
    void Log(LogLevel level, const std::wstring& text) const {
        if (request_.log) {
            request_.log(level, text);
        }
    }

    // A change to the rules or the switch: the closing reminder is armed again.
    static void Rearm() { SetSuppressMasterToggleReminder(false); }

    void OnMaster() {
        if (Checked(kMasterId)) {
            if (working_.empty()) {
                Ask(L"No notification rules exist.\n\nPlease add at least one rule before "
                    L"enabling Notification Rules.",
                    PromptIcon::Warning);
                Check(kMasterId, false);
            } else if (!AnyEnabled(working_)) {
                Ask(L"No notification rules are enabled.\n\nPlease enable at least one rule "
                    L"before enabling Notification Rules.",
                    PromptIcon::Warning);
                Check(kMasterId, false);
            } else {
                Rearm();
            }
        }
        ShowWarning();
        Save();
    }

    void OnAdd() {
        NotificationRule rule;
        rule.Id = NextRuleId(working_);
        if (!ShowRuleEditor(Window(), true, rule, request_.folders, request_.recipients)) {
            return;
        }
        working_.push_back(std::move(rule));
        Check(kMasterId, true);
        Rearm();
        ShowList(static_cast<int>(working_.size()) - 1);
        Save();
    }

    void OnEdit() {
        const int row = SelectedListRow(Item(kListId));
        if (row < 0) {
            Ask(L"Please select a rule to edit.", PromptIcon::Information);
            return;
        }
        NotificationRule rule = working_[static_cast<std::size_t>(row)];
        if (!ShowRuleEditor(Window(), false, rule, request_.folders, request_.recipients)) {
            return;
        }
        working_[static_cast<std::size_t>(row)] = std::move(rule);
        Rearm();
        ShowList(row);
        Save();
    }

    void OnDelete() {
        const int row = SelectedListRow(Item(kListId));
        if (row < 0) {
            Ask(L"Please select a rule to delete.", PromptIcon::Information);
            return;
        }
        if (AskRules(Window(), L"Are you sure you want to delete this rule?", PromptIcon::Question,
                     PromptButtons::YesNo, L"Notification Rules",
                     PromptRequest::Default::Second) != PromptAnswer::Yes) {
            return;
        }
        working_.erase(working_.begin() + row);
        Rearm();
        ShowList(std::min(row, static_cast<int>(working_.size()) - 1));
        Save();
    }

    void Move(int step) {
        const int row = SelectedListRow(Item(kListId));
        const int target = row + step;
        if (row < 0 || target < 0 || target >= static_cast<int>(working_.size())) {
            return;
        }
        std::swap(working_[static_cast<std::size_t>(row)],
                  working_[static_cast<std::size_t>(target)]);
        ShowList(target);
        Save();
    }

    void OnImport() {
        RulePackage package;
        if (!ImportRules(Window(), working_, request_.recipients, request_.pickFile, request_.log,
                         package)) {
            return;
        }
        Rearm();
        ShowList();
        Save();
        Log(LogLevel::Info, RulesImportedLogText(package));
    }

    // Rows in list order, Order renumbered on the way; `select` (when a row) selected.
    void ShowList(int select = -1) {
        RenumberRuleOrder(working_);
        std::vector<std::vector<std::wstring>> rows;
        for (const NotificationRule& rule : working_) {
            rows.push_back({rule.Enabled ? L"Yes" : L"No", rule.Name,
                            rule.FolderPath.empty() ? L"(no folder)" : FolderLabel(rule.FolderPath),
                            std::to_wstring(rule.Order)});
        }
        SetListRows(Item(kListId), rows);
        if (select >= 0) {
            SelectListRow(Item(kListId), select);
        }
        ShowWarning();
    }

    void ShowWarning() {
        const bool show = !Checked(kMasterId) && !working_.empty();
        ShowWindow(Item(kWarningId), show ? SW_SHOW : SW_HIDE);
    }

    // The owner's rules take the list at once; the file follows. A failed write is shown (the
    // window promises that every change is saved) and the list keeps the change, so the next
    // change, or closing, writes it again.
    void Save() {
        RulesFile file;
        file.Version = 1;
        file.Enabled = Checked(kMasterId);
        file.Rules = working_;
        *request_.rules = std::move(file);
        const std::filesystem::path& path = request_.rulesPath;
        if (!path.empty()) {
            std::wstring error;
            const RulesSaveResult result =
                SaveRulesOverFile(path, *request_.rules, std::time(nullptr), request_.log, &error);
            saveFailed_ = result != RulesSaveResult::Saved;
            if (result == RulesSaveResult::Unreadable) {
                Log(LogLevel::Error,
                    L"Rules not saved, the file could not be read: " + PathText(path));
                Ask(RulesUnreadableMessage(path), PromptIcon::Warning);
            } else if (saveFailed_) {
                Log(LogLevel::Error, L"Failed to save rules: " + PathText(path));
                Ask(L"The rules could not be saved to " + PathText(path) + L".\n\n" + error +
                        L"\n\nYour change is kept here and is saved again with the next change.",
                    PromptIcon::Error);
            } else {
                Log(LogLevel::Info, L"Rules saved: " + PathText(path));
            }
        }
        if (request_.saved) {
            request_.saved();
        }
    }

    RulesDialogRequest& request_;
    std::vector<NotificationRule> working_;
    bool master_ = false;
    bool saveFailed_ = false;
};

}  // namespace

void ShowNotificationRulesDialog(HWND owner, RulesDialogRequest request) {
    if (request.rules == nullptr) {
        return;
    }
    RulesDialog dialog(owner, request);
    dialog.Load();
    // 960 by 624 outside; this is the client area inside the frame.
    dialog.Run(kRulesDialogClass, L"Notification Rules", 944, 585);
}

}  // namespace wrenpost
