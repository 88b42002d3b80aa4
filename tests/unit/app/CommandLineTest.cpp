// The id a Token Vault hand-off passes on the command line of a new instance.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace wrenpost
