// The profile configuration file: its exact bytes, the tolerant reader, and what the store does
// when reading or writing fails.
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
    config.Recipients.push_back({L"12345", L"Ann", true, L"2025-03-07 14:05:09", L"Never"});
    config.Recipients.push_back(
        {L"-100200", L"Ops \"Desk\"", false, L"2025-03-08 09:00:00", L"2025-03-09 10:11:12"});
    config.SelectedFolders.push_back({L"Inbox", L"\\\\Mailbox - Ann\\Inbox", L"00AB", L"00CD",
                                      L"Mailbox - Ann", L"2025-03-07 14:00:00", 0});
    config.FolderTitles.push_back({L"\\\\Mailbox - Ann\\Inbox", L"Caf\u00e9 mail"});
    return config;
}

TEST(ProfileConfigFile, IsWrittenByteForByteInTheFixedLayoutAndReadsBack) {
    TempDir dir;
    ProfileConfig written = SampleConfig();
    written.SelectedFolders[0].Depth = 3;  // discovery data, not stored
    ProfileConfigStore store;
    ASSERT_TRUE(store.WriteProfileConfig(dir / L"SalesConfig.json", written));
    EXPECT_EQ(ReadAllBytes(dir / L"SalesConfig.json"),
              "{\r\n  \"ProfileName\": \"Sales\",\r\n  \"Source\": \"Outlook Classic\",\r\n"
              "  \"Operation\": \"Notification\",\r\n  \"Provider\": \"Telegram\",\r\n"
              "  \"Recipients\": [\r\n    {\r\n      \"ChatId\": \"12345\",\r\n"
              "      \"DisplayName\": \"Ann\",\r\n      \"Allowed\": true,\r\n"
              "      \"RegisteredOn\": \"2025-03-07 14:05:09\",\r\n"
              "      \"LastNotification\": \"Never\"\r\n    },\r\n    {\r\n"
              "      \"ChatId\": \"-100200\",\r\n      \"DisplayName\": \"Ops \\\"Desk\\\"\",\r\n"
              "      \"Allowed\": false,\r\n      \"RegisteredOn\": \"2025-03-08 09:00:00\",\r\n"
              "      \"LastNotification\": \"2025-03-09 10:11:12\"\r\n    }\r\n  ],\r\n"
              "  \"CheckInterval\": 30,\r\n  \"IncludeOldMessages\": true,\r\n"
              "  \"SelectedFolders\": [\r\n    {\r\n      \"Name\": \"Inbox\",\r\n"
              "      \"FolderPath\": \"\\\\\\\\Mailbox - Ann\\\\Inbox\",\r\n"
              "      \"EntryId\": \"00AB\",\r\n      \"StoreId\": \"00CD\",\r\n"
              "      \"StoreName\": \"Mailbox - Ann\",\r\n"
              "      \"DetectedOn\": \"2025-03-07 14:00:00\"\r\n    }\r\n  ],\r\n"
              "  \"UseSameTitle\": false,\r\n  \"DefaultTitle\": \"New Mail\",\r\n"
              "  \"FolderTitles\": [\r\n    {\r\n"
              "      \"FolderPath\": \"\\\\\\\\Mailbox - Ann\\\\Inbox\",\r\n"
              "      \"Title\": \"Caf\xE9 mail\"\r\n    }\r\n  ]\r\n}\r\n");
    EXPECT_EQ(store.Current(), written);
    ASSERT_TRUE(store.ReadProfileConfig(dir / L"SalesConfig.json"));
    EXPECT_EQ(store.Current(), SampleConfig());

    const std::wstring empty = FormatProfileConfig(ProfileConfig{});
    EXPECT_NE(empty.find(L"  \"Recipients\": [\n  ],\n  \"CheckInterval\": 10,\n"),
              std::wstring::npos);
    EXPECT_NE(empty.find(L"  \"SelectedFolders\": [\n  ],\n"), std::wstring::npos);
    EXPECT_NE(empty.find(L"  \"FolderTitles\": [\n  ]\n}\n"), std::wstring::npos);
    EXPECT_EQ(ParseProfileConfig(empty), ProfileConfig{});
    EXPECT_EQ(ParseProfileConfig(L""), ProfileConfig{});
}

// Known limits kept as the format defines them (the key readers themselves are proven in the
// JsonText tests).
TEST(ProfileConfigReader, NegativeIntervalsAndEmptySelectorsReadAsDefaults) {
    const ProfileConfig c = ParseProfileConfig(
        L"{\"CheckInterval\": -5, \"Source\": \"\", \"Operation\": \"\", \"Provider\": \"\"}");
    EXPECT_EQ(c, ProfileConfig{});
    EXPECT_EQ(ParseProfileConfig(L"{\"CheckInterval\" :\n 45,}").CheckInterval, 45);
}

TEST(ProfileConfigReader, RecipientsNeedTheExactKeysInOrderAndAllAreKept) {
    const std::wstring one =
        L"{\"ChatId\": \"1\", \"DisplayName\": \"One\", \"Allowed\": true, "
        L"\"RegisteredOn\": \"r1\", \"LastNotification\": \"Never\"}";
    const std::wstring text =
        L"{\"Recipients\": [\n" + one + L",\n" + one +
        L",\n{\"DisplayName\": \"Two\", \"ChatId\": \"2\", \"Allowed\": true, "
        L"\"RegisteredOn\": \"r2\", \"LastNotification\": \"Never\"},\n"
        L"{\"ChatId\": \"3\", \"DisplayName\": \"Three\", \"Allowed\": true, "
        L"\"RegisteredOn\": \"r3\", \"LastNotification\": \"Never\", \"Extra\": \"x\"},\n"
        L"{\"ChatId\":\"4\",\"DisplayName\":\"Four\",\"Allowed\":false,"
        L"\"RegisteredOn\":\"r4\",\"LastNotification\":\"l4\"}\n]}";
    const ProfileConfig c = ParseProfileConfig(text);
    ASSERT_EQ(c.Recipients.size(), 3u);
    EXPECT_EQ(c.Recipients[1], (RecipientEntry{L"1", L"One", true, L"r1", L"Never"}));
    EXPECT_EQ(c.Recipients[2], (RecipientEntry{L"4", L"Four", false, L"r4", L"l4"}));
}

TEST(ProfileConfigReader, AMegabyteValueReadsBackWholeAndAnUnterminatedOneIsIgnored) {
    ProfileConfig config = SampleConfig();
    config.ProfileName = std::wstring(1 << 20, L'n');
    config.Recipients[0].DisplayName = std::wstring(1 << 20, L'\\');
    config.FolderTitles[0].Title = std::wstring(1 << 16, L'"');
    EXPECT_EQ(ParseProfileConfig(FormatProfileConfig(config)), config);
    EXPECT_TRUE(
        ParseProfileConfig(L"{\"ChatId\": \"" + std::wstring(1 << 20, L'x')).Recipients.empty());
}

TEST(ProfileStore, AFailedReadOrWriteKeepsTheStoreAndTheOldFile) {
    TempDir dir;
    ProfileConfigStore store;
    testing::WriteAllBytes(dir / L"not-a-folder", "x");
    EXPECT_FALSE(store.WriteProfileConfig(dir / L"not-a-folder" / L"Config.json", SampleConfig()));
    EXPECT_EQ(store.Current(), ProfileConfig{});
    EXPECT_FALSE(store.ReadProfileConfig(dir / L"MissingConfig.json"));
    EXPECT_EQ(store.Current(), ProfileConfig{});

    const auto path = dir / L"SalesConfig.json";
    ASSERT_TRUE(store.WriteProfileConfig(path, SampleConfig()));
    const std::string before = ReadAllBytes(path);
    FailNextAtomicWritesForTesting(2);
    EXPECT_FALSE(store.WriteProfileConfig(path, ProfileConfig{}));
    std::wstring error;
    EXPECT_FALSE(SaveProfileConfig(path, ProfileConfig{}, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(ReadAllBytes(path), before);
    EXPECT_EQ(store.Current(), SampleConfig());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 2);
}

}  // namespace
}  // namespace wrenpost
