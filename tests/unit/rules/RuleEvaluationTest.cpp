// Rule evaluation: which messages are sent, under which title, and the reasons given.
#include <gtest/gtest.h>

#include "rules/RuleEvaluation.h"

namespace wrenpost {
namespace {

const std::wstring kInbox = L"\\\\Mailbox\\Inbox";

MailSnapshot Mail(std::wstring subject, std::wstring sender = L"Alice",
                  std::wstring folder = kInbox) {
    MailSnapshot mail;
    mail.FolderPath = std::move(folder);
    mail.Subject = std::move(subject);
    mail.SenderName = std::move(sender);
    return mail;
}

RuleCondition Condition(std::wstring field, std::wstring op, std::wstring value,
                        bool caseSensitive = false) {
    return {std::move(field), std::move(op), std::move(value), caseSensitive};
}

RuleAction Action(std::wstring_view type, std::wstring value = L"") {
    return {std::wstring(type), std::move(value)};
}

NotificationRule Rule(std::wstring name, std::vector<RuleCondition> conditions,
                      std::vector<RuleAction> actions, std::wstring folder = kInbox) {
    NotificationRule rule;
    rule.Name = std::move(name);
    rule.FolderPath = std::move(folder);
    rule.Conditions = std::move(conditions);
    rule.Actions = std::move(actions);
    return rule;
}

NotificationRule SendIfSubjectContains(std::wstring name, std::wstring value) {
    return Rule(std::move(name), {Condition(L"Subject", L"Contains", std::move(value))},
                {Action(kActionSend)});
}

TEST(RuleSelection, MasterSwitchOffSendsEverythingEvenWithRules) {
    RulesFile file;
    file.Enabled = false;
    file.Rules = {Rule(L"ignore all", {}, {Action(kActionIgnore)})};
    const auto rules = PrepareMonitorRules(file);
    EXPECT_TRUE(rules.empty());
    const RuleDecision decision = EvaluateRules(rules, Mail(L"hello"));
    EXPECT_TRUE(decision.ShouldSend);
    EXPECT_EQ(decision.Reason, L"No rules configured");
    EXPECT_EQ(decision.MatchedRuleName, L"");
}

TEST(RuleSelection, PreparedListKeepsFileOrderAndReadsEmptyLogicAsAll) {
    RulesFile file;
    file.Enabled = true;
    NotificationRule second = Rule(L"b", {}, {});
    second.Order = 1;
    second.ConditionLogic = L"";
    NotificationRule first = Rule(L"a", {}, {});
    first.Order = 2;
    first.ConditionLogic = L"Any";
    file.Rules = {second, first};
    const auto rules = PrepareMonitorRules(file);
    ASSERT_EQ(rules.size(), 2u);
    EXPECT_EQ(rules[0].Name, L"b");
    EXPECT_EQ(rules[0].ConditionLogic, L"All");
    EXPECT_EQ(rules[1].ConditionLogic, L"Any");
}

TEST(RuleSelection, RulesOnlyForAnotherFolderSend) {
    const std::vector<NotificationRule> rules = {
        Rule(L"other", {}, {Action(kActionIgnore)}, L"\\\\Mailbox\\Other")};
    const RuleDecision decision = EvaluateRules(rules, Mail(L"x"));
    EXPECT_TRUE(decision.ShouldSend);
    EXPECT_EQ(decision.Reason, L"No rules configured for this folder");
}

TEST(RuleSelection, AllRulesOfTheFolderDisabledSend) {
    NotificationRule rule = Rule(L"off", {}, {Action(kActionIgnore)});
    rule.Enabled = false;
    const RuleDecision decision = EvaluateRules({rule, rule}, Mail(L"x"));
    EXPECT_TRUE(decision.ShouldSend);
    EXPECT_EQ(decision.Reason, L"No rules configured for this folder");
}

TEST(RuleSelection, FolderPathMustMatchExactlyIncludingCase) {
    const std::vector<NotificationRule> rules = {Rule(L"r", {}, {Action(kActionIgnore)})};
    EXPECT_EQ(EvaluateRules(rules, Mail(L"x", L"a", L"\\\\mailbox\\inbox")).Reason,
              L"No rules configured for this folder");
    EXPECT_EQ(EvaluateRules(rules, Mail(L"x", L"a", kInbox + L"\\Sub")).Reason,
              L"No rules configured for this folder");
    EXPECT_FALSE(EvaluateRules(rules, Mail(L"x")).ShouldSend);
}

TEST(RuleSelection, RuleWithoutFolderAppliesNowhere) {
    const std::vector<NotificationRule> rules = {Rule(L"r", {}, {Action(kActionIgnore)}, L"")};
    const RuleDecision decision = EvaluateRules(rules, Mail(L"x", L"a", L""));
    EXPECT_TRUE(decision.ShouldSend);
    EXPECT_EQ(decision.Reason, L"No rules configured for this folder");
}

TEST(RuleSelection, NoMatchingRuleMeansNotSent) {
    const RuleDecision decision =
        EvaluateRules({SendIfSubjectContains(L"invoices", L"invoice")}, Mail(L"holiday photos"));
    EXPECT_FALSE(decision.ShouldSend);
    EXPECT_EQ(decision.Reason, L"No rule matched for this folder");
    EXPECT_EQ(decision.MatchedRuleName, L"");
    EXPECT_EQ(decision.FinalAction, L"");
}

TEST(RuleSelection, RuleWithoutConditionsMatchesEveryMessageOfItsFolder) {
    const RuleDecision decision = EvaluateRules({Rule(L"all", {}, {Action(kActionSend)})}, Mail(L""));
    EXPECT_TRUE(decision.ShouldSend);
    EXPECT_EQ(decision.Reason, L"No conditions defined");
    EXPECT_EQ(decision.MatchedRuleName, L"all");
    EXPECT_EQ(decision.FinalAction, L"Send Telegram Notification");
}

TEST(RuleSelection, MatchedRuleWithEmptyNameStillCountsAsMatched) {
    const RuleDecision decision = EvaluateRules({Rule(L"", {}, {Action(kActionSend)})}, Mail(L"x"));
    EXPECT_TRUE(decision.ShouldSend);
    EXPECT_EQ(decision.Reason, L"No conditions defined");
}

TEST(Operators, EmptyValues) {
    EXPECT_TRUE(TestCondition(L"Contains", L"anything", L"", true));
    EXPECT_TRUE(TestCondition(L"Contains", L"", L"", false));
    EXPECT_FALSE(TestCondition(L"Does Not Contain", L"anything", L"", false));
    EXPECT_FALSE(TestCondition(L"Does Not Contain", L"", L"", true));
    EXPECT_TRUE(TestCondition(L"Starts With", L"abc", L"", true));
    EXPECT_TRUE(TestCondition(L"Ends With", L"", L"", true));
    EXPECT_TRUE(TestCondition(L"Equals", L"", L"", true));
    EXPECT_FALSE(TestCondition(L"Equals", L"a", L"", true));
}

TEST(Operators, ValueLongerThanField) {
    EXPECT_FALSE(TestCondition(L"Starts With", L"ab", L"abc", true));
    EXPECT_FALSE(TestCondition(L"Ends With", L"bc", L"abc", true));
    EXPECT_FALSE(TestCondition(L"Contains", L"ab", L"abc", true));
    EXPECT_TRUE(TestCondition(L"Does Not Contain", L"ab", L"abc", true));
}

TEST(Operators, PositionsOfStartsEndsAndContains) {
    EXPECT_TRUE(TestCondition(L"Starts With", L"RE: hello", L"RE:", true));
    EXPECT_FALSE(TestCondition(L"Starts With", L"FW: RE: hello", L"RE:", true));
    EXPECT_TRUE(TestCondition(L"Ends With", L"report.pdf", L".pdf", true));
    EXPECT_FALSE(TestCondition(L"Ends With", L"report.pdf.exe", L".pdf", true));
    EXPECT_TRUE(TestCondition(L"Contains", L"your invoice #3", L"invoice", true));
    EXPECT_TRUE(TestCondition(L"Contains", L"aaab", L"aab", true));
    EXPECT_FALSE(TestCondition(L"Does Not Contain", L"your invoice #3", L"invoice", true));
    EXPECT_TRUE(TestCondition(L"Does Not Contain", L"your bill", L"invoice", true));
}

TEST(Operators, CaseSensitivity) {
    EXPECT_TRUE(TestCondition(L"Equals", L"invoice", L"INVOICE", false));
    EXPECT_FALSE(TestCondition(L"Equals", L"invoice", L"INVOICE", true));
    EXPECT_TRUE(TestCondition(L"Contains", L"Your INVOICE", L"invoice", false));
    EXPECT_FALSE(TestCondition(L"Contains", L"Your INVOICE", L"invoice", true));
    EXPECT_TRUE(TestCondition(L"Starts With", L"Re: x", L"RE:", false));
    EXPECT_TRUE(TestCondition(L"Ends With", L"A.PDF", L".pdf", false));
    EXPECT_FALSE(TestCondition(L"Does Not Contain", L"URGENT", L"urgent", false));
    EXPECT_TRUE(TestCondition(L"Does Not Contain", L"URGENT", L"urgent", true));
    // Beyond A-Z: Latin-1, Greek and Cyrillic capitals fold too, the same on every platform.
    EXPECT_TRUE(TestCondition(L"Equals", L"\u00c4rger \u0394\u0416\u0401", L"\u00e4rger \u03b4\u0436\u0451", false));
    EXPECT_FALSE(TestCondition(L"Equals", L"\u00d7", L"\u00f7", false));
}

TEST(Operators, OperatorNamesAreExactAndUnknownOnesNeverHold) {
    EXPECT_FALSE(TestCondition(L"contains", L"abc", L"a", false));
    EXPECT_FALSE(TestCondition(L"Matches", L"abc", L"", false));
    EXPECT_FALSE(TestCondition(L"", L"", L"", false));
    EXPECT_FALSE(TestCondition(L"StartsWith", L"abc", L"a", false));
}

TEST(Conditions, SummaryPhrasesForHeldAndFailed) {
    NotificationRule rule = Rule(L"r",
                                 {Condition(L"Subject", L"Contains", L"invoice"),
                                  Condition(L"Sender", L"Equals", L"Bob"),
                                  Condition(L"Subject", L"Starts With", L"RE:"),
                                  Condition(L"Subject", L"Ends With", L"!"),
                                  Condition(L"Sender", L"Does Not Contain", L"spam"),
                                  Condition(L"Subject", L"Like", L"x")},
                                 {});
    ConditionsOutcome outcome = EvaluateConditions(rule, Mail(L"RE: invoice!", L"Bob"));
    EXPECT_FALSE(outcome.Held);  // the unknown operator fails
    EXPECT_EQ(outcome.Summary,
              L"Subject contains \"invoice\" AND Sender equals \"Bob\" AND Subject starts with "
              L"\"RE:\" AND Subject ends with \"!\" AND Sender does not contain \"spam\" AND "
              L"Subject does not match \"x\"");
    outcome = EvaluateConditions(rule, Mail(L"hello", L"spammer"));
    EXPECT_EQ(outcome.Summary,
              L"Subject does not contain \"invoice\" AND Sender does not equal \"Bob\" AND "
              L"Subject does not start with \"RE:\" AND Subject does not end with \"!\" AND "
              L"Sender contains \"spam\" AND Subject does not match \"x\"");
    rule.Conditions = {Condition(L"Subject", L"Bogus", L"")};
    rule.Conditions[0].Operator = L"Bogus";
    EXPECT_EQ(EvaluateConditions(rule, Mail(L"")).Summary, L"Subject does not match \"\"");
}

TEST(Conditions, AnyLogicJoinsWithOrAndNeedsOne) {
    NotificationRule rule = Rule(L"r",
                                 {Condition(L"Subject", L"Contains", L"a"),
                                  Condition(L"Subject", L"Contains", L"b")},
                                 {});
    rule.ConditionLogic = L"Any";
    ConditionsOutcome outcome = EvaluateConditions(rule, Mail(L"b only"));
    EXPECT_TRUE(outcome.Held);
    EXPECT_EQ(outcome.Summary, L"Subject does not contain \"a\" OR Subject contains \"b\"");
    EXPECT_FALSE(EvaluateConditions(rule, Mail(L"none")).Held);
}

TEST(Conditions, AnyOtherLogicIsAll) {
    NotificationRule rule = Rule(L"r",
                                 {Condition(L"Subject", L"Contains", L"a"),
                                  Condition(L"Subject", L"Contains", L"b")},
                                 {});
    for (const wchar_t* logic : {L"any", L"ANY", L"", L"Or", L"All"}) {
        rule.ConditionLogic = logic;
        const ConditionsOutcome outcome = EvaluateConditions(rule, Mail(L"b only"));
        EXPECT_FALSE(outcome.Held) << logic;
        EXPECT_NE(outcome.Summary.find(L" AND "), std::wstring::npos) << logic;
        EXPECT_TRUE(EvaluateConditions(rule, Mail(L"a and b")).Held) << logic;
    }
}

TEST(Conditions, UnknownFieldComparesWithEmptyText) {
    NotificationRule rule = Rule(L"r", {Condition(L"Body", L"Equals", L"")}, {Action(kActionSend)});
    const RuleDecision decision = EvaluateRules({rule}, Mail(L"subject", L"sender"));
    EXPECT_TRUE(decision.ShouldSend);
    EXPECT_EQ(decision.Reason, L"Body equals \"\"");
    rule.Conditions = {Condition(L"subject", L"Contains", L"s")};  // field names are exact too
    EXPECT_FALSE(EvaluateConditions(rule, Mail(L"subject")).Held);
}

TEST(Conditions, SenderIsTheDisplayName) {
    const NotificationRule rule =
        Rule(L"r", {Condition(L"Sender", L"Equals", L"alice smith")}, {Action(kActionSend)});
    EXPECT_TRUE(EvaluateRules({rule}, Mail(L"x", L"Alice Smith")).ShouldSend);
    EXPECT_FALSE(EvaluateRules({rule}, Mail(L"Alice Smith", L"Bob")).ShouldSend);
}

TEST(Actions, IgnoreThenSendBothMatchingSends) {
    const std::vector<NotificationRule> rules = {
        Rule(L"first", {}, {Action(kActionIgnore)}),
        Rule(L"second", {}, {Action(kActionSend)})};
    const RuleDecision decision = EvaluateRules(rules, Mail(L"x"));
    EXPECT_TRUE(decision.ShouldSend);
    EXPECT_EQ(decision.FinalAction, L"Send Telegram Notification");
    EXPECT_EQ(decision.MatchedRuleName, L"second");
}

TEST(Actions, StopProcessingEndsTheWalk) {
    const std::vector<NotificationRule> rules = {
        Rule(L"first", {Condition(L"Subject", L"Contains", L"x")},
             {Action(kActionIgnore), Action(kActionStop)}),
        Rule(L"second", {}, {Action(kActionSend), Action(kActionOverrideTitle, L"T")})};
    const RuleDecision decision = EvaluateRules(rules, Mail(L"x"));
    EXPECT_FALSE(decision.ShouldSend);
    EXPECT_EQ(decision.FinalAction, L"Ignore Email");
    EXPECT_EQ(decision.MatchedRuleName, L"first");
    EXPECT_EQ(decision.Reason, L"Subject contains \"x\"");
    EXPECT_EQ(decision.TitleOverride, L"");
    EXPECT_FALSE(decision.ContinueProcessing);
}

TEST(Actions, StopOnARuleThatDoesNotMatchHasNoEffect) {
    const std::vector<NotificationRule> rules = {
        Rule(L"first", {Condition(L"Subject", L"Contains", L"zzz")}, {Action(kActionStop)}),
        Rule(L"second", {}, {Action(kActionSend)})};
    const RuleDecision decision = EvaluateRules(rules, Mail(L"x"));
    EXPECT_TRUE(decision.ShouldSend);
    EXPECT_EQ(decision.MatchedRuleName, L"second");
    EXPECT_TRUE(decision.ContinueProcessing);
}

TEST(Actions, ContinueAfterStopInTheSameRuleGoesOn) {
    const std::vector<NotificationRule> rules = {
        Rule(L"first", {}, {Action(kActionStop), Action(kActionIgnore), Action(kActionContinue)}),
        Rule(L"second", {}, {Action(kActionSend)})};
    const RuleDecision decision = EvaluateRules(rules, Mail(L"x"));
    EXPECT_TRUE(decision.ShouldSend);
    EXPECT_EQ(decision.MatchedRuleName, L"second");
    EXPECT_TRUE(decision.ContinueProcessing);
}

TEST(Actions, StopDoesNotCutTheRulesOwnActionsShort) {
    const RuleDecision decision = EvaluateRules(
        {Rule(L"r", {}, {Action(kActionStop), Action(kActionSend), Action(kActionOverrideTitle, L"T")})},
        Mail(L"x"));
    EXPECT_TRUE(decision.ShouldSend);
    EXPECT_EQ(decision.TitleOverride, L"T");
    EXPECT_FALSE(decision.ContinueProcessing);
}

TEST(Actions, LaterTitleOverrideWinsAndEmptyOneKeepsTheEarlier) {
    std::vector<NotificationRule> rules = {
        Rule(L"a", {}, {Action(kActionSend), Action(kActionOverrideTitle, L"First")}),
        Rule(L"b", {}, {Action(kActionOverrideTitle, L"Second")})};
    EXPECT_EQ(EvaluateRules(rules, Mail(L"x")).TitleOverride, L"Second");
    rules[1].Actions = {Action(kActionOverrideTitle, L"")};
    const RuleDecision decision = EvaluateRules(rules, Mail(L"x"));
    EXPECT_EQ(decision.TitleOverride, L"First");
    EXPECT_EQ(decision.MatchedRuleName, L"b");
    EXPECT_TRUE(decision.ShouldSend);
}

TEST(Actions, TitleOverrideAloneDoesNotSend) {
    const RuleDecision decision =
        EvaluateRules({Rule(L"t", {}, {Action(kActionOverrideTitle, L"Boss")})}, Mail(L"x"));
    EXPECT_FALSE(decision.ShouldSend);
    EXPECT_EQ(decision.TitleOverride, L"Boss");
    EXPECT_EQ(decision.FinalAction, L"");
    EXPECT_EQ(decision.MatchedRuleName, L"t");
}

TEST(Actions, UnknownActionTypesAreSkipped) {
    const RuleDecision decision = EvaluateRules(
        {Rule(L"r", {}, {Action(L"Send telegram notification"), Action(L"Forward"), Action(L"")})},
        Mail(L"x"));
    EXPECT_FALSE(decision.ShouldSend);
    EXPECT_EQ(decision.FinalAction, L"");
    EXPECT_TRUE(decision.ContinueProcessing);
}

TEST(Actions, DisabledRuleIsSkippedAmongEnabledOnes) {
    NotificationRule off = Rule(L"off", {}, {Action(kActionSend)});
    off.Enabled = false;
    const RuleDecision decision =
        EvaluateRules({off, SendIfSubjectContains(L"on", L"zzz")}, Mail(L"x"));
    EXPECT_FALSE(decision.ShouldSend);
    EXPECT_EQ(decision.Reason, L"No rule matched for this folder");
}

TEST(Actions, EvaluationDoesNotCarryOverBetweenMessages) {
    const std::vector<NotificationRule> rules = {
        Rule(L"r", {Condition(L"Subject", L"Contains", L"boss")},
             {Action(kActionSend), Action(kActionOverrideTitle, L"Boss"), Action(kActionStop)})};
    EXPECT_EQ(EvaluateRules(rules, Mail(L"boss mail")).TitleOverride, L"Boss");
    const RuleDecision second = EvaluateRules(rules, Mail(L"other"));
    EXPECT_EQ(second, (RuleDecision{false, L"", L"", L"", L"No rule matched for this folder", true}));
}

}  // namespace
}  // namespace wrenpost
