// Temporary profile folders: each names the instance that owns it.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "profile/TemporaryProfiles.h"

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

}  // namespace
}  // namespace wrenpost
