// The id a Token Vault hand-off passes on the command line of a new instance.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
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

// A stranger's command line must never choose where a dump goes nor whose it is.
TEST(CommandLine, ACrashDumpRequestIsTheSwitchAndFourWellFormedArguments) {
    const std::wstring name = L"Wrenpost-20261207-101500-042-77.dmp";
    const std::pair<std::wstring, bool> cases[] = {
        {L"--write-crash-dump 77 4096 7ffE0a10 " + name, true},
        {L"--write-crash-dump 4294967295 1 ffffffffffffffff " + name, true},
        {L"--write-crash-dump 4294967296 1 1 " + name, false},
        {L"--write-crash-dump 77 1 1ffffffffffffffff " + name, false},
        {L"--write-crash-dump 0 1 1 " + name, false},
        {L"--write-crash-dump 77 0 1 " + name, false},
        {L"--write-crash-dump 77 1 0 " + name, false},
        {L"--write-crash-dump -7 1 1 " + name, false},
        {L"--write-crash-dump 77 1 0x10 " + name, false},
        {L"--write-crash-dump 77 1 1 " + name + L" extra", false},
        {L"--startup --write-crash-dump 77 1 1 " + name, false},
        {L"--write-crash-dump 77 1 1 Wrenpost-..\\..\\x.dmp", false},
        {L"--write-crash-dump 77 1 1 C:\\Wrenpost-1.dmp", false},
        {L"--write-crash-dump 77 1 1 Wrenpost-1.exe", false},
        {L"--write-crash-dump 77 1 1 Wrenpost-é1.dmp", false},
        {L"--write-crash-dump 77 1 1", false},
    };
    for (const auto& [commandLine, accepted] : cases) {
        CrashDumpRequest request;
        ASSERT_EQ(ParseCrashDumpRequest(commandLine, request), accepted) << commandLine;
        if (accepted && commandLine.starts_with(L"--write-crash-dump 77")) {
            EXPECT_EQ(std::tie(request.processId, request.threadId, request.exceptionPointers),
                      std::make_tuple(77ul, 4096ul, 0x7ffE0a10ull));
            EXPECT_EQ(request.dumpName, name);
        }
    }
}

}  // namespace
}  // namespace wrenpost
