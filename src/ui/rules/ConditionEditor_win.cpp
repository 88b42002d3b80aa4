// "Add Condition" / "Edit Condition": field, value, operator and case sensitivity of one
// condition.
#include "common/Text.h"
#include "ui/rules/RuleDialog_win.h"
#include "ui/rules/RuleEditors_win.h"

namespace wrenpost {
namespace {

constexpr int kFieldId = 9701;
constexpr int kValueId = 9702;
constexpr int kOperatorId = 9703;
constexpr int kCaseId = 9704;

constexpr DialogControl kControls[] = {
    {-1, L"STATIC", L"&Field:", SS_LEFT, 16, 16, 90, 20},
    {kFieldId, L"COMBOBOX", L"", kRuleDropDown, 110, 12, 250, 200},
    {-1, L"STATIC", L"&Value:", SS_LEFT, 16, 50, 90, 20},
    {kValueId, L"EDIT", L"", kRuleEdit, 110, 46, 250, 24},
    {-1, L"STATIC", L"&Operator:", SS_LEFT, 16, 84, 90, 20},
    {kOperatorId, L"COMBOBOX", L"", kRuleDropDown, 110, 80, 250, 200},
    {kCaseId, L"BUTTON", L"Case-Sensitive", kRuleCheck, 110, 114, 200, 22},
    {IDOK, L"BUTTON", L"Save", kRuleDefaultButton, 170, 160, 90, 30},
    {IDCANCEL, L"BUTTON", L"Cancel", kRuleButton, 270, 160, 90, 30},
};

class ConditionEditor : public RuleDialog<ConditionEditor> {
public:
    ConditionEditor(HWND owner, RuleCondition& condition)
        : RuleDialog(owner), condition_(condition) {}

    bool OnCreate() {
        if (!MakeControls(kControls)) {
            return false;
        }
        FillDropDown(Item(kFieldId), kRuleFields);
        FillDropDown(Item(kOperatorId), kRuleOperators);
        SelectDropDown(kFieldId, IndexOfName(kRuleFields, condition_.Field));
        SelectDropDown(kOperatorId, IndexOfName(kRuleOperators, condition_.Operator));
        SetText(kValueId, condition_.Value);
        Check(kCaseId, condition_.CaseSensitive);
        return true;
    }

    void OnCommand(int id, int) {
        if (id == IDOK && Validate()) {
            condition_.Field = kRuleFields[DropDownIndex(kFieldId)];
            condition_.Operator = kRuleOperators[DropDownIndex(kOperatorId)];
            condition_.Value = TrimWhitespace(Text(kValueId));
            condition_.CaseSensitive = Checked(kCaseId);
            Close(true);
        }
    }

private:
    bool Validate() {
        if (DropDownIndex(kFieldId) < 0) {
            return Refuse(L"Please select a Field.", kFieldId);
        }
        if (DropDownIndex(kOperatorId) < 0) {
            return Refuse(L"Please select an Operator.", kOperatorId);
        }
        if (TrimWhitespace(Text(kValueId)).empty()) {
            return Refuse(L"Value must not be empty.", kValueId);
        }
        return true;
    }

    RuleCondition& condition_;
};

}  // namespace

bool ShowConditionEditor(HWND owner, bool adding, RuleCondition& condition) {
    RuleCondition edited = condition;
    ConditionEditor editor(owner, edited);
    if (!editor.Run(kConditionEditorClass, adding ? L"Add Condition" : L"Edit Condition", 380,
                    206)) {
        return false;
    }
    condition = std::move(edited);
    return true;
}

}  // namespace wrenpost
