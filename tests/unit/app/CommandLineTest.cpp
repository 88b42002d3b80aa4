#include <gtest/gtest.h>

#include "app/CommandLine.h"

namespace wrenpost {
namespace {

TEST(VaultLaunch, TakesTheWordAfterTheSwitchAnywhereInTheCommandLine) {
    EXPECT_EQ(ParseVaultLaunchId(L"--new-instance-from-vault abc123"), L"abc123");
    EXPECT_EQ(ParseVaultLaunchId(L"\"C:\\W\\Wrenpost.exe\" --new-instance-from-vault \t X9 more"),
              L"X9");
    EXPECT_EQ(ParseVaultLaunchId(L"--new-instance-from-vaultID"), L"ID");
}

TEST(VaultLaunch, WithoutAnIdentifierItIsAnOrdinaryStart) {
    EXPECT_EQ(ParseVaultLaunchId(L""), L"");
    EXPECT_EQ(ParseVaultLaunchId(L"--new-instance-from-vault"), L"");
    EXPECT_EQ(ParseVaultLaunchId(L"--new-instance-from-vault   "), L"");
    EXPECT_EQ(ParseVaultLaunchId(L"--new-instance-from-vau abc"), L"");
}

}  // namespace
}  // namespace wrenpost
