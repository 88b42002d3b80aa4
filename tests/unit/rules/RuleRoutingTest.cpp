// Routing by rule: whom a mail reaches, its silence, and chat ids an import may keep.
#include <gtest/gtest.h>

#include "rules/RuleEvaluation.h"
#include "rules/RuleRouting.h"

namespace wrenpost {
namespace {

using Ids = std::vector<std::wstring>;

RuleAction Act(std::wstring_view type, std::wstring value = L"") {
    return {std::wstring(type), std::move(value)};
}
RuleAction To(std::wstring ids) {
    return Act(kActionSendToRecipients, std::move(ids));
}

// An inbox rule; with `subject` it matches only mail whose subject contains it.
NotificationRule Rule(std::wstring name, std::vector<RuleAction> actions,
                      std::wstring subject = L"") {
    NotificationRule rule{.Name = name, .FolderPath = L"\\\\Box\\In", .Actions = actions};
    if (!subject.empty()) {
        rule.Conditions = {{L"Subject", L"Contains", subject}};
    }
    return rule;
}

// The mail "invoice"; chats 1, 2 and 3 are allowed.
TEST(RuleRouting, WhomAMailReaches) {
    const RuleAction send = Act(kActionSend), ignore = Act(kActionIgnore),
                     silent = Act(kActionSendSilently);
    const struct {
        const char* name;
        std::vector<NotificationRule> rules;
        bool sent, silent;
        Ids chats, namingNone;
    } cases[] = {
        // clang-format off
        {"union in profile order, send does not widen it",
         {Rule(L"a", {To(L" 3 ")}), Rule(L"b", {send, To(L"2,1,3")}), Rule(L"c", {To(L"2")}, L"memo")},
         true, false, {L"1", L"2", L"3"}, {}},
        {"ignore after routes wins", {Rule(L"a", {To(L"1")}), Rule(L"b", {ignore})}, false, false, {}, {}},
        {"ignore drops the routes and silence before it",
         {Rule(L"a", {To(L"1"), silent}), Rule(L"b", {ignore}), Rule(L"c", {send})},
         true, false, {L"1", L"2", L"3"}, {}},
        {"nobody allowed named", {Rule(L"a", {To(L"9,8")}), Rule(L"b", {To(L"")})}, true, false, {},
         {L"a", L"b"}},
        {"one rule's removed recipients, another's stand", {Rule(L"a", {To(L"9")}), Rule(L"b", {To(L"2,9")})},
         true, false, {L"2"}, {L"a"}},
        {"silent alone sends", {Rule(L"a", {silent})}, true, true, {L"1", L"2", L"3"}, {}},
        {"an unknown type is ignored", {Rule(L"a", {Act(L"Send By Pigeon", L"1")})}, false, false, {}, {}},
        // clang-format on
    };
    MailSnapshot mail;
    mail.FolderPath = L"\\\\Box\\In";
    mail.Subject = L"invoice";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const RuleDecision decision = EvaluateRules(c.rules, mail);
        EXPECT_EQ(decision.ShouldSend, c.sent);
        EXPECT_EQ(decision.Silent, c.silent);
        const RoutedRecipients routed = RouteRecipients(decision, {L"1", L"2", L"3"});
        EXPECT_EQ(c.sent ? routed.ChatIds : Ids{}, c.chats);
        EXPECT_EQ(routed.RulesNamingNoneAllowed, c.namingNone);
    }
}

// The profile knows chats 1 and 2.
TEST(RuleRouting, ImportKeepsKnownChatIds) {
    const RuleAction future = Act(L"Future", L"7"), silent = Act(kActionSendSilently);
    const struct {
        std::vector<RuleAction> actions, kept;
        bool named;
    } cases[] = {
        {{To(L"1, 2"), future}, {To(L"1, 2"), future}, false},
        {{To(L"7,2")}, {To(L"2")}, true},
        {{To(L"7"), silent, To(L" , ")}, {silent}, true},
    };
    for (const auto& c : cases) {
        std::vector<NotificationRule> rules = {Rule(L"first", {silent}),
                                               Rule(L"second", c.actions)};
        EXPECT_EQ(KeepKnownRecipients(rules, {L"1", L"2"}), c.named ? Ids{L"second"} : Ids{});
        EXPECT_EQ(rules[1].Actions, c.kept);
        EXPECT_EQ(CarriesChatIds(rules), c.kept.front().Type == kActionSendToRecipients);
    }
}

}  // namespace
}  // namespace wrenpost
