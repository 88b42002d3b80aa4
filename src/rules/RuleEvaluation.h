// Deciding, for one admitted message, whether a notification is sent and under which title.
// Stateless: every call starts from the initial RuleDecision.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "outlook/MailSnapshot.h"
#include "rules/RuleModel.h"

namespace wrenpost {

inline constexpr std::wstring_view kReasonNoRules = L"No rules configured";
inline constexpr std::wstring_view kReasonNoRulesForFolder = L"No rules configured for this folder";
inline constexpr std::wstring_view kReasonNoRuleMatched = L"No rule matched for this folder";
inline constexpr std::wstring_view kSummaryNoConditions = L"No conditions defined";

// The list the monitor evaluates for one cycle: empty when the master switch is off, otherwise
// the rules in file order with an empty ConditionLogic read as "All".
std::vector<NotificationRule> PrepareMonitorRules(const RulesFile& file);

// Reads the message's FolderPath, Subject and SenderName only.
RuleDecision EvaluateRules(const std::vector<NotificationRule>& rules, const MailSnapshot& mail);

struct ConditionsOutcome {
    bool Held = false;
    std::wstring Summary;  // e.g.  Subject contains "invoice" AND Sender does not equal "Bob"
};
ConditionsOutcome EvaluateConditions(const NotificationRule& rule, const MailSnapshot& mail);

// One operator applied to a field value; unknown operators never hold.
bool TestCondition(std::wstring_view op, std::wstring_view fieldValue,
                   std::wstring_view conditionValue, bool caseSensitive);

// The lower-case folding used when a condition is not case-sensitive: one code unit at a time,
// A-Z plus the Latin-1, Greek and Cyrillic capitals, the same on every platform.
wchar_t FoldRuleCase(wchar_t c);

}  // namespace wrenpost
