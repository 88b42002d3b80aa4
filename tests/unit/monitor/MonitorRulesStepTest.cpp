// Notification Rules as the monitor applies them: reloaded every cycle, skip and title-override
// lines, a switched-off or corrupt rules file.
#include <gtest/gtest.h>

#include "MonitorEngineTestFixture.h"
#include "rules/RulesFile.h"

namespace wrenpost::testing {
namespace {

NotificationRule Rule(const std::wstring& name, const std::wstring& folder,
                      std::vector<RuleCondition> conditions, std::vector<RuleAction> actions) {
    NotificationRule rule;
    rule.Id = L"R1";
    rule.Name = name;
    rule.FolderPath = folder;
    rule.Conditions = std::move(conditions);
    rule.Actions = std::move(actions);
    return rule;
}

class MonitorRulesTest : public MonitorEngineTest {
protected:
    void SaveRules(bool enabled, std::vector<NotificationRule> rules) {
        RulesFile file;
        file.Enabled = enabled;
        file.Rules = std::move(rules);
        ASSERT_TRUE(SaveRulesFile(RulesPath(), file));
    }
    std::filesystem::path RulesPath() const { return dir.Path() / L"WorkRules.json"; }
};

TEST_F(MonitorRulesTest, WithoutARulesFileEverythingIsSentUnfiltered) {
    StartManual();
    reader.PushMessages({Fresh(L"a")});
    ASSERT_EQ(engine->RunCycle(), MonitorCycleResult::Completed);
    EXPECT_TRUE(log.Contains(L"Notification Rules loaded: 0 rules."));
    EXPECT_TRUE(log.Contains(L"Notification Rules disabled."));
    EXPECT_EQ(log.CountStartingWith(L"Rules evaluated for message: "), 0u);
    EXPECT_EQ(channel.Sent().size(), 1u);
}

TEST_F(MonitorRulesTest, AnIgnoringRuleSkipsTheMessageOnceAndCountsItAsNew) {
    SaveRules(true, {Rule(L"No spam", kInbox, {{L"Subject", L"Contains", L"spam", false}},
                          {{L"Ignore Email", L""}})});
    StartManual();
    reader.PushMessages({Fresh(L"SPAM offer"), Fresh(L"Real mail")});
    ASSERT_EQ(engine->RunCycle(), MonitorCycleResult::Completed);
    EXPECT_TRUE(log.Contains(L"Notification Rules loaded: 1 rules."));
    EXPECT_TRUE(log.Contains(L"Notification Rules enabled."));
    EXPECT_TRUE(
        log.Contains(L"Rules evaluated for message: SPAM offer. Matched: No spam. Final "
                     L"action: Ignore Email."));
    EXPECT_TRUE(log.Contains(L"Notification skipped by rule: No spam"));
    // The other message is in a folder with enabled rules but matches none of them.
    EXPECT_TRUE(
        log.Contains(L"Rules evaluated for message: Real mail. Matched: none. Final "
                     L"action: none."));
    EXPECT_TRUE(log.Contains(L"Notification skipped by rule: No rule matched for this folder"));
    EXPECT_TRUE(channel.Sent().empty());
    EXPECT_NE(log.Lines().back().find(L". New messages: 2"), std::wstring::npos);

    ASSERT_EQ(engine->RunCycle(), MonitorCycleResult::Completed);  // remembered as handled
    EXPECT_EQ(log.Count(L"Notification skipped by rule: No spam"), 1u);
    EXPECT_EQ(status.Reports().back().QueueCount, 0);
}

TEST_F(MonitorRulesTest, ARuleTitleOverridesFolderAndCommonTitles) {
    profile.DefaultTitle = L"Common";
    WriteProfile();
    SaveRules(
        true,
        {Rule(
             L"VIP", kInbox, {{L"Sender", L"Equals", L"ada sender", false}},
             {{L"Send Telegram Notification", L""}, {L"Override Notification Title", L"VIP mail"}}),
         Rule(L"Archive", kArchive, {},
              {{L"Send Telegram Notification", L""}, {L"Override Notification Title", L""}})});
    StartManual();
    reader.PushMessages({Fresh(L"From Ada"), Fresh(L"Old stuff", kArchive)});
    ASSERT_EQ(engine->RunCycle(), MonitorCycleResult::Completed);
    EXPECT_TRUE(
        log.Contains(L"Notification title overridden by rule (VIP). Final title: VIP mail."));
    const auto sent = channel.Sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].Title, L"VIP mail");
    EXPECT_EQ(sent[1].Title, L"Common");  // an empty override keeps the usual title
    EXPECT_EQ(log.CountStartingWith(L"Notification title overridden"), 1u);
}

TEST_F(MonitorRulesTest, RulesSwitchedOffWarnWhenTheFileHoldsRules) {
    SaveRules(false, {Rule(L"No spam", kInbox, {}, {{L"Ignore Email", L""}}),
                      Rule(L"Other", kInbox, {}, {{L"Ignore Email", L""}})});
    StartManual();
    reader.PushMessages({Fresh(L"spam")});
    ASSERT_EQ(engine->RunCycle(), MonitorCycleResult::Completed);
    EXPECT_TRUE(log.Contains(L"Notification Rules loaded: 2 rules."));
    EXPECT_TRUE(log.Contains(L"Notification Rules disabled."));
    EXPECT_TRUE(log.Contains(
        L"WARNING: 2 notification rule(s) are configured for this profile but Notification Rules "
        L"is turned OFF - every incoming email will be sent with no rule filtering applied. "
        L"Enable Notification Rules in Advanced to activate them."));
    EXPECT_EQ(channel.Sent().size(), 1u);
}

TEST_F(MonitorRulesTest, ACorruptRulesFileDisablesRulesForTheCycle) {
    WriteAllBytes(RulesPath(),
                  "{\r\n  \"Version\": 1,\r\n  \"Enabled\": true,\r\n  \"Rules\": [\r\n");
    StartManual();
    reader.PushMessages({Fresh(L"a")});
    ASSERT_EQ(engine->RunCycle(), MonitorCycleResult::Completed);
    EXPECT_TRUE(log.Contains(L"Notification Rules file is corrupted and could not be read: " +
                             RulesPath().wstring() +
                             L". Rules disabled for this session; using default behavior."));
    EXPECT_TRUE(log.Contains(L"Notification Rules loaded: 0 rules."));
    EXPECT_TRUE(log.Contains(L"Notification Rules disabled."));
    EXPECT_EQ(channel.Sent().size(), 1u);
    EXPECT_EQ(channel.Sent()[0].Title, L"New Outlook Mail");
}

TEST_F(MonitorRulesTest, AChangedRulesFileTakesEffectAtTheNextCycle) {
    StartManual();
    reader.PushMessages({Fresh(L"first")});
    reader.PushMessages({Fresh(L"second")});
    ASSERT_EQ(engine->RunCycle(), MonitorCycleResult::Completed);
    SaveRules(true, {Rule(L"Quiet", kInbox, {}, {{L"Ignore Email", L""}})});
    ASSERT_EQ(engine->RunCycle(), MonitorCycleResult::Completed);
    ASSERT_EQ(channel.Sent().size(), 1u);
    EXPECT_EQ(channel.Sent()[0].Body, L"first");
    EXPECT_TRUE(log.Contains(L"Notification skipped by rule: Quiet"));
}

}  // namespace
}  // namespace wrenpost::testing
