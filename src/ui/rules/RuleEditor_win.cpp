// "Add Rule" / "Edit Rule": a rule's name, folder, logic, conditions and actions, saved only
// when the four checks pass.
#include <algorithm>
#include <cwctype>

#include "common/Text.h"
#include "rules/RuleRouting.h"
#include "ui/rules/RuleDialog_win.h"
#include "ui/rules/RuleEditors_win.h"

namespace wrenpost {
namespace {

constexpr int kNameId = 9721;
constexpr int kFolderId = 9722;
constexpr int kEnabledId = 9723;
constexpr int kAllId = 9724;
constexpr int kAnyId = 9725;
constexpr int kConditionsId = 9726;
constexpr int kAddConditionId = kRuleAddConditionId;
constexpr int kEditConditionId = 9728;
constexpr int kDeleteConditionId = 9729;
constexpr int kActionsId = 9730;
constexpr int kAddActionId = kRuleAddActionId;
constexpr int kEditActionId = kRuleEditActionId;
constexpr int kDeleteActionId = 9733;

constexpr DialogControl kControls[] = {
    {-1, L"BUTTON", L"General", kRuleGroup, 8, 8, 548, 130},
    {-1, L"STATIC", L"Rule Na&me:", SS_LEFT, 20, 34, 96, 20},
    {kNameId, L"EDIT", L"", kRuleEdit, 120, 30, 420, 24},
    {-1, L"STATIC", L"&Folder:", SS_LEFT, 20, 68, 96, 20},
    {kFolderId, L"COMBOBOX", L"", kRuleDropDown, 120, 64, 420, 300},
    {kEnabledId, L"BUTTON", L"&Enabled", kRuleCheck, 120, 100, 160, 22},
    {-1, L"BUTTON", L"Conditions", kRuleGroup, 8, 146, 548, 300},
    {-1, L"STATIC", L"Condition Logic:", kRuleLabel, 20, 170, 200, 20},
    {kAllId, L"BUTTON", L"A&ll (AND - every condition must match)", kRuleRadio | WS_GROUP, 20, 192,
     500, 22},
    {kAnyId, L"BUTTON", L"An&y (OR - at least one must match)", kRuleRadio, 20, 216, 500, 22},
    {-1, L"STATIC", L"Con&ditions:", SS_LEFT | WS_GROUP, 20, 242, 300, 18},
    {kConditionsId, WC_LISTVIEWW, L"", kRuleList | WS_GROUP, 20, 262, 524, 134},
    {kAddConditionId, L"BUTTON", L"+ Add &Condition", kRuleButton, 20, 404, 140, 28},
    {kEditConditionId, L"BUTTON", L"Edit Co&ndition", kRuleButton, 168, 404, 140, 28},
    {kDeleteConditionId, L"BUTTON", L"Delete C&ondition", kRuleButton, 316, 404, 140, 28},
    {-1, L"BUTTON", L"Actions", kRuleGroup, 8, 454, 548, 248},
    {-1, L"STATIC", L"&Actions run in this order when the rule matches:", SS_LEFT, 20, 478, 500,
     20},
    {kActionsId, WC_LISTVIEWW, L"", kRuleList, 20, 502, 524, 150},
    {kAddActionId, L"BUTTON", L"+ Add Act&ion", kRuleButton, 20, 662, 140, 28},
    {kEditActionId, L"BUTTON", L"Edi&t Action", kRuleButton, 168, 662, 140, 28},
    {kDeleteActionId, L"BUTTON", L"Delete Action", kRuleButton, 316, 662, 140, 28},
    {IDOK, L"BUTTON", L"Save", kRuleDefaultButton, 366, 716, 90, 30},
    {IDCANCEL, L"BUTTON", L"Cancel", kRuleButton, 466, 716, 90, 30},
};

constexpr ListColumn kConditionColumns[] = {
    {L"Field", 110}, {L"Operator", 110}, {L"Value", 150}, {L"Case-Sensitive", 100}};
constexpr ListColumn kActionColumns[] = {{L"Action Type", 280}, {L"Value", 200}};

// The name of a rule saved without one, from its first condition.
std::wstring NameFromCondition(const RuleCondition& condition) {
    if (condition.Operator == kOperatorEquals) {
        return condition.Field + L" = " + condition.Value;
    }
    std::wstring operatorName = condition.Operator;
    for (wchar_t& c : operatorName) {
        c = static_cast<wchar_t>(std::towlower(c));
    }
    return condition.Field + L" " + operatorName + L" " + condition.Value;
}

class RuleEditor : public RuleDialog<RuleEditor> {
public:
    RuleEditor(HWND owner, NotificationRule& rule, const std::vector<SelectedFolder>& folders,
               const std::vector<RecipientEntry>& recipients)
        : RuleDialog(owner), rule_(rule), folders_(folders), recipients_(recipients) {}

    bool OnCreate() {
        if (!MakeControls(kControls)) {
            return false;
        }
        AddListColumns(Item(kConditionsId), kConditionColumns, dpi_);
        AddListColumns(Item(kActionsId), kActionColumns, dpi_);
        SetText(kNameId, rule_.Name);
        Check(kEnabledId, rule_.Enabled);
        Check(rule_.ConditionLogic == kLogicAny ? kAnyId : kAllId, true);
        FillFolders();
        ShowConditions();
        ShowActions();
        return true;
    }

    void OnCommand(int id, int notification) {
        switch (id) {
            case kFolderId:
                if (notification == CBN_SELCHANGE) {
                    ShowFolderTip();
                }
                break;
            case kAddConditionId:
            case kEditConditionId:
            case kDeleteConditionId:
                EditList(rule_.Conditions, kConditionsId, id - kAddConditionId, L"condition",
                         &ShowConditionEditor);
                ShowConditions();
                break;
            case kAddActionId:
            case kEditActionId:
            case kDeleteActionId:
                EditList(rule_.Actions, kActionsId, id - kAddActionId, L"action",
                         [this](HWND owner, bool adding, RuleAction& action) {
                             return ShowActionEditor(owner, adding, action, recipients_);
                         });
                ShowActions();
                break;
            case IDOK:
                Save();
                break;
            default:
                break;
        }
    }

    LRESULT OnNotify(const NMHDR& header) {
        if (header.code == NM_DBLCLK && SelectedListRow(header.hwndFrom) >= 0) {
            OnCommand(header.idFrom == kConditionsId ? kEditConditionId : kEditActionId, 0);
        }
        return 0;
    }

private:
    // The labels, the drop-down as wide as the widest of them (within the monitor) and the
    // rule's folder selected, if it is still one of the profile's.
    void FillFolders() {
        HWND box = Item(kFolderId);
        HDC dc = GetDC(box);
        HGDIOBJ old = SelectObject(dc, MessageFont());
        int widest = 0;
        int selected = -1;
        for (const SelectedFolder& folder : folders_) {
            const std::wstring label = FolderLabel(folder.FolderPath);
            SIZE size{};
            GetTextExtentPoint32W(dc, label.c_str(), static_cast<int>(label.size()), &size);
            widest = std::max<int>(widest, size.cx);
            const auto index =
                SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(label.c_str()));
            if (selected < 0 && !rule_.FolderPath.empty() &&
                folder.FolderPath == rule_.FolderPath) {
                selected = static_cast<int>(index);
            }
        }
        SelectObject(dc, old);
        ReleaseDC(box, dc);
        MONITORINFO monitor{};
        monitor.cbSize = sizeof(monitor);
        GetMonitorInfoW(MonitorFromWindow(box, MONITOR_DEFAULTTONEAREST), &monitor);
        const int padding = GetSystemMetrics(SM_CXVSCROLL) + Scale(16);
        const int limit = monitor.rcWork.right - monitor.rcWork.left;
        SendMessageW(box, CB_SETDROPPEDWIDTH, std::min(widest + padding, limit), 0);
        SelectDropDown(kFolderId, selected);

        tooltip_ =
            CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0, 0,
                            0, 0, Window(), nullptr, GetModuleHandleW(nullptr), nullptr);
        if (tooltip_ != nullptr) {
            TTTOOLINFOW tool{};
            tool.cbSize = sizeof(tool);
            tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
            tool.hwnd = Window();
            tool.uId = reinterpret_cast<UINT_PTR>(box);
            tool.lpszText = const_cast<wchar_t*>(L"");
            SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
            ShowFolderTip();
        }
    }

    // The tooltip shows the selected label in full, however narrow the box.
    void ShowFolderTip() {
        if (tooltip_ == nullptr) {
            return;
        }
        folderTip_ = Text(kFolderId);
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof(tool);
        tool.hwnd = Window();
        tool.uId = reinterpret_cast<UINT_PTR>(Item(kFolderId));
        tool.lpszText = folderTip_.data();
        SendMessageW(tooltip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    }

    void ShowConditions() {
        std::vector<std::vector<std::wstring>> rows;
        for (const RuleCondition& c : rule_.Conditions) {
            rows.push_back({c.Field, c.Operator, c.Value, c.CaseSensitive ? L"\u2713" : L""});
        }
        SetListRows(Item(kConditionsId), rows);
    }

    void ShowActions() {
        std::vector<std::vector<std::wstring>> rows;
        for (const RuleAction& a : rule_.Actions) {
            rows.push_back({a.Type, a.Type == kActionSendToRecipients
                                        ? RecipientNamesText(a.Value, recipients_)
                                        : a.Value});
        }
        SetListRows(Item(kActionsId), rows);
    }

    // Add (0), edit (1) or delete (2) an entry of one of the two lists.
    template <typename Entry, typename Editor>
    void EditList(std::vector<Entry>& entries, int listId, int command, const std::wstring& what,
                  Editor editor) {
        if (command == 0) {
            Entry added{};
            if (editor(Window(), true, added)) {
                entries.push_back(std::move(added));
            }
            return;
        }
        const int row = SelectedListRow(Item(listId));
        const std::wstring verb = command == 1 ? L"edit" : L"delete";
        if (row < 0 || row >= static_cast<int>(entries.size())) {
            const std::wstring article = what == L"action" ? L"an " : L"a ";
            Ask(L"Please select " + article + what + L" to " + verb + L".",
                PromptIcon::Information);
            return;
        }
        if (command == 1) {
            Entry edited = entries[static_cast<std::size_t>(row)];
            if (editor(Window(), false, edited)) {
                entries[static_cast<std::size_t>(row)] = std::move(edited);
            }
        } else if (Ask(L"Are you sure you want to delete this " + what + L"?", PromptIcon::Question,
                       PromptButtons::YesNo) == PromptAnswer::Yes) {
            entries.erase(entries.begin() + row);
        }
    }

    // "Send To Recipients" and "Send Silently" count as sending.
    bool HasAction(std::wstring_view type) const {
        return std::any_of(rule_.Actions.begin(), rule_.Actions.end(), [type](const RuleAction& a) {
            return a.Type == type || (type == kActionSend && (a.Type == kActionSendToRecipients ||
                                                              a.Type == kActionSendSilently));
        });
    }

    // The four checks in order, then the rule takes what the window shows.
    void Save() {
        const int folder = DropDownIndex(kFolderId);
        if (folder < 0) {
            Refuse(L"Please select a Folder.", kFolderId);
            return;
        }
        if (rule_.Conditions.empty()) {
            Refuse(L"Please add at least one condition.");
            return;
        }
        if (rule_.Actions.empty()) {
            Refuse(L"Please add at least one action.");
            return;
        }
        if (HasAction(kActionIgnore) && HasAction(kActionSend)) {
            Refuse(
                L"This rule contains both Ignore Email and Send Telegram Notification.\n\n"
                L"Please keep only one final delivery action.");
            return;
        }
        std::wstring name = TrimWhitespace(Text(kNameId));
        if (name.empty()) {
            name = NameFromCondition(rule_.Conditions.front());
            SetText(kNameId, name);
        }
        const std::wstring label = Text(kFolderId);
        for (const SelectedFolder& candidate : folders_) {
            if (FolderLabel(candidate.FolderPath) == label) {
                rule_.FolderPath = candidate.FolderPath;
                break;
            }
        }
        rule_.Name = name;
        rule_.Enabled = Checked(kEnabledId);
        rule_.ConditionLogic = std::wstring(Checked(kAnyId) ? kLogicAny : kLogicAll);
        Close(true);
    }

    NotificationRule& rule_;
    const std::vector<SelectedFolder>& folders_;
    const std::vector<RecipientEntry>& recipients_;
    HWND tooltip_ = nullptr;  // destroyed with the window it belongs to
    std::wstring folderTip_;
};

}  // namespace

bool ShowRuleEditor(HWND owner, bool adding, NotificationRule& rule,
                    const std::vector<SelectedFolder>& folders,
                    const std::vector<RecipientEntry>& recipients) {
    NotificationRule edited = rule;
    RuleEditor editor(owner, edited, folders, recipients);
    if (!editor.Run(kRuleEditorClass, adding ? L"Add Rule" : L"Edit Rule", 564, 756)) {
        return false;
    }
    rule = std::move(edited);
    return true;
}

std::wstring FolderLabel(const std::wstring& path) {
    std::wstring label = path.substr(std::min(path.find_first_not_of(L'\\'), path.size()));
    std::replace(label.begin(), label.end(), L'\\', L'/');
    return label;
}

}  // namespace wrenpost
