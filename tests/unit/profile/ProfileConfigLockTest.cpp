// Writers of one profile file in this process take turns: a SAVE from the window never lands
// between the monitor's re-read and its write, and never undoes a notification time.
#include <gtest/gtest.h>

#include "WindowSave.h"
#include "common/TextFile.h"
#include "support/TempDir.h"

namespace wrenpost::testing {
namespace {

TEST(ProfileConfigLock, OneKeyPerFileWhateverTheSpelling) {
    TempDir dir;
    const auto file = dir / L"WorkConfig.json";
    EXPECT_EQ(ConfigFileLockKey(file),
              ConfigFileLockKey(dir / L"sub" / L".." / L"WORKCONFIG.json"));
    EXPECT_EQ(ConfigFileLockKey(file), ConfigFileLockKey(dir / L"." / L"WorkConfig.json"));
    EXPECT_NE(ConfigFileLockKey(file), ConfigFileLockKey(dir / L"HomeConfig.json"));
}

ProfileConfig Profile(const std::wstring& title, const std::wstring& lastNotification) {
    ProfileConfig config;
    config.DefaultTitle = title;
    config.Recipients = {{L"100", L"Ann", true, L"", lastNotification},
                         {L"200", L"Bob", true, L"", L"2026-01-01 08:00:00"}};
    return config;
}

ProfileConfig Read(const std::filesystem::path& path) {
    std::wstring text;
    EXPECT_TRUE(ReadTextFile(path, text));
    return ParseProfileConfig(text);
}

TEST(ProfileConfigLock, ASaveDuringTheMonitorsWriteBackWaitsAndBothChangesSurvive) {
    TempDir dir;
    const auto path = dir / L"WorkConfig.json";
    ASSERT_TRUE(SaveProfileConfig(path, Profile(L"Old", L"Never")));
    std::unique_ptr<WindowSave> save;
    const auto result = UpdateProfileConfig(path, [&](ProfileConfig& fresh) {
        // Between the monitor's re-read and its write, the window saves what it knows.
        save = std::make_unique<WindowSave>(path, Profile(L"Edited", L"Never"));
        fresh.Recipients[0].LastNotification = L"2026-01-01 09:00:00";
    });
    ASSERT_EQ(result, ProfileUpdateResult::Written);
    EXPECT_TRUE(save->Waited);
    EXPECT_TRUE(save->Saved());
    const ProfileConfig saved = Read(path);
    EXPECT_EQ(saved.DefaultTitle, L"Edited");
    EXPECT_EQ(saved.Recipients[0].LastNotification, L"2026-01-01 09:00:00");
}

TEST(ProfileConfigLock, SaveKeepsOnlyALaterNotificationTimeFromTheFile) {
    const struct {
        std::wstring onDisk, saved, expected;
    } rows[] = {
        {L"2026-01-01 09:00:00", L"Never", L"2026-01-01 09:00:00"},
        {L"2026-01-01 09:00:00", L"2026-01-01 08:59:59", L"2026-01-01 09:00:00"},
        {L"2026-01-01 09:00:00", L"2026-01-01 09:00:01", L"2026-01-01 09:00:01"},
        {L"Never", L"2026-01-01 09:00:00", L"2026-01-01 09:00:00"},
        {L"garbage", L"Never", L"Never"},
    };
    TempDir dir;
    const auto path = dir / L"WorkConfig.json";
    for (const auto& row : rows) {
        std::filesystem::remove(path);
        ASSERT_TRUE(SaveProfileConfig(path, Profile(L"", row.onDisk)));
        ProfileConfig window = Profile(L"", row.saved);
        window.Recipients[1].ChatId = L"300";  // a chat the file does not know keeps its value
        window.Recipients[1].LastNotification = L"Never";
        ASSERT_TRUE(SaveProfileConfig(path, window));
        EXPECT_EQ(Read(path).Recipients[0].LastNotification, row.expected) << row.saved;
        EXPECT_EQ(Read(path).Recipients[1].LastNotification, L"Never");
    }
    EXPECT_EQ(UpdateProfileConfig(dir / L"GoneConfig.json", [](ProfileConfig&) {}),
              ProfileUpdateResult::ReadFailed);
    EXPECT_FALSE(std::filesystem::exists(dir / L"GoneConfig.json"));
}

}  // namespace
}  // namespace wrenpost::testing
