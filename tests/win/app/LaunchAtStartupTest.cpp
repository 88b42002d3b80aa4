// The Run value and the application-data folders in wine's real registry and file system (each
// test run has a fresh prefix).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "app/AppPaths_win.h"
#include "app/LaunchAtStartup_win.h"
#include "common/UniqueHandle_win.h"

namespace wrenpost {
namespace {

TEST(LaunchAtStartup, EnableWritesTheQuotedProgramPathWithTheSwitchAndDisableRemovesIt) {
    EXPECT_FALSE(IsLaunchAtStartupEnabled());
    ASSERT_TRUE(EnableLaunchAtStartup());
    EXPECT_TRUE(IsLaunchAtStartupEnabled());
    wchar_t self[MAX_PATH], value[1024] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    DWORD bytes = sizeof(value);  // a REG_SZ with its terminating NUL
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                           L"Wrenpost", RRF_RT_REG_SZ, nullptr, value, &bytes),
              ERROR_SUCCESS);
    const std::wstring expected = L"\"" + std::wstring(self) + L"\" --startup";
    EXPECT_EQ(value, expected);
    EXPECT_EQ(bytes, (expected.size() + 1) * sizeof(wchar_t));

    EXPECT_TRUE(DisableLaunchAtStartup());
    EXPECT_FALSE(IsLaunchAtStartupEnabled());
    EXPECT_FALSE(DisableLaunchAtStartup());  // nothing to delete is not a success
}

TEST(AppFolders, AreCreatedWithTheirParentsAndAFileInTheWayGivesTheWindowsErrorNumber) {
    const auto appData = AppDataFolder();
    std::error_code ignored;
    std::filesystem::remove_all(appData, ignored);
    std::wstring error;
    ASSERT_TRUE(EnsureAppFolders(error));
    EXPECT_TRUE(EnsureAppFolders(error) && std::filesystem::is_directory(ProfilesFolder()));

    std::filesystem::remove_all(ProfilesFolder(), ignored);
    UniqueFileHandle(CreateFileW(ProfilesFolder().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 0, nullptr));
    EXPECT_FALSE(EnsureAppFolders(error));
    EXPECT_NE(error.find(L"(Windows error "), std::wstring::npos);
    std::filesystem::remove_all(appData, ignored);
}

}  // namespace
}  // namespace wrenpost
