// Writers of one profile file in this process take turns: a SAVE from the window never lands
// between the monitor's re-read and its write, and never undoes a notification time.
#include <gtest/gtest.h>

#include "WindowSave.h"
#include "common/TextFile.h"
#include "support/TempDir.h"

namespace wrenpost::testing {
namespace {

ProfileConfig Profile(const std::wstring& title, const std::wstring& lastNotification) {
    ProfileConfig config;
    config.DefaultTitle = title;
    config.Recipients = {{L"100", L"Ann", true, L"", lastNotification},
                         {L"200", L"Bob", true, L"", L"Never"}};
    return config;
}

ProfileConfig Read(const std::filesystem::path& path) {
    std::wstring text;
    EXPECT_TRUE(ReadTextFile(path, text));
    return ParseProfileConfig(text);
}

TEST(ProfileConfigLock, ASaveDuringTheWriteBackWaitsAndNeitherUndoesTheOther) {
    TempDir dir;
    const auto path = dir / L"WorkConfig.json";
    EXPECT_EQ(ConfigFileLockKey(path), ConfigFileLockKey(dir / L"x" / L".." / L"WORKCONFIG.json"));
    EXPECT_NE(ConfigFileLockKey(path), ConfigFileLockKey(dir / L"HomeConfig.json"));
    ASSERT_TRUE(SaveProfileConfig(path, Profile(L"Old", L"Never")));
    std::unique_ptr<WindowSave> save;
    const auto result = UpdateProfileConfig(path, [&](ProfileConfig& fresh) {
        // Between the monitor's re-read and its write, the window saves what it knows.
        save = std::make_unique<WindowSave>(dir / L"." / L"WorkConfig.json",
                                            Profile(L"Edited", L"Never"));
        fresh.Recipients[0].LastNotification = L"2026-01-01 09:00:00";
    });
    ASSERT_EQ(result, ProfileUpdateResult::Written);
    EXPECT_TRUE(save->Waited);
    EXPECT_TRUE(save->Saved());
    EXPECT_EQ(Read(path), Profile(L"Edited", L"2026-01-01 09:00:00"));

    // A SAVE keeps only a later notification time from the file.
    const struct {
        std::wstring onDisk, saved, expected;
    } rows[] = {
        {L"2026-01-01 09:00:00", L"Never", L"2026-01-01 09:00:00"},
        {L"2026-01-01 09:00:00", L"2026-01-01 08:59:59", L"2026-01-01 09:00:00"},
        {L"2026-01-01 09:00:00", L"2026-01-01 09:00:01", L"2026-01-01 09:00:01"},
        {L"Never", L"2026-01-01 09:00:00", L"2026-01-01 09:00:00"},
    };
    for (const auto& row : rows) {
        ProfileConfig onDisk = Profile(L"", row.onDisk);
        onDisk.Recipients[1].LastNotification = L"2026-01-01 08:00:00";
        std::filesystem::remove(path);
        ASSERT_TRUE(SaveProfileConfig(path, onDisk));
        ProfileConfig window = Profile(L"", row.saved);
        window.Recipients[1].ChatId = L"300";  // a chat the file does not know keeps its value
        ASSERT_TRUE(SaveProfileConfig(path, window));
        window.Recipients[0].LastNotification = row.expected;
        EXPECT_EQ(Read(path), window) << row.saved;
    }
}

}  // namespace
}  // namespace wrenpost::testing
