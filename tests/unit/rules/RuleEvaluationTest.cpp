// Rule evaluation: which messages are sent, under which title, and the reasons given.
#include <gtest/gtest.h>

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
    return {.Name = std::move(name),
            .FolderPath = std::move(folder),
            .Conditions = std::move(conditions),
            .Actions = std::move(actions)};
}

RuleCondition SubjectHas(std::wstring value) {
    return {L"Subject", L"Contains", std::move(value)};
}

// The message: subject "RE: invoice!" from Bob, in kInbox unless the case names another folder.
TEST(RuleDecisions, Table) {
    NotificationRule off = Rule(L"off", {}, {Act(kActionSend)});
    off.Enabled = false;
    NotificationRule any = Rule(L"any",
                                {SubjectHas(L"x"),
                                 {L"Sender", L"Equals", L"Al"},
                                 {L"Subject", L"Starts With", L"FW:"},
                                 {L"Subject", L"Ends With", L"?"},
                                 {L"Sender", L"Does Not Contain", L"o"},
                                 {L"Subject", L"Like", L""},
                                 {L"Sender", L"Equals", L"bob"}},
                                {Act(kActionSend)});
    any.ConditionLogic = L"Any";
    NotificationRule notAny = any;  // only the exact word "Any" is Any
    notAny.ConditionLogic = L"any";
    const struct {
        std::vector<NotificationRule> rules;
        RuleDecision expected;  // ShouldSend, FinalAction, TitleOverride, MatchedRuleName, Reason
        std::wstring folder = kInbox;
    } cases[] = {
        {{}, {true, L"", L"", L"", kNoRules}},
        // Another folder, a path differing in case, a subfolder, no folder, disabled rules: none
        // applies to the message.
        {{Rule(L"a", {}, {Act(kActionIgnore)}, L"\\\\Mailbox\\Other"),
          Rule(L"b", {}, {Act(kActionIgnore)}, L"\\\\mailbox\\inbox"),
          Rule(L"c", {}, {Act(kActionIgnore)}, kInbox + L"\\Sub"),
          Rule(L"d", {}, {Act(kActionIgnore)}, L""), off, off},
         {true, L"", L"", L"", kNoFolderRules}},
        {{Rule(L"r", {}, {Act(kActionIgnore)}, L"")}, {true, L"", L"", L"", kNoFolderRules}, L""},
        // A disabled rule is skipped even though it would match.
        {{off, Rule(L"i", {SubjectHas(L"x")}, {Act(kActionSend)})},
         {false, L"", L"", L"", kNoMatch}},
        {{Rule(L"all", {}, {Act(kActionSend)})}, {true, kSend, L"", L"all", kNoConditions}},
        // Every condition is named as it held or failed, joined by OR for Any, AND otherwise.
        {{any},
         {true, kSend, L"", L"any",
          L"Subject does not contain \"x\" OR Sender does not equal \"Al\" OR Subject does not "
          L"start with \"FW:\" OR Subject does not end with \"?\" OR Sender contains \"o\" OR "
          L"Subject does not match \"\" OR Sender equals \"bob\""}},
        {{notAny}, {false, L"", L"", L"", kNoMatch}},
        {{Rule(L"",
               {SubjectHas(L"invoice"),
                {L"Subject", L"Starts With", L"re:"},
                {L"Subject", L"Ends With", L"!"},
                {L"Sender", L"Does Not Contain", L"x"}},
               {Act(kActionIgnore)})},
         // A matching rule without a name still gives its summary as the reason.
         {false, kIgnore, L"", L"",
          L"Subject contains \"invoice\" AND Subject starts with \"re:\" AND Subject ends with "
          L"\"!\" AND Sender does not contain \"x\""}},
        // An unknown field reads as empty text; field names are exact.
        {{Rule(L"b", {{L"Body", L"Equals", L""}}, {Act(kActionSend)})},
         {true, kSend, L"", L"b", L"Body equals \"\""}},
        {{Rule(L"b", {{L"subject", L"Contains", L"R"}}, {Act(kActionSend)})},
         {false, L"", L"", L"", kNoMatch}},
        // Later rules override earlier ones.
        {{Rule(L"r", {}, {Act(kActionIgnore)}), Rule(L"second", {}, {Act(kActionSend)})},
         {true, kSend, L"", L"second", kNoConditions}},
        // Stop ends the walk after a matching rule, without cutting its own later actions.
        {{Rule(L"first", {SubjectHas(L"RE")}, {Act(kActionStop), Act(kActionIgnore)}),
          Rule(L"second", {}, {Act(kActionSend), Act(kActionOverrideTitle, L"T")})},
         {false, kIgnore, L"", L"first", L"Subject contains \"RE\"", false}},
        // Stop on a rule that does not match does nothing; Continue after Stop undoes it.
        {{Rule(L"first", {SubjectHas(L"zzz")}, {Act(kActionStop)}),
          Rule(L"second", {}, {Act(kActionStop), Act(kActionContinue), Act(kActionIgnore)}),
          Rule(L"third", {}, {Act(kActionSend)})},
         {true, kSend, L"", L"third", kNoConditions}},
        // A later title wins, an empty one keeps the earlier; a title alone does not send.
        {{Rule(L"a", {}, {Act(kActionOverrideTitle, L"First"), Act(kActionOverrideTitle, L"")}),
          Rule(L"b", {}, {Act(kActionOverrideTitle, L"")})},
         {false, L"", L"First", L"b", kNoConditions}},
        {{Rule(L"a", {}, {Act(kActionSend), Act(kActionOverrideTitle, L"First")}),
          Rule(L"b", {}, {Act(kActionOverrideTitle, L"Second")})},
         {true, kSend, L"Second", L"b", kNoConditions}},
        // Action names are exact; unknown ones are skipped.
        {{Rule(L"u", {}, {Act(L"Send telegram notification"), Act(L"Forward"), Act(L"")})},
         {false, L"", L"", L"u", kNoConditions}},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        MailSnapshot mail;
        mail.FolderPath = cases[i].folder;
        mail.Subject = L"RE: invoice!";
        mail.SenderName = L"Bob";
        EXPECT_EQ(EvaluateRules(cases[i].rules, mail), cases[i].expected) << i;
    }
}

TEST(RuleDecisions, PreparedListAndTheConditionsOutcomeOfOneRule) {
    // The master switch empties the list; an empty logic reads as All.
    RulesFile file{.Enabled = false, .Rules = {Rule(L"b", {}, {}), Rule(L"a", {}, {})}};
    EXPECT_TRUE(PrepareMonitorRules(file).empty());
    file.Enabled = true;
    file.Rules[0].ConditionLogic = L"";
    file.Rules[1].ConditionLogic = L"Any";
    const auto rules = PrepareMonitorRules(file);
    ASSERT_EQ(rules.size(), 2u);
    EXPECT_EQ(rules[0].Name + rules[0].ConditionLogic + rules[1].ConditionLogic, L"bAllAny");
    MailSnapshot mail;
    mail.Subject = L"RE: x";
    const auto outcome =
        EvaluateConditions(Rule(L"r", {SubjectHas(L"X"), SubjectHas(L"y")}, {}), mail);
    EXPECT_FALSE(outcome.Held);
    EXPECT_EQ(outcome.Summary, L"Subject contains \"X\" AND Subject does not contain \"y\"");
    EXPECT_TRUE(EvaluateConditions(Rule(L"r", {SubjectHas(L"X")}, {}), mail).Held);
}

// Empty values, values longer than the field, positions, case; operator names are exact.
TEST(RuleOperators, Table) {
    const wchar_t *has = L"Contains", *hasNot = L"Does Not Contain", *starts = L"Starts With",
                  *ends = L"Ends With", *equals = L"Equals";
    const struct {
        const wchar_t* op;
        const wchar_t* field;
        const wchar_t* value;
        bool caseSensitive;
        bool holds;
    } cases[] = {
        // clang-format off
        {has, L"x", L"", 1, 1}, {has, L"ab", L"abc", 1, 0}, {has, L"aaab", L"aab", 1, 1},
        {has, L"Your INVOICE", L"invoice", 0, 1}, {has, L"Your INVOICE", L"invoice", 1, 0},
        {hasNot, L"x", L"", 0, 0}, {hasNot, L"ab", L"abc", 1, 1},
        {hasNot, L"URGENT", L"urgent", 0, 0}, {hasNot, L"URGENT", L"urgent", 1, 1},
        {starts, L"x", L"", 1, 1}, {starts, L"ab", L"abc", 1, 0}, {starts, L"FW: RE:", L"RE:", 1, 0},
        {starts, L"Re: x", L"RE:", 0, 1}, {ends, L"", L"", 1, 1}, {ends, L"bc", L"abc", 1, 0},
        {ends, L"a.pdf.exe", L".pdf", 1, 0}, {ends, L"A.PDF", L".pdf", 0, 1},
        {equals, L"", L"", 1, 1}, {equals, L"a", L"", 1, 0}, {equals, L"invoice", L"INVOICE", 0, 1},
        {equals, L"invoice", L"INVOICE", 1, 0},
        {equals, L"\u00c4\u0394\u0401", L"\u00e4\u03b4\u0451", 0, 1},
        {L"contains", L"abc", L"a", 0, 0}, {L"", L"", L"", 0, 0},
        // clang-format on
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TestCondition(c.op, c.field, c.value, c.caseSensitive), c.holds)
            << c.op << " '" << c.field << "' '" << c.value << "' " << c.caseSensitive;
    }
}

// Our own table, the same on every platform: A-Z, Latin-1 (not the sign), Greek, Cyrillic.
TEST(RuleCaseFolding, RangeEndsFoldAndTheirNeighboursStay) {
    const std::pair<std::uint32_t, std::uint32_t> cases[] = {
        {'A', 'a'},     {'Z', 'z'},     {0xC0, 0xE0},   {0xDE, 0xFE},   {0x391, 0x3B1},
        {0x3A9, 0x3C9}, {0x410, 0x430}, {0x42F, 0x44F}, {0x400, 0x450}, {0x40F, 0x45F},
        {'@', '@'},     {'[', '['},     {0xBF, 0xBF},   {0xD7, 0xD7},   {0xDF, 0xDF},
        {0x390, 0x390}, {0x3A2, 0x3A2}, {0x3AA, 0x3AA}, {0x3FF, 0x3FF}, {0x430, 0x430},
    };
    for (const auto& [from, to] : cases) {
        EXPECT_EQ(static_cast<std::uint32_t>(FoldRuleCase(static_cast<wchar_t>(from))), to) << from;
    }
}

}  // namespace
}  // namespace wrenpost
