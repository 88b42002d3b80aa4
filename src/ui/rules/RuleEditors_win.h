// The rule editor and its condition and action editors: modal windows that edit a copy and hand
// it back only when saved.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "profile/ProfileConfig.h"
#include "rules/RuleModel.h"

namespace wrenpost {

inline constexpr wchar_t kRuleEditorClass[] = L"WrenpostRuleEditorDialog";
inline constexpr wchar_t kConditionEditorClass[] = L"WrenpostConditionEditorDialog";
inline constexpr wchar_t kActionEditorClass[] = L"WrenpostActionEditorDialog";
enum RuleEditorId : int {
    kRuleAddConditionId = 9727,
    kRuleAddActionId = 9731,
    kRuleEditActionId = 9732,
};

// Each returns true, with its argument replaced, when the user saved.
// `recipients` are the profile's: the action editor offers them to "Send To Recipients", the rule
// editor names them in its action list.
bool ShowRuleEditor(HWND owner, bool adding, NotificationRule& rule,
                    const std::vector<SelectedFolder>& folders,
                    const std::vector<RecipientEntry>& recipients = {});
bool ShowConditionEditor(HWND owner, bool adding, RuleCondition& condition);
bool ShowActionEditor(HWND owner, bool adding, RuleAction& action,
                      const std::vector<RecipientEntry>& recipients = {});

// A folder as the rules windows show it: `\\Mailbox - A\Inbox` reads `Mailbox - A/Inbox`.
std::wstring FolderLabel(const std::wstring& path);

}  // namespace wrenpost
