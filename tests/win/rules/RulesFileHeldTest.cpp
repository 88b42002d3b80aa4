// A rules file another program holds open without sharing it (a backup tool, a virus scanner):
// it reads as unreadable with the system's reason, cannot be replaced, and reads again once the
// other program lets go. (What the monitor does with an unreadable file: MonitorRulesTest.)
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>

#include "common/WinError_win.h"
#include "rules/RulesFile.h"
#include "support/HelperProgram_win.h"
#include "support/RuleSamples.h"
#include "support/TempDir.h"

namespace wrenpost::testing {
namespace {

TEST(RulesFileHeldElsewhere, IsUnreadableWithTheSystemsReasonUntilLetGo) {
    TempDir dir;
    const auto path = dir / L"WorkRules.json";
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
    EXPECT_FALSE(SaveRulesFile(path, RulesFile{}));

    EXPECT_EQ(holder.End(), 0u);
    ASSERT_EQ(LoadRulesFile(path, file), RuleLoadResult::Loaded);
    EXPECT_EQ(file, IgnoringSpam(L"current"));
}

}  // namespace
}  // namespace wrenpost::testing
