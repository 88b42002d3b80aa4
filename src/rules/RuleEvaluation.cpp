// Rule evaluation: folder selection, condition tests and the actions of matched rules.
#include "rules/RuleEvaluation.h"

#include <algorithm>

namespace wrenpost {
namespace {

struct CaseFoldEqual {
    bool operator()(wchar_t a, wchar_t b) const { return FoldRuleCase(a) == FoldRuleCase(b); }
};

bool SameText(std::wstring_view a, std::wstring_view b, bool caseSensitive) {
    if (a.size() != b.size()) {
        return false;
    }
    return caseSensitive ? a == b : std::equal(a.begin(), a.end(), b.begin(), CaseFoldEqual{});
}

bool ContainsText(std::wstring_view haystack, std::wstring_view needle, bool caseSensitive) {
    if (needle.size() > haystack.size()) {
        return false;
    }
    if (caseSensitive) {
        return haystack.find(needle) != std::wstring_view::npos;
    }
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end(),
                       CaseFoldEqual{}) != haystack.end();
}

std::wstring_view FieldValue(std::wstring_view field, const MailSnapshot& mail) {
    if (field == kFieldSubject) {
        return mail.Subject;
    }
    if (field == kFieldSender) {
        return mail.SenderName;
    }
    return {};
}

// The summary phrase of an operator, as it reads when the condition held or failed.
std::wstring_view Phrase(std::wstring_view op, bool held) {
    if (op == kOperatorContains) return held ? L"contains" : L"does not contain";
    if (op == kOperatorEquals) return held ? L"equals" : L"does not equal";
    if (op == kOperatorStartsWith) return held ? L"starts with" : L"does not start with";
    if (op == kOperatorEndsWith) return held ? L"ends with" : L"does not end with";
    if (op == kOperatorDoesNotContain) return held ? L"does not contain" : L"contains";
    return held ? L"matches" : L"does not match";
}

// Every condition is tested (no short-circuit), so the summary names all of them. The summary
// is only built when asked for: most rules of a busy folder do not match.
bool RunConditions(const NotificationRule& rule, const MailSnapshot& mail, std::wstring* summary) {
    if (rule.Conditions.empty()) {
        if (summary != nullptr) {
            *summary = kSummaryNoConditions;
        }
        return true;
    }
    const bool any = rule.ConditionLogic == kLogicAny;
    bool anyHeld = false;
    bool allHeld = true;
    for (const RuleCondition& condition : rule.Conditions) {
        const bool held = TestCondition(condition.Operator, FieldValue(condition.Field, mail),
                                        condition.Value, condition.CaseSensitive);
        anyHeld = anyHeld || held;
        allHeld = allHeld && held;
        if (summary != nullptr) {
            if (!summary->empty()) {
                summary->append(any ? L" OR " : L" AND ");
            }
            summary->append(condition.Field);
            summary->push_back(L' ');
            summary->append(Phrase(condition.Operator, held));
            summary->append(L" \"");
            summary->append(condition.Value);
            summary->push_back(L'"');
        }
    }
    return any ? anyHeld : allHeld;
}

void ApplyAction(const RuleAction& action, RuleDecision& decision) {
    if (action.Type == kActionSend) {
        decision.ShouldSend = true;
        decision.FinalAction = action.Type;
    } else if (action.Type == kActionOverrideTitle) {
        if (!action.Value.empty()) {
            decision.TitleOverride = action.Value;
        }
    } else if (action.Type == kActionIgnore) {
        decision.ShouldSend = false;
        decision.FinalAction = action.Type;
    } else if (action.Type == kActionStop) {
        decision.ContinueProcessing = false;
    } else if (action.Type == kActionContinue) {
        decision.ContinueProcessing = true;
    }
}

}  // namespace

wchar_t FoldRuleCase(wchar_t c) {
    const auto u = static_cast<std::uint32_t>(c);
    if ((u >= 0x41 && u <= 0x5A) || (u >= 0xC0 && u <= 0xDE && u != 0xD7) ||
        (u >= 0x391 && u <= 0x3A9 && u != 0x3A2) || (u >= 0x410 && u <= 0x42F)) {
        return static_cast<wchar_t>(u + 0x20);
    }
    if (u >= 0x400 && u <= 0x40F) {
        return static_cast<wchar_t>(u + 0x50);
    }
    return c;
}

bool TestCondition(std::wstring_view op, std::wstring_view fieldValue,
                   std::wstring_view conditionValue, bool caseSensitive) {
    if (op == kOperatorContains) {
        return conditionValue.empty() || ContainsText(fieldValue, conditionValue, caseSensitive);
    }
    if (op == kOperatorEquals) {
        return SameText(fieldValue, conditionValue, caseSensitive);
    }
    if (op == kOperatorStartsWith) {
        return conditionValue.size() <= fieldValue.size() &&
               SameText(fieldValue.substr(0, conditionValue.size()), conditionValue, caseSensitive);
    }
    if (op == kOperatorEndsWith) {
        return conditionValue.size() <= fieldValue.size() &&
               SameText(fieldValue.substr(fieldValue.size() - conditionValue.size()),
                        conditionValue, caseSensitive);
    }
    if (op == kOperatorDoesNotContain) {
        return !conditionValue.empty() && !ContainsText(fieldValue, conditionValue, caseSensitive);
    }
    return false;
}

std::vector<NotificationRule> PrepareMonitorRules(const RulesFile& file) {
    std::vector<NotificationRule> rules;
    if (!file.Enabled) {
        return rules;
    }
    rules = file.Rules;
    for (NotificationRule& rule : rules) {
        if (rule.ConditionLogic.empty()) {
            rule.ConditionLogic = kLogicAll;
        }
    }
    return rules;
}

ConditionsOutcome EvaluateConditions(const NotificationRule& rule, const MailSnapshot& mail) {
    ConditionsOutcome outcome;
    outcome.Held = RunConditions(rule, mail, &outcome.Summary);
    return outcome;
}

RuleDecision EvaluateRules(const std::vector<NotificationRule>& rules, const MailSnapshot& mail) {
    RuleDecision decision;
    if (rules.empty()) {
        decision.Reason = kReasonNoRules;
        return decision;
    }
    const auto applies = [&mail](const NotificationRule& rule) {
        return !rule.FolderPath.empty() && rule.FolderPath == mail.FolderPath;
    };
    const bool anyEnabled = std::any_of(rules.begin(), rules.end(), [&](const NotificationRule& r) {
        return r.Enabled && applies(r);
    });
    if (!anyEnabled) {
        decision.Reason = kReasonNoRulesForFolder;
        return decision;
    }
    decision.ShouldSend = false;
    bool matched = false;
    for (const NotificationRule& rule : rules) {
        if (!rule.Enabled || !applies(rule) || !RunConditions(rule, mail, nullptr)) {
            continue;
        }
        matched = true;
        decision.MatchedRuleName = rule.Name;
        decision.Reason.clear();
        RunConditions(rule, mail, &decision.Reason);
        for (const RuleAction& action : rule.Actions) {
            ApplyAction(action, decision);
        }
        if (!decision.ContinueProcessing) {
            break;
        }
    }
    if (!matched) {
        decision.Reason = kReasonNoRuleMatched;
    }
    return decision;
}

}  // namespace wrenpost
