// "Add Action" / "Edit Action": the action type, the new title for a title override, and the
// recipients a "Send To Recipients" action names, ticked in a list of the profile's recipients.
#include <algorithm>

#include "common/Text.h"
#include "rules/RuleRouting.h"
#include "ui/rules/RuleDialog_win.h"
#include "ui/rules/RuleEditors_win.h"

namespace wrenpost {
namespace {

constexpr int kTypeId = 9711;
constexpr int kValueId = 9712;
constexpr int kRecipientsId = 9713;

constexpr DialogControl kControls[] = {
    {-1, L"STATIC", L"Action &Type:", SS_LEFT, 16, 16, 90, 20},
    {kTypeId, L"COMBOBOX", L"", kRuleDropDown, 110, 12, 260, 200},
    {-1, L"STATIC", L"&Value:", SS_LEFT, 16, 50, 90, 20},
    {kValueId, L"EDIT", L"", kRuleEdit, 110, 46, 260, 24},
    {-1, L"STATIC", L"&Recipients:", SS_LEFT, 16, 84, 90, 20},
    {kRecipientsId, WC_LISTVIEWW, L"", kRuleList | LVS_NOCOLUMNHEADER, 110, 80, 260, 124},
    {IDOK, L"BUTTON", L"Save", kRuleDefaultButton, 180, 220, 90, 30},
    {IDCANCEL, L"BUTTON", L"Cancel", kRuleButton, 280, 220, 90, 30},
};
constexpr ListColumn kRecipientColumns[] = {{L"Recipient", 236}};

// One row of the recipients list and the chat id it stands for.
struct RecipientChoice {
    std::wstring ChatId;
    std::wstring Label;
};

// The profile's recipients in its order, then any chat id the action names that is none of them
// (a recipient removed since), so saving never drops an id the user did not untick.
std::vector<RecipientChoice> Choices(const std::vector<RecipientEntry>& recipients,
                                     const std::vector<std::wstring>& named) {
    std::vector<RecipientChoice> choices;
    for (const RecipientEntry& r : recipients) {
        std::wstring label =
            r.DisplayName.empty() ? r.ChatId : r.DisplayName + L" (" + r.ChatId + L")";
        choices.push_back({r.ChatId, r.Allowed ? label : label + L" \u2013 not allowed"});
    }
    for (const std::wstring& id : named) {
        const bool known = std::any_of(recipients.begin(), recipients.end(),
                                       [&](const RecipientEntry& r) { return r.ChatId == id; });
        if (!known) {
            choices.push_back({id, id + L" \u2013 not a recipient"});
        }
    }
    return choices;
}

class ActionEditor : public RuleDialog<ActionEditor> {
public:
    ActionEditor(HWND owner, RuleAction& action, const std::vector<RecipientEntry>& recipients)
        : RuleDialog(owner), action_(action), recipients_(recipients) {}

    bool OnCreate() {
        if (!MakeControls(kControls)) {
            return false;
        }
        FillDropDown(Item(kTypeId), kRuleActionTypes);
        int type = IndexOfName(kRuleActionTypes, action_.Type);
        if (type < 0 && !action_.Type.empty()) {
            // A newer version's type: offered as it is, so Save keeps it unless another is picked.
            type = static_cast<int>(SendMessageW(Item(kTypeId), CB_ADDSTRING, 0,
                                                 reinterpret_cast<LPARAM>(action_.Type.c_str())));
        }
        SelectDropDown(kTypeId, type);
        if (!Is(kActionSendToRecipients)) {
            SetText(kValueId, action_.Value);
        }
        FillRecipients();
        ShowValueState();
        return true;
    }

    void OnCommand(int id, int notification) {
        if (id == kTypeId && notification == CBN_SELCHANGE) {
            ShowValueState();
        } else if (id == IDOK && Validate()) {
            if (DropDownIndex(kTypeId) >= static_cast<int>(std::size(kRuleActionTypes))) {
                Close(true);  // the unknown type and its value stay as read
                return;
            }
            action_.Type = kRuleActionTypes[DropDownIndex(kTypeId)];
            action_.Value = Is(kActionOverrideTitle)      ? TrimWhitespace(Text(kValueId))
                            : Is(kActionSendToRecipients) ? JoinChatIds(Ticked())
                                                          : std::wstring();
            Close(true);
        }
    }

private:
    bool Is(std::wstring_view type) const {
        return DropDownIndex(kTypeId) == IndexOfName(kRuleActionTypes, type);
    }

    void FillRecipients() {
        HWND list = Item(kRecipientsId);
        AddListColumns(list, kRecipientColumns, dpi_);
        SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES | LVS_EX_GRIDLINES,
                     LVS_EX_CHECKBOXES);
        const std::vector<std::wstring> named = action_.Type == kActionSendToRecipients
                                                    ? SplitChatIds(action_.Value)
                                                    : std::vector<std::wstring>{};
        choices_ = Choices(recipients_, named);
        std::vector<std::vector<std::wstring>> rows;
        for (const RecipientChoice& choice : choices_) {
            rows.push_back({choice.Label});
        }
        SetListRows(list, rows);
        for (std::size_t row = 0; row < choices_.size(); ++row) {
            const bool ticked =
                std::find(named.begin(), named.end(), choices_[row].ChatId) != named.end();
            LVITEMW item{};
            item.stateMask = LVIS_STATEIMAGEMASK;
            item.state = INDEXTOSTATEIMAGEMASK(ticked ? 2 : 1);
            SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
        }
    }

    std::vector<std::wstring> Ticked() const {
        std::vector<std::wstring> ids;
        for (std::size_t row = 0; row < choices_.size(); ++row) {
            const auto state =
                SendMessageW(Item(kRecipientsId), LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK);
            if ((static_cast<UINT>(state) >> 12) == 2) {
                ids.push_back(choices_[row].ChatId);
            }
        }
        return ids;
    }

    // The title edit serves the title override only, the list "Send To Recipients" only.
    void ShowValueState() {
        const bool takesTitle = Is(kActionOverrideTitle);
        if (!takesTitle) {
            SetText(kValueId, L"");
        }
        EnableWindow(Item(kValueId), takesTitle ? TRUE : FALSE);
        EnableWindow(Item(kRecipientsId), Is(kActionSendToRecipients) ? TRUE : FALSE);
    }

    bool Validate() {
        if (DropDownIndex(kTypeId) < 0) {
            return Refuse(L"Please select an Action Type.", kTypeId);
        }
        if (Is(kActionOverrideTitle) && TrimWhitespace(Text(kValueId)).empty()) {
            return Refuse(L"Value must not be empty.", kValueId);
        }
        if (Is(kActionSendToRecipients) && Ticked().empty()) {
            return Refuse(choices_.empty() ? L"This profile has no recipients yet. Add one with "
                                             L"Manage Recipients first."
                                           : L"Please tick at least one recipient.",
                          kRecipientsId);
        }
        return true;
    }

    RuleAction& action_;
    const std::vector<RecipientEntry>& recipients_;
    std::vector<RecipientChoice> choices_;  // the list's rows, in order
};

}  // namespace

bool ShowActionEditor(HWND owner, bool adding, RuleAction& action,
                      const std::vector<RecipientEntry>& recipients) {
    RuleAction edited = action;
    ActionEditor editor(owner, edited, recipients);
    if (!editor.Run(kActionEditorClass, adding ? L"Add Action" : L"Edit Action", 390, 266)) {
        return false;
    }
    action = std::move(edited);
    return true;
}

}  // namespace wrenpost
