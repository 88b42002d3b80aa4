// The rule block shared by Rules.json and rule packages: its writer and its reader. Packages
// carry no folder binding and no case flag, and do not accept the older one-condition layout.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "rules/RuleModel.h"

namespace wrenpost {

enum class RuleBlockKind { RulesFile, Package };

// Appends the "Rules" member (4-space indentation, no trailing comma) and its line end.
void AppendRulesMember(std::wstring& out, const std::vector<NotificationRule>& rules,
                       RuleBlockKind kind);

// Appends  <indent>"key": "escaped value"  without a line end.
void AppendStringMember(std::wstring& out, std::size_t indent, std::wstring_view key,
                        std::wstring_view value);

// Reads the rules of the "Rules" array found in `text`; false when a number is out of range.
[[nodiscard]] bool ReadRulesMember(std::wstring_view text, RuleBlockKind kind,
                                   std::vector<NotificationRule>& rules);

}  // namespace wrenpost
