// "Add Action" / "Edit Action": the action type, and the new title for a title override.
#include "common/Text.h"
#include "ui/rules/RuleDialog_win.h"
#include "ui/rules/RuleEditors_win.h"

namespace wrenpost {
namespace {

constexpr int kTypeId = 9711;
constexpr int kValueId = 9712;

constexpr DialogControl kControls[] = {
    {-1, L"STATIC", L"Action Type:", kRuleLabel, 16, 16, 90, 20},
    {kTypeId, L"COMBOBOX", L"", kRuleDropDown, 110, 12, 260, 200},
    {-1, L"STATIC", L"Value:", kRuleLabel, 16, 50, 90, 20},
    {kValueId, L"EDIT", L"", kRuleEdit, 110, 46, 260, 24},
    {IDOK, L"BUTTON", L"Save", kRuleDefaultButton, 180, 96, 90, 30},
    {IDCANCEL, L"BUTTON", L"Cancel", kRuleButton, 280, 96, 90, 30},
};

class ActionEditor : public RuleDialog<ActionEditor> {
public:
    ActionEditor(HWND owner, RuleAction& action) : RuleDialog(owner), action_(action) {}

    bool OnCreate() {
        if (!MakeControls(kControls)) {
            return false;
        }
        FillDropDown(Item(kTypeId), kRuleActionTypes);
        SelectDropDown(kTypeId, IndexOfName(kRuleActionTypes, action_.Type));
        SetText(kValueId, action_.Value);
        ShowValueState();
        return true;
    }

    void OnCommand(int id, int notification) {
        if (id == kTypeId && notification == CBN_SELCHANGE) {
            ShowValueState();
        } else if (id == IDOK && Validate()) {
            action_.Type = kRuleActionTypes[DropDownIndex(kTypeId)];
            action_.Value = TakesValue() ? TrimWhitespace(Text(kValueId)) : std::wstring();
            Close(true);
        }
    }

private:
    bool TakesValue() const {
        return DropDownIndex(kTypeId) == IndexOfName(kRuleActionTypes, kActionOverrideTitle);
    }

    // Only a title override has a value; any other type shows none.
    void ShowValueState() {
        const bool takesValue = TakesValue();
        if (!takesValue) {
            SetText(kValueId, L"");
        }
        EnableWindow(Item(kValueId), takesValue ? TRUE : FALSE);
    }

    bool Validate() {
        if (DropDownIndex(kTypeId) < 0) {
            return Refuse(L"Please select an Action Type.", kTypeId);
        }
        if (TakesValue() && TrimWhitespace(Text(kValueId)).empty()) {
            return Refuse(L"Value must not be empty.", kValueId);
        }
        return true;
    }

    RuleAction& action_;
};

}  // namespace

bool ShowActionEditor(HWND owner, bool adding, RuleAction& action) {
    RuleAction edited = action;
    ActionEditor editor(owner, edited);
    if (!editor.Run(kActionEditorClass, adding ? L"Add Action" : L"Edit Action", 390, 142)) {
        return false;
    }
    action = std::move(edited);
    return true;
}

}  // namespace wrenpost
