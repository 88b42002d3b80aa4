// Rule evaluation: folder selection, condition tests and the actions of matched rules.
#include "rules/RuleEvaluation.h"

#include <algorithm>
#include <cstdint>

#include "rules/RuleRouting.h"

namespace wrenpost {
namespace {

std::wstring Folded(std::wstring_view text) {
    std::wstring folded(text);
    for (wchar_t& c : folded) {
        c = FoldRuleCase(c);
    }
    return folded;
}

// The operators on texts that are already folded when the condition ignores case.
bool Apply(std::wstring_view op, std::wstring_view field, std::wstring_view value) {
    if (op == kOperatorContains) {
        return value.empty() || field.find(value) != std::wstring_view::npos;
    }
    if (op == kOperatorEquals) {
        return field == value;
    }
    if (op == kOperatorStartsWith) {
        return value.size() <= field.size() && field.substr(0, value.size()) == value;
    }
    if (op == kOperatorEndsWith) {
        return value.size() <= field.size() && field.substr(field.size() - value.size()) == value;
    }
    if (op == kOperatorDoesNotContain) {
        return !value.empty() && field.find(value) == std::wstring_view::npos;
    }
    return false;
}

// The message's texts, folded at most once per evaluation however many rules test them.
class MessageTexts {
public:
    explicit MessageTexts(const MailSnapshot& mail) : mail_(mail) {}

    std::wstring_view Field(std::wstring_view field, bool caseSensitive) {
        if (field == kFieldSubject) {
            return caseSensitive ? std::wstring_view(mail_.Subject)
                                 : FoldOnce(mail_.Subject, subject_, subjectFolded_);
        }
        if (field == kFieldSender) {
            return caseSensitive ? std::wstring_view(mail_.SenderName)
                                 : FoldOnce(mail_.SenderName, sender_, senderFolded_);
        }
        return {};
    }

    bool Test(const RuleCondition& condition) {
        const std::wstring_view field = Field(condition.Field, condition.CaseSensitive);
        if (condition.CaseSensitive) {
            return Apply(condition.Operator, field, condition.Value);
        }
        value_.assign(condition.Value);
        for (wchar_t& c : value_) {
            c = FoldRuleCase(c);
        }
        return Apply(condition.Operator, field, value_);
    }

private:
    static std::wstring_view FoldOnce(const std::wstring& text, std::wstring& folded, bool& done) {
        if (!done) {
            folded = Folded(text);
            done = true;
        }
        return folded;
    }

    const MailSnapshot& mail_;
    std::wstring subject_;
    std::wstring sender_;
    std::wstring value_;  // reused scratch for a condition's folded value
    bool subjectFolded_ = false;
    bool senderFolded_ = false;
};

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
bool RunConditions(const NotificationRule& rule, MessageTexts& mail, std::wstring* summary) {
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
        const bool held = mail.Test(condition);
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

// The last delivery action decides whether the mail is sent; an "Ignore Email" also drops the
// routes and silence gathered before it, so a later send starts from nothing.
void ApplyAction(const RuleAction& action, const std::wstring& ruleName, RuleDecision& decision) {
    if (action.Type == kActionSend || action.Type == kActionSendToRecipients ||
        action.Type == kActionSendSilently) {
        decision.ShouldSend = true;
        decision.FinalAction = action.Type;
        if (action.Type == kActionSendToRecipients) {
            decision.Routes.push_back({ruleName, SplitChatIds(action.Value)});
        } else if (action.Type == kActionSendSilently) {
            decision.Silent = true;
        }
    } else if (action.Type == kActionOverrideTitle) {
        if (!action.Value.empty()) {
            decision.TitleOverride = action.Value;
        }
    } else if (action.Type == kActionIgnore) {
        decision.ShouldSend = false;
        decision.FinalAction = action.Type;
        decision.Routes.clear();
        decision.Silent = false;
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
    if (caseSensitive) {
        return Apply(op, fieldValue, conditionValue);
    }
    return Apply(op, Folded(fieldValue), Folded(conditionValue));
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
    MessageTexts texts(mail);
    outcome.Held = RunConditions(rule, texts, &outcome.Summary);
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
    MessageTexts texts(mail);
    bool matched = false;
    for (const NotificationRule& rule : rules) {
        if (!rule.Enabled || !applies(rule) || !RunConditions(rule, texts, nullptr)) {
            continue;
        }
        matched = true;
        decision.MatchedRuleName = rule.Name;
        decision.Reason.clear();
        RunConditions(rule, texts, &decision.Reason);
        for (const RuleAction& action : rule.Actions) {
            ApplyAction(action, rule.Name, decision);
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
