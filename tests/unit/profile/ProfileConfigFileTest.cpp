// The profile configuration file: what is stored, defaults, and what the store does when reading
// or writing fails (the saved samples pin the exact bytes).
#include <gtest/gtest.h>

#include "common/TextFile.h"
#include "profile/ProfileConfig.h"
#include "support/TempDir.h"

namespace wrenpost {
namespace {

using testing::ReadAllBytes;
using testing::TempDir;

ProfileConfig SampleConfig() {
    ProfileConfig config;
    config.ProfileName = L"Sales";
    config.CheckInterval = 30;
    config.IncludeOldMessages = true;
    config.UseSameTitle = false;
    config.DefaultTitle = L"New Mail";
    config.Recipients = {{L"-100200", L"Ops \"Desk\"", false, L"2025-03-08 09:00:00", L"Never"}};
    config.SelectedFolders = {{L"Inbox", L"\\\\Ann\\Inbox", L"00AB", L"00CD", L"Ann", L"D", 0}};
    config.FolderTitles = {{L"\\\\Ann\\Inbox", L"Caf\u00e9 mail"}};
    return config;
}

TEST(ProfileConfigFile, ReadsBackWhatItWroteWithoutDiscoveryData) {
    TempDir dir;
    ProfileConfig written = SampleConfig();
    written.SelectedFolders[0].Depth = 3;  // discovery data, not stored
    ProfileConfigStore store;
    ASSERT_TRUE(store.WriteProfileConfig(dir / L"SalesConfig.json", written));
    EXPECT_EQ(store.Current(), written);
    ASSERT_TRUE(store.ReadProfileConfig(dir / L"SalesConfig.json"));
    EXPECT_EQ(store.Current(), SampleConfig());

    EXPECT_EQ(ParseProfileConfig(L"{\"Source\": \"\"}"), ProfileConfig{});

    // A failed read or write keeps the store and the old file.
    const std::string before = ReadAllBytes(dir / L"SalesConfig.json");
    FailNextAtomicWritesForTesting(2);
    EXPECT_FALSE(store.WriteProfileConfig(dir / L"SalesConfig.json", ProfileConfig{}));
    EXPECT_FALSE(SaveProfileConfig(dir / L"SalesConfig.json", ProfileConfig{}));
    EXPECT_FALSE(store.ReadProfileConfig(dir / L"MissingConfig.json"));
    EXPECT_EQ(ReadAllBytes(dir / L"SalesConfig.json"), before);
    EXPECT_EQ(store.Current(), SampleConfig());
}

// The message members follow every older member, so the recipient, folder and title objects an
// older reader matches by exact shape are the same text with or without them.
TEST(ProfileConfigFile, MessageMembersFollowTodaysTextAndReadBackWithinRange) {
    ProfileConfig config = SampleConfig();
    const std::wstring today = FormatProfileConfig(config);
    config.Message = {MessageContent::Preview, 350, {true, 0x1F, 23 * 60, 6 * 60}, true, 8};
    config.RecipientTopics = {{L"-100200", 42}};
    const std::wstring text = FormatProfileConfig(config);
    EXPECT_EQ(text.substr(0, today.size() - 3), today.substr(0, today.size() - 3));
    EXPECT_EQ(text.substr(today.size() - 3),
              L",\n  \"MessageContent\": \"Preview\",\n  \"PreviewLength\": 350,\n"
              L"  \"QuietHoursEnabled\": true,\n  \"QuietHoursDays\": 31,\n"
              L"  \"QuietHoursStart\": 1380,\n  \"QuietHoursEnd\": 360,\n"
              L"  \"CombineBursts\": true,\n  \"BurstThreshold\": 8,\n"
              L"  \"RecipientTopics\": [\n    {\n      \"ChatId\": \"-100200\",\n"
              L"      \"MessageThreadId\": 42\n    }\n  ]\n}\n");
    EXPECT_EQ(ParseProfileConfig(text), config);

    // Out of range: brought into it; unknown level: the default; a topic needs a chat and an id.
    const ProfileConfig read = ParseProfileConfig(
        L"{\"MessageContent\": \"Loud\", \"PreviewLength\": 0, \"BurstThreshold\": 99, "
        L"\"QuietHoursEnd\": 1440, \"QuietHoursDays\": -1, \"RecipientTopics\": ["
        L"{\"ChatId\": \"7\", \"MessageThreadId\": 0}, {\"ChatId\": \"\", "
        L"\"MessageThreadId\": 3}, {\"ChatId\": \"8\", \"MessageThreadId\": 9}]}");
    EXPECT_EQ(read.Message,
              (MessageOptions{MessageContent::SubjectOnly, 1, {false, 0, 1320, 1439}, false, 50}));
    EXPECT_EQ(read.RecipientTopics, (std::vector<RecipientTopic>{{L"8", 9}}));
}

}  // namespace
}  // namespace wrenpost
