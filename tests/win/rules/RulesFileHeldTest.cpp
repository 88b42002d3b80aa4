// A rules file another program holds open without sharing it (a backup tool, a virus scanner):
// it cannot be read, the monitor keeps the rules it read before, and once the other program lets
// go the file reads again.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>

#include "common/UniqueHandle_win.h"
#include "common/WinError_win.h"
#include "monitor/MonitorRules.h"
#include "rules/RulesFile.h"
#include "support/HelperProgram_win.h"
#include "support/RuleSamples.h"
#include "support/TempDir.h"

namespace wrenpost::testing {
namespace {

const wchar_t* const kEarlierTime = L"2025-03-07 09:00:00";

std::wstring Decider(const MonitorRules& rules) {
    MailSnapshot spam;
    spam.FolderPath = L"\\\\Mailbox\\Inbox";
    spam.Subject = L"Cheap spam";
    const RuleDecision decision = rules.Evaluate(spam);
    return decision.ShouldSend ? L"sent" : decision.MatchedRuleName;
}

TEST(RulesFileHeldElsewhere, CannotBeReadWhileHeldAndTheMonitorKeepsTheRulesItRead) {
    TempDir dir;
    const auto path = dir / L"WorkRules.json";
    std::vector<std::wstring> lines;
    const MonitorRules::LogLine log = [&](const std::wstring& line) { lines.push_back(line); };
    MonitorRules monitor;
    ASSERT_TRUE(SaveRulesFile(path, IgnoringSpam(L"earlier")));
    monitor.Reload(path, log, kEarlierTime);
    ASSERT_EQ(Decider(monitor), L"earlier");
    ASSERT_TRUE(SaveRulesFile(path, IgnoringSpam(L"current")));

    HeldFile holder(path);
    ASSERT_TRUE(holder.Holding()) << holder.End();
    RulesFile file;
    std::wstring reason;
    EXPECT_EQ(LoadRulesFile(path, file, &reason), RuleLoadResult::Unreadable);
    std::wstring sharing = SystemErrorMessage(ERROR_SHARING_VIOLATION);
    if (!sharing.empty() && sharing.back() == L'.') {
        sharing.pop_back();
    }
    EXPECT_FALSE(reason.empty());
    EXPECT_EQ(reason, sharing);
    lines.clear();
    monitor.Reload(path, log, L"2025-03-07 09:05:00");
    EXPECT_EQ(lines,
              (std::vector<std::wstring>{L"WARNING: The Notification Rules file " + path.wstring() +
                                         L" cannot be read (" + reason +
                                         L"); using the rules read at " + kEarlierTime + L"."}));
    EXPECT_TRUE(monitor.Usable());
    EXPECT_TRUE(monitor.Enabled());
    EXPECT_EQ(Decider(monitor), L"earlier");
    MonitorRules fresh;  // a session that has read nothing yet holds its mail
    fresh.Reload(path, log, L"2025-03-07 09:05:00");
    EXPECT_FALSE(fresh.Usable());
    EXPECT_FALSE(SaveRulesFile(path, RulesFile{}));  // nor can the held file be replaced

    EXPECT_EQ(holder.End(), 0u);
    EXPECT_EQ(LoadRulesFile(path, file), RuleLoadResult::Loaded);
    lines.clear();
    monitor.Reload(path, log, L"2025-03-07 09:10:00");
    EXPECT_EQ(lines.front(), L"Notification Rules loaded: 1 rules.");
    EXPECT_EQ(Decider(monitor), L"current");
    fresh.Reload(path, log, L"2025-03-07 09:10:00");
    EXPECT_TRUE(fresh.Usable());
}

}  // namespace
}  // namespace wrenpost::testing
