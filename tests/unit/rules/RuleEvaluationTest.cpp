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

TEST(RuleSelection, FolderWithoutApplicableRulesSends) {
    NotificationRule ignore = Rule(L"r", {}, {Action(kActionIgnore)});
    NotificationRule off = ignore;
    off.Enabled = false;
    NotificationRule other = Rule(L"other", {}, {Action(kActionIgnore)}, L"\\\\Mailbox\\Other");
    NotificationRule noFolder = Rule(L"r", {}, {Action(kActionIgnore)}, L"");
    const struct {
        std::vector<NotificationRule> rules;
        std::wstring folder;
    } cases[] = {
        {{other}, kInbox},                           // rules only for another folder
        {{off, off}, kInbox},                        // every rule of the folder disabled
        {{ignore}, L"\\\\mailbox\\inbox"},             // folder path differs in case
        {{ignore}, kInbox + L"\\Sub"},               // a subfolder is another folder
        {{noFolder}, L""},                           // a rule without folder applies nowhere
    };
    for (const auto& c : cases) {
        const RuleDecision decision = EvaluateRules(c.rules, Mail(L"x", L"a", c.folder));
        EXPECT_TRUE(decision.ShouldSend) << c.folder;
        EXPECT_EQ(decision.Reason, L"No rules configured for this folder") << c.folder;
    }
    EXPECT_FALSE(EvaluateRules({ignore}, Mail(L"x")).ShouldSend);
}

TEST(RuleSelection, NoMatchingRuleMeansNotSent) {
    NotificationRule off = Rule(L"off", {}, {Action(kActionSend)});
    off.Enabled = false;  // skipped even though it would match
    const RuleDecision decision = EvaluateRules(
        {off, SendIfSubjectContains(L"invoices", L"invoice")}, Mail(L"holiday photos"));
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

TEST(Operators, Table) {
    const struct {
        const wchar_t* op;
        const wchar_t* field;
        const wchar_t* value;
        bool caseSensitive;
        bool holds;
    } cases[] = {
        // Empty values.
        {L"Contains", L"anything", L"", true, true},
        {L"Contains", L"", L"", false, true},
        {L"Does Not Contain", L"anything", L"", false, false},
        {L"Does Not Contain", L"", L"", true, false},
        {L"Starts With", L"abc", L"", true, true},
        {L"Ends With", L"", L"", true, true},
        {L"Equals", L"", L"", true, true},
        {L"Equals", L"a", L"", true, false},
        // Value longer than the field.
        {L"Starts With", L"ab", L"abc", true, false},
        {L"Ends With", L"bc", L"abc", true, false},
        {L"Contains", L"ab", L"abc", true, false},
        {L"Does Not Contain", L"ab", L"abc", true, true},
        // Positions.
        {L"Starts With", L"FW: RE: hello", L"RE:", true, false},
        {L"Ends With", L"report.pdf.exe", L".pdf", true, false},
        {L"Contains", L"aaab", L"aab", true, true},
        {L"Does Not Contain", L"your bill", L"invoice", true, true},
        // Case sensitivity.
        {L"Equals", L"invoice", L"INVOICE", false, true},
        {L"Equals", L"invoice", L"INVOICE", true, false},
        {L"Contains", L"Your INVOICE", L"invoice", false, true},
        {L"Contains", L"Your INVOICE", L"invoice", true, false},
        {L"Starts With", L"Re: x", L"RE:", false, true},
        {L"Ends With", L"A.PDF", L".pdf", false, true},
        {L"Does Not Contain", L"URGENT", L"urgent", false, false},
        {L"Does Not Contain", L"URGENT", L"urgent", true, true},
        // Beyond A-Z: Latin-1, Greek and Cyrillic capitals fold too, the same on every platform.
        {L"Equals", L"\u00c4rger \u0394\u0416\u0401", L"\u00e4rger \u03b4\u0436\u0451", false, true},
        {L"Equals", L"\u00d7", L"\u00f7", false, false},
        // Operator names are exact; unknown ones never hold.
        {L"contains", L"abc", L"a", false, false},
        {L"Matches", L"abc", L"", false, false},
        {L"", L"", L"", false, false},
        {L"StartsWith", L"abc", L"a", false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TestCondition(c.op, c.field, c.value, c.caseSensitive), c.holds)
            << c.op << " '" << c.field << "' '" << c.value << "' " << c.caseSensitive;
    }
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

TEST(Actions, StopOnlyEndsTheWalkAfterAMatchingRuleAndContinueUndoesIt) {
    const NotificationRule second = Rule(L"second", {}, {Action(kActionSend)});
    // Stop on a rule that does not match has no effect.
    RuleDecision decision = EvaluateRules(
        {Rule(L"first", {Condition(L"Subject", L"Contains", L"zzz")}, {Action(kActionStop)}), second},
        Mail(L"x"));
    EXPECT_EQ(decision.MatchedRuleName, L"second");
    EXPECT_TRUE(decision.ShouldSend);
    // Continue after Stop in the same rule goes on.
    decision = EvaluateRules(
        {Rule(L"first", {}, {Action(kActionStop), Action(kActionIgnore), Action(kActionContinue)}),
         second},
        Mail(L"x"));
    EXPECT_EQ(decision.MatchedRuleName, L"second");
    EXPECT_TRUE(decision.ShouldSend);
    EXPECT_TRUE(decision.ContinueProcessing);
    // Stop does not cut the rule's own later actions short.
    decision = EvaluateRules(
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

}  // namespace
}  // namespace wrenpost
