// Notification Rules as the monitor applies them: reloaded every cycle, skip and title-override
// lines, a switched-off or corrupt rules file.
#include <gtest/gtest.h>

#include "MonitorTestKit.h"
#include "rules/RulesFile.h"

namespace wrenpost::testing {
namespace {

NotificationRule Rule(const std::wstring& name, const std::wstring& folder,
                      std::vector<RuleCondition> conditions, std::vector<RuleAction> actions) {
    NotificationRule rule;
    rule.Id = L"R-" + name;
    rule.Name = name;
    rule.FolderPath = folder;
    rule.Conditions = std::move(conditions);
    rule.Actions = std::move(actions);
    return rule;
}

const RuleAction kIgnore{L"Ignore Email", L""};
const RuleAction kSend{L"Send Telegram Notification", L""};

class MonitorRulesTest : public MonitorEngineTest {
protected:
    void SaveRules(bool enabled, std::vector<NotificationRule> rules) {
        ASSERT_TRUE(SaveRulesFile(RulesPath(), RulesFile{1, enabled, std::move(rules)}));
    }
    std::filesystem::path RulesPath() const { return dir / L"WorkRules.json"; }
};

TEST_F(MonitorRulesTest, RulesSkipOrRetitleAndAChangedFileCountsFromTheNextCycle) {
    StartManual();
    reader.Push({Fresh(L"first")});
    ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);  // no rules file: everything is sent
    EXPECT_EQ(Logged(L"Rules evaluated for message: ", true), 0u);

    SaveRules(true,
              {Rule(L"No spam", kInbox, {{L"Subject", L"Contains", L"spam", false}}, {kIgnore}),
               Rule(L"VIP", kInbox, {{L"Sender", L"Equals", L"ada sender", false}},
                    {kSend, {L"Override Notification Title", L"VIP mail"}}),
               Rule(L"Archive", kArchive, {}, {kSend, {L"Override Notification Title", L""}})});
    MailSnapshot spam = Fresh(L"SPAM offer"), stranger = Fresh(L"Stranger");
    spam.SenderName = stranger.SenderName = L"Bob";
    reader.Push({spam, Fresh(L"From Ada"), Fresh(L"Old stuff", kArchive), stranger});
    ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);
    EXPECT_EQ(Logged(L"Notification Rules loaded: 3 rules."), 1u);
    EXPECT_EQ(Logged(L"Notification skipped by rule: No spam"), 1u);
    EXPECT_EQ(Logged(L"Notification skipped by rule: No rule matched for this folder"), 1u);
    const auto sent = channel.Sent();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[1].Title, L"VIP mail");
    EXPECT_EQ(sent[2].Title, L"New Outlook Mail");  // an empty override keeps the usual title
    EXPECT_NE(LastLine().find(L". New messages: 4"), std::wstring::npos);

    ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);  // skipped ones are remembered as handled
    EXPECT_EQ(Logged(L"Notification skipped by rule: No spam"), 1u);
    EXPECT_EQ(LastReport().Queued, 0);
}

TEST_F(MonitorRulesTest, SwitchedOffOrCorruptRulesSendEverything) {
    SaveRules(false, {Rule(L"A", kInbox, {}, {kIgnore}), Rule(L"B", kInbox, {}, {kIgnore})});
    StartManual();
    reader.Push({Fresh(L"spam")});
    ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);
    EXPECT_EQ(Logged(L"WARNING: 2 notification rule(s) are configured", true), 1u);

    WriteAllBytes(RulesPath(),
                  "{\r\n  \"Version\": 1,\r\n  \"Enabled\": true,\r\n  \"Rules\": [\r\n");
    reader.Push({Fresh(L"more spam")});
    ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);
    EXPECT_EQ(Logged(L"Notification Rules file is corrupted and could not be read: " +
                         RulesPath().wstring(),
                     true),
              1u);
    EXPECT_EQ(channel.Sent().size(), 2u);
}

}  // namespace
}  // namespace wrenpost::testing
