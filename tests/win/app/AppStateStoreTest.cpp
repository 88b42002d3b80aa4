// AppState.json through the real application-data folder under wine.
#include <gtest/gtest.h>
#include <windows.h>

#include "app/AppPaths_win.h"
#include "app/AppStateStore_win.h"
#include "support/TempDir.h"

namespace wrenpost {
namespace {

TEST(AppStateStore, EachSetterChangesOneFieldAndKeepsTheOthers) {
    std::error_code ignored;
    std::filesystem::remove(AppStateFilePath(), ignored);
    EXPECT_EQ(LoadAppState(), AppState{});

    ASSERT_TRUE(SetLastProfile(L"Office"));
    ASSERT_TRUE(SetLastProfileFolder(L"C:\\Users\\\u0418\u0432\u0430\u043d\\Profiles"));
    ASSERT_TRUE(SetSuppressMasterToggleReminder(true));

    const AppState state = LoadAppState();
    EXPECT_EQ(state.LastProfile, L"Office");
    EXPECT_EQ(state.LastProfileFolder, L"C:\\Users\\\u0418\u0432\u0430\u043d\\Profiles");
    EXPECT_TRUE(state.SuppressMasterToggleReminder);
    // The Cyrillic folder forces the UTF-8 form of the file; a Latin one keeps the one-byte form.
    EXPECT_EQ(testing::ReadAllBytes(AppStateFilePath()).rfind("\xEF\xBB\xBF", 0), 0u);
    ASSERT_TRUE(SetLastProfileFolder(L"C:\\Users\\me\\Profiles"));
    const std::string bytes = testing::ReadAllBytes(AppStateFilePath());
    EXPECT_EQ(bytes.rfind("{\r\n  \"LastProfile\": \"Office\",\r\n", 0), 0u);
    EXPECT_NE(bytes.find("\"LastProfileFolder\": \"C:\\Users\\me\\Profiles\""), std::string::npos);
}

}  // namespace
}  // namespace wrenpost
