// Rules files the monitor tests share.
#pragma once

#include <string>

#include "rules/RuleModel.h"

namespace wrenpost::testing {

// An enabled rules file whose one rule, named `name`, ignores inbox mail with "spam" in the
// subject.
inline RulesFile IgnoringSpam(const std::wstring& name) {
    NotificationRule rule;
    rule.Id = rule.Name = name;
    rule.FolderPath = L"\\\\Mailbox\\Inbox";
    rule.Conditions = {{L"Subject", L"Contains", L"spam", false}};
    rule.Actions = {{std::wstring(kActionIgnore), L""}};
    return {1, true, {rule}};
}

}  // namespace wrenpost::testing
