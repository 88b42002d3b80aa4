// Rule evaluation: which messages are sent, under which title, and the reasons given.
#include <gtest/gtest.h>

#include <tuple>

#include "rules/RuleEvaluation.h"

namespace wrenpost {
namespace {

const std::wstring kInbox = L"\\\\Mailbox\\Inbox";
const std::wstring kSend(kActionSend), kIgnore(kActionIgnore), kNoRules(kReasonNoRules),
    kNoFolderRules(kReasonNoRulesForFolder), kNoMatch(kReasonNoRuleMatched),
    kNoConditions(kSummaryNoConditions);

RuleAction Act(std::wstring_view type, std::wstring value = L"") {
    return {std::wstring(type), std::move(value)};
}

NotificationRule Rule(std::wstring name, std::vector<RuleCondition> conditions,
                      std::vector<RuleAction> actions, std::wstring folder = kInbox) {
    return {.Name = name, .FolderPath = folder, .Conditions = conditions, .Actions = actions};
}

MailSnapshot Mail(std::wstring folder, std::wstring subject) {
    MailSnapshot mail;
    mail.FolderPath = std::move(folder);
    mail.Subject = std::move(subject);
    mail.SenderName = L"Bob";
    return mail;
}

RuleCondition SubjectHas(std::wstring value) {
    return {L"Subject", L"Contains", std::move(value)};
}

// The message: subject "RE: invoice!" from Bob, in kInbox unless the case names another folder.
TEST(RuleDecisions, Table) {
    const RuleAction send = Act(kActionSend), ignore = Act(kActionIgnore), stop = Act(kActionStop);
    const auto title = [](std::wstring text) { return Act(kActionOverrideTitle, std::move(text)); };
    NotificationRule off = Rule(L"off", {}, {send});
    off.Enabled = false;
    // clang-format off
    NotificationRule any = Rule(L"any", {SubjectHas(L"x"), {L"Sender", L"Equals", L"Al"},
        {L"Subject", L"Starts With", L"FW:"}, {L"Subject", L"Ends With", L"?"},
        {L"Sender", L"Does Not Contain", L"o"}, {L"Subject", L"Like", L""},
        {L"Sender", L"Equals", L"bob"}}, {send});
    // clang-format on
    any.ConditionLogic = L"Any";
    NotificationRule notAny = any;  // only the exact word "Any" is Any
    notAny.ConditionLogic = L"any";
    const struct {
        std::vector<NotificationRule> rules;
        RuleDecision expected;  // ShouldSend, FinalAction, TitleOverride, MatchedRuleName, Reason
        std::wstring folder = kInbox;
    } cases[] = {
        // clang-format off
        {{}, {true, L"", L"", L"", kNoRules}},
        // Another folder, a path differing in case, a subfolder, no folder, disabled rules: none
        // applies to the message.
        {{Rule(L"a", {}, {ignore}, L"\\\\Mailbox\\Other"),
          Rule(L"b", {}, {ignore}, L"\\\\mailbox\\inbox"),
          Rule(L"c", {}, {ignore}, kInbox + L"\\Sub"), Rule(L"d", {}, {ignore}, L""), off, off},
         {true, L"", L"", L"", kNoFolderRules}},
        {{Rule(L"r", {}, {ignore}, L"")}, {true, L"", L"", L"", kNoFolderRules}, L""},
        // A disabled rule is skipped even though it would match.
        {{off, Rule(L"i", {SubjectHas(L"x")}, {send})}, {false, L"", L"", L"", kNoMatch}},
        {{Rule(L"all", {}, {send})}, {true, kSend, L"", L"all", kNoConditions}},
        // Every condition is named as it held or failed, joined by OR for Any, AND otherwise.
        {{any}, {true, kSend, L"", L"any",
          L"Subject does not contain \"x\" OR Sender does not equal \"Al\" OR Subject does not "
          L"start with \"FW:\" OR Subject does not end with \"?\" OR Sender contains \"o\" OR "
          L"Subject does not match \"\" OR Sender equals \"bob\""}},
        {{notAny}, {false, L"", L"", L"", kNoMatch}},
        // A matching rule without a name still gives its summary as the reason.
        {{Rule(L"", {SubjectHas(L"invoice"), {L"Subject", L"Starts With", L"re:"},
                     {L"Subject", L"Ends With", L"!"}, {L"Sender", L"Does Not Contain", L"x"}},
               {ignore})},
         {false, kIgnore, L"", L"", L"Subject contains \"invoice\" AND Subject starts with \"re:\" "
          L"AND Subject ends with \"!\" AND Sender does not contain \"x\""}},
        // An unknown field reads as empty text; field names are exact.
        {{Rule(L"b", {{L"Body", L"Equals", L""}}, {send})},
         {true, kSend, L"", L"b", L"Body equals \"\""}},
        {{Rule(L"b", {{L"subject", L"Contains", L"R"}}, {send})}, {false, L"", L"", L"", kNoMatch}},
        // Later rules override earlier ones.
        {{Rule(L"r", {}, {ignore}), Rule(L"second", {}, {send})},
         {true, kSend, L"", L"second", kNoConditions}},
        // Stop ends the walk after a matching rule, without cutting its own later actions.
        {{Rule(L"first", {SubjectHas(L"RE")}, {stop, ignore}),
          Rule(L"second", {}, {send, title(L"T")})},
         {false, kIgnore, L"", L"first", L"Subject contains \"RE\"", false}},
        // Stop on a rule that does not match does nothing; Continue after Stop undoes it.
        {{Rule(L"first", {SubjectHas(L"zzz")}, {stop}),
          Rule(L"second", {}, {stop, Act(kActionContinue), ignore}), Rule(L"third", {}, {send})},
         {true, kSend, L"", L"third", kNoConditions}},
        // A later title wins, an empty one keeps the earlier; a title alone does not send.
        {{Rule(L"a", {}, {title(L"First"), title(L"")}), Rule(L"b", {}, {title(L"")})},
         {false, L"", L"First", L"b", kNoConditions}},
        {{Rule(L"a", {}, {send, title(L"First")}), Rule(L"b", {}, {title(L"Second")})},
         {true, kSend, L"Second", L"b", kNoConditions}},
        // Action names are exact; unknown ones are skipped.
        {{Rule(L"u", {}, {Act(L"Send telegram notification"), Act(L"Forward"), Act(L"")})},
         {false, L"", L"", L"u", kNoConditions}},
        // clang-format on
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(EvaluateRules(cases[i].rules, Mail(cases[i].folder, L"RE: invoice!")),
                  cases[i].expected)
            << i;
    }
}

// The master switch empties the list; an empty logic reads as All.
TEST(RuleDecisions, PreparedListAndTheConditionsOutcomeOfOneRule) {
    RulesFile file{.Enabled = false, .Rules = {Rule(L"b", {}, {}), Rule(L"a", {}, {})}};
    EXPECT_TRUE(PrepareMonitorRules(file).empty());
    file.Enabled = true;
    file.Rules[0].ConditionLogic = L"";
    const auto rules = PrepareMonitorRules(file);
    EXPECT_EQ(rules.at(0).Name + rules[0].ConditionLogic + rules.at(1).Name, L"bAlla");
    const auto outcome =
        EvaluateConditions(Rule(L"r", {SubjectHas(L"X"), SubjectHas(L"y")}, {}), Mail(L"", L"x"));
    EXPECT_FALSE(outcome.Held);
    EXPECT_EQ(outcome.Summary, L"Subject contains \"X\" AND Subject does not contain \"y\"");
}

// Empty values, values longer than the field, positions, case; operator names are exact.
TEST(RuleOperators, Table) {
    const wchar_t *has = L"Contains", *hasNot = L"Does Not Contain", *starts = L"Starts With",
                  *ends = L"Ends With", *equals = L"Equals";
    const std::tuple<const wchar_t*, const wchar_t*, const wchar_t*, bool, bool> cases[] = {
        // clang-format off
        {has, L"x", L"", 1, 1}, {has, L"ab", L"abc", 1, 0}, {has, L"aaab", L"aab", 1, 1},
        {has, L"Your INVOICE", L"invoice", 0, 1}, {has, L"Your INVOICE", L"invoice", 1, 0},
        {hasNot, L"x", L"", 0, 0}, {hasNot, L"ab", L"abc", 1, 1},
        {hasNot, L"URGENT", L"urgent", 0, 0}, {hasNot, L"URGENT", L"urgent", 1, 1},
        {starts, L"x", L"", 1, 1}, {starts, L"ab", L"abc", 1, 0},
        {starts, L"FW: RE:", L"RE:", 1, 0}, {starts, L"Re: x", L"RE:", 0, 1},
        {ends, L"", L"", 1, 1}, {ends, L"bc", L"abc", 1, 0}, {ends, L"a.pdf.exe", L".pdf", 1, 0},
        {ends, L"A.PDF", L".pdf", 0, 1}, {equals, L"", L"", 1, 1}, {equals, L"a", L"", 1, 0},
        {equals, L"invoice", L"INVOICE", 0, 1}, {equals, L"invoice", L"INVOICE", 1, 0},
        {equals, L"\u00c4\u0394\u0401", L"\u00e4\u03b4\u0451", 0, 1},
        {L"contains", L"abc", L"a", 0, 0}, {L"", L"", L"", 0, 0},
        // clang-format on
    };
    for (const auto& [op, field, value, caseSensitive, holds] : cases) {
        EXPECT_EQ(TestCondition(op, field, value, caseSensitive), holds)
            << op << " '" << field << "' '" << value << "' " << caseSensitive;
    }
}

// Our own table, the same on every platform: A-Z, Latin-1 (not the sign), Greek, Cyrillic.
TEST(RuleCaseFolding, RangeEndsFoldAndTheirNeighboursStay) {
    const std::wstring from =
        L"AZ\u00c0\u00de\u0391\u03a9\u0410\u042f\u0400\u040f"
        L"@[\u00bf\u00d7\u00df\u0390\u03a2\u03aa\u03ff\u0430";
    const std::wstring to =
        L"az\u00e0\u00fe\u03b1\u03c9\u0430\u044f\u0450\u045f"
        L"@[\u00bf\u00d7\u00df\u0390\u03a2\u03aa\u03ff\u0430";
    for (std::size_t i = 0; i < from.size(); ++i) EXPECT_EQ(FoldRuleCase(from[i]), to[i]) << i;
}

}  // namespace
}  // namespace wrenpost
