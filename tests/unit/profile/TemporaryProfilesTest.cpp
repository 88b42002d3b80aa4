// Temporary profile folders: each names its owner, and only an owner that no longer runs loses
// its folder.
#include "profile/TemporaryProfiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "common/TextFile.h"
#include "support/TempDir.h"

namespace wrenpost {
namespace {

namespace fs = std::filesystem;

TEST(TemporaryProfiles, TheFolderNameCarriesItsOwnerBackAndNothingElseParses) {
    const InstanceIdentity owners[] = {{0, 0}, {4294967295u, ~0ull}, {1234, 0x1d9b2c3e4f5a6b7full}};
    for (const InstanceIdentity& owner : owners) {
        const fs::path folder = TemporaryProfileFolder(L"P", L"Sales@Desk", owner);
        EXPECT_EQ(folder.parent_path(), fs::path(L"P") / L"_Temporary");
        EXPECT_EQ(TemporaryProfileOwner(folder.filename().wstring()), owner) << folder;
    }
    for (const wchar_t* name : {L"_Temp_Sales", L"Sales@12-ab", L"_Temp_@12-ab", L"_Temp_x@12",
                                L"_Temp_x@-ab", L"_Temp_x@12-", L"_Temp_x@12-AB", L"_Temp_x@1a-ab",
                                L"_Temp_x@4294967296-ab", L"_Temp_x@1-12345678901234567"}) {
        EXPECT_EQ(TemporaryProfileOwner(name), std::nullopt) << name;
    }
}

TEST(TemporaryProfiles, SessionNamesFollowTheLocalDateAndTime) {
    std::tm local{};
    local.tm_year = 2026 - 1900;
    local.tm_mon = 0;
    local.tm_mday = 5;
    local.tm_hour = 7;
    local.tm_min = 8;
    local.tm_sec = 9;
    EXPECT_EQ(SessionNameAt(local), L"Session_20260105_070809");
    EXPECT_EQ(TemporaryProfileName(L"Desk"), L"_Temp_Desk");
}

TEST(TemporaryProfiles, OnlyFoldersOfOwnersThatNoLongerRunAreRemoved) {
    testing::TempDir dir;
    const InstanceIdentity gone{7, 70}, alive{8, 80};
    const fs::path goneFolder = TemporaryProfileFolder(dir.Path(), L"A", gone);
    const fs::path aliveFolder = TemporaryProfileFolder(dir.Path(), L"B", alive);
    const fs::path foreign = dir / L"_Temporary" / L"_Temp_C";
    for (const fs::path& folder : {goneFolder, aliveFolder, foreign}) {
        fs::create_directories(folder);
        ASSERT_TRUE(WriteFileAtomically(folder / L"x.token", "secret"));
    }
    std::vector<std::wstring> logged;
    CleanAbandonedTemporaryProfiles(
        dir.Path(), [&](const InstanceIdentity& owner) { return owner == alive; },
        [&](LogLevel, const std::wstring& line) { logged.push_back(line); });
    EXPECT_FALSE(fs::exists(goneFolder));
    EXPECT_TRUE(fs::exists(aliveFolder));
    EXPECT_TRUE(fs::exists(foreign));
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_NE(logged[0].find(L"Temporary profile deleted"), std::wstring::npos);
}

}  // namespace
}  // namespace wrenpost
