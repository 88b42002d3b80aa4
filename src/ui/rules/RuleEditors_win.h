// The rule editor and its condition and action editors: modal windows that edit a copy and hand
// it back only when saved.
#pragma once

#include <windows.h>

#include <vector>

#include "profile/ProfileConfig.h"
#include "rules/RuleModel.h"

namespace wrenpost {

inline constexpr wchar_t kRuleEditorClass[] = L"WrenpostRuleEditorDialog";
inline constexpr wchar_t kConditionEditorClass[] = L"WrenpostConditionEditorDialog";
inline constexpr wchar_t kActionEditorClass[] = L"WrenpostActionEditorDialog";

// Each returns true, with its argument replaced, when the user saved.
bool ShowRuleEditor(HWND owner, bool adding, NotificationRule& rule,
                    const std::vector<SelectedFolder>& folders);
bool ShowConditionEditor(HWND owner, bool adding, RuleCondition& condition);
bool ShowActionEditor(HWND owner, bool adding, RuleAction& action);

}  // namespace wrenpost
