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

constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// The value's text, type and size in bytes; "<absent>" when there is none.
std::wstring ReadRunValue(DWORD* type = nullptr, DWORD* bytes = nullptr) {
    wchar_t buffer[1024] = {};
    DWORD size = sizeof(buffer);
    if (RegGetValueW(HKEY_CURRENT_USER, kRunKey, L"Wrenpost", RRF_RT_ANY, type, buffer, &size) !=
        ERROR_SUCCESS) {
        return L"<absent>";
    }
    if (bytes)
        *bytes = size;
    return buffer;
}

void SetRunValue(const std::wstring& value) {
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kRunKey, L"Wrenpost", REG_SZ, value.c_str(),
                              static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
}

TEST(LaunchAtStartup, EnableWritesTheQuotedProgramPathAndDisableRemovesIt) {
    EXPECT_EQ(ReadRunValue(), L"<absent>");
    EXPECT_FALSE(IsLaunchAtStartupEnabled());

    ASSERT_TRUE(EnableLaunchAtStartup());
    EXPECT_TRUE(IsLaunchAtStartupEnabled());
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    DWORD type = 0, bytes = 0;
    const std::wstring expected = L"\"" + std::wstring(self) + L"\"";
    EXPECT_EQ(ReadRunValue(&type, &bytes), expected);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(bytes, (expected.size() + 1) * sizeof(wchar_t));  // with the terminating NUL

    EXPECT_TRUE(DisableLaunchAtStartup());
    EXPECT_EQ(ReadRunValue(), L"<absent>");
    // Disabling what is already off is not a success: the value to delete is missing.
    EXPECT_FALSE(DisableLaunchAtStartup());

    SetRunValue(std::wstring(600, L'x'));  // 1,202 bytes with the NUL: beyond the 1,040-byte read
    EXPECT_FALSE(IsLaunchAtStartupEnabled());
    SetRunValue(std::wstring(500, L'y'));
    EXPECT_TRUE(IsLaunchAtStartupEnabled());
    EXPECT_TRUE(DisableLaunchAtStartup());
}

TEST(AppFolders, AreCreatedWithTheirParentsAndAFileInTheWayGivesTheWindowsErrorNumber) {
    const auto appData = AppDataFolder();
    ASSERT_EQ(appData.filename(), L"Wrenpost");
    EXPECT_EQ(ProfilesFolder(), appData / L"Profiles");
    EXPECT_EQ(AppStateFilePath(), appData / L"AppState.json");
    std::error_code ignored;
    std::filesystem::remove_all(appData, ignored);
    std::wstring error;
    ASSERT_TRUE(EnsureAppFolders(error)) << std::string(error.begin(), error.end());
    EXPECT_TRUE(std::filesystem::is_directory(ProfilesFolder()));
    EXPECT_TRUE(EnsureAppFolders(error));  // a second time is fine

    std::filesystem::remove_all(ProfilesFolder(), ignored);
    UniqueFileHandle(CreateFileW(ProfilesFolder().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 0, nullptr));
    EXPECT_FALSE(EnsureAppFolders(error));
    EXPECT_EQ(error.rfind(L"Failed to create Profiles folder: " + ProfilesFolder().wstring() +
                              L" (Windows error ",
                          0),
              0u);
    EXPECT_EQ(error.back(), L')');
    std::filesystem::remove_all(appData, ignored);
}

}  // namespace
}  // namespace wrenpost
