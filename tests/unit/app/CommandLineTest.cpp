// The id a Token Vault hand-off passes on the command line of a new instance.
#include <gtest/gtest.h>

#include <utility>

#include "app/CommandLine.h"

namespace wrenpost {
namespace {

TEST(VaultLaunch, TakesTheWordAfterTheSwitchOrNothingForAnOrdinaryStart) {
    const struct {
        const wchar_t *commandLine, *id;
    } cases[] = {
        {L"\"C:\\W\\Wrenpost.exe\" --new-instance-from-vault \t X9 more", L"X9"},
        {L"--new-instance-from-vaultID", L"ID"},
        {L"--new-instance-from-vault", L""},
        {L"--new-instance-from-vault   ", L""},
        {L"--new-instance-from-vau abc", L""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseVaultLaunchId(c.commandLine), c.id) << c.commandLine;
    }
}

TEST(CommandLine, TheStartUpSwitchCountsOnlyAsAWholeArgument) {
    const std::pair<const wchar_t*, bool> cases[] = {
        {L"--startup", true},   {L"  --new-instance-from-vault x\t--startup  ", true},
        {L"--startupx", false}, {L"x--startup", false},
        {L"--start", false},    {L"", false},
    };
    for (const auto& [commandLine, expected] : cases) {
        EXPECT_EQ(HasStartupSwitch(commandLine), expected) << commandLine;
    }
}

}  // namespace
}  // namespace wrenpost
