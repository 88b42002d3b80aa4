// A cycle whose rules file exists but cannot be read: with no rules read yet in the session its
// new mail is held (neither sent nor remembered) until the file reads again; with rules read
// earlier those decide.
#include <gtest/gtest.h>

#include "MonitorTestKit.h"
#include "rules/RulesFile.h"

namespace wrenpost::testing {
namespace {

const char kDamaged[] = "{\r\n  \"Version\": 1,\r\n  \"Enabled\": true,\r\n  \"Rules\": [\r\n";

// Everything in the Inbox is sent, except mail with "spam" in the subject.
RulesFile IgnoringSpam() {
    NotificationRule all, spam;
    all.Id = all.Name = L"all";
    all.Actions = {{std::wstring(kActionSend), L""}};
    spam.Id = spam.Name = L"spam";
    spam.Conditions = {{L"Subject", L"Contains", L"spam", false}};
    spam.Actions = {{std::wstring(kActionIgnore), L""}};
    all.FolderPath = spam.FolderPath = kInbox;
    return {1, true, {all, spam}};
}

TEST_F(MonitorEngineTest, NewMailWaitsForAnUnreadableRulesFileAndEarlierRulesStandIn) {
    const auto rulesPath = dir / L"WorkRules.json";
    WriteAllBytes(rulesPath, kDamaged);
    StartManual();
    reader.Push({Fresh(L"spam offer"), Fresh(L"hello")});
    ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);
    ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(Logged(L"WARNING: The Notification Rules file "), 1u);
    EXPECT_EQ(Logged(L"WARNING: 2 new mails are held until the Notification Rules file can be "
                     L"read."),
              1u);  // once per episode
    EXPECT_EQ(last.Status, L"Running \u2013 rules file unreadable, 2 mails held");

    // Readable again: the held mail meets the rules.
    ASSERT_TRUE(SaveRulesFile(rulesPath, IgnoringSpam()));
    ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].Body, L"hello");
    EXPECT_EQ(last.Status, L"Running");
    EXPECT_EQ(Logged(L"Notification skipped by rule: spam"), 1u);

    // Damaged again: the rules read before decide, nothing waits.
    WriteAllBytes(rulesPath, kDamaged);
    reader.Push({Fresh(L"more spam"), Fresh(L"news")});
    ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1].Body, L"news");
    EXPECT_EQ(Logged(L"Notification skipped by rule: spam"), 2u);
    EXPECT_EQ(Logged(L"WARNING: The Notification Rules file "), 2u);

    // A new session starts from the file alone.
    engine->Stop();
    StartManual();
    reader.Push({Fresh(L"after restart")});
    ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);
    EXPECT_EQ(sent.size(), 2u);
    EXPECT_EQ(Logged(L"WARNING: 1 new mails are held until the Notification Rules file"), 1u);
}

}  // namespace
}  // namespace wrenpost::testing
