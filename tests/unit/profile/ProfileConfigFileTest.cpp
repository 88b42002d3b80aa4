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
using testing::WriteAllBytes;

ProfileConfig SampleConfig() {
    ProfileConfig config = DefaultProfileConfig();
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

ProfileConfig ReadBack(const std::filesystem::path& path) {
    ProfileConfigStore store;
    EXPECT_TRUE(store.ReadProfileConfig(path));
    return store.Current();
}

ProfileConfig WriteAndReadBack(const ProfileConfig& config) {
    TempDir dir;
    ProfileConfigStore store;
    EXPECT_TRUE(store.WriteProfileConfig(dir / L"RoundConfig.json", config));
    return ReadBack(dir / L"RoundConfig.json");
}

TEST(ProfileConfigFile, IsWrittenByteForByteInTheFixedLayout) {
    TempDir dir;
    ProfileConfigStore store;
    ASSERT_TRUE(store.WriteProfileConfig(dir / L"SalesConfig.json", SampleConfig()));
    const std::string expected =
        "{\r\n"
        "  \"ProfileName\": \"Sales\",\r\n"
        "  \"Source\": \"Outlook Classic\",\r\n"
        "  \"Operation\": \"Notification\",\r\n"
        "  \"Provider\": \"Telegram\",\r\n"
        "  \"Recipients\": [\r\n"
        "    {\r\n"
        "      \"ChatId\": \"12345\",\r\n"
        "      \"DisplayName\": \"Ann\",\r\n"
        "      \"Allowed\": true,\r\n"
        "      \"RegisteredOn\": \"2025-03-07 14:05:09\",\r\n"
        "      \"LastNotification\": \"Never\"\r\n"
        "    },\r\n"
        "    {\r\n"
        "      \"ChatId\": \"-100200\",\r\n"
        "      \"DisplayName\": \"Ops \\\"Desk\\\"\",\r\n"
        "      \"Allowed\": false,\r\n"
        "      \"RegisteredOn\": \"2025-03-08 09:00:00\",\r\n"
        "      \"LastNotification\": \"2025-03-09 10:11:12\"\r\n"
        "    }\r\n"
        "  ],\r\n"
        "  \"CheckInterval\": 30,\r\n"
        "  \"IncludeOldMessages\": true,\r\n"
        "  \"SelectedFolders\": [\r\n"
        "    {\r\n"
        "      \"Name\": \"Inbox\",\r\n"
        "      \"FolderPath\": \"\\\\\\\\Mailbox - Ann\\\\Inbox\",\r\n"
        "      \"EntryId\": \"00AB\",\r\n"
        "      \"StoreId\": \"00CD\",\r\n"
        "      \"StoreName\": \"Mailbox - Ann\",\r\n"
        "      \"DetectedOn\": \"2025-03-07 14:00:00\"\r\n"
        "    }\r\n"
        "  ],\r\n"
        "  \"UseSameTitle\": false,\r\n"
        "  \"DefaultTitle\": \"New Mail\",\r\n"
        "  \"FolderTitles\": [\r\n"
        "    {\r\n"
        "      \"FolderPath\": \"\\\\\\\\Mailbox - Ann\\\\Inbox\",\r\n"
        "      \"Title\": \"Caf\xE9 mail\"\r\n"
        "    }\r\n"
        "  ]\r\n"
        "}\r\n";
    EXPECT_EQ(ReadAllBytes(dir / L"SalesConfig.json"), expected);
    EXPECT_EQ(store.Current(), SampleConfig());
    EXPECT_EQ(ReadBack(dir / L"SalesConfig.json"), SampleConfig());
}

TEST(ProfileConfigFile, EmptyListsAreTwoLineArraysAndReadBackEmpty) {
    TempDir dir;
    ProfileConfigStore store;
    ASSERT_TRUE(store.WriteProfileConfig(dir / L"EConfig.json", DefaultProfileConfig()));
    const std::string bytes = ReadAllBytes(dir / L"EConfig.json");
    EXPECT_NE(bytes.find("  \"Recipients\": [\r\n  ],\r\n  \"CheckInterval\": 10,\r\n"),
              std::string::npos);
    EXPECT_NE(bytes.find("  \"SelectedFolders\": [\r\n  ],\r\n  \"UseSameTitle\": true,\r\n"),
              std::string::npos);
    EXPECT_NE(bytes.find("  \"FolderTitles\": [\r\n  ]\r\n}\r\n"), std::string::npos);

    store.SetCurrent(SampleConfig());
    ASSERT_TRUE(store.ReadProfileConfig(dir / L"EConfig.json"));
    EXPECT_TRUE(store.Current().Recipients.empty());
    EXPECT_TRUE(store.Current().SelectedFolders.empty());
    EXPECT_TRUE(store.Current().FolderTitles.empty());
}

TEST(ProfileConfigFile, FolderDepthIsNotStored) {
    ProfileConfig config = SampleConfig();
    config.SelectedFolders[0].Depth = 3;
    const ProfileConfig back = WriteAndReadBack(config);
    ASSERT_EQ(back.SelectedFolders.size(), 1u);
    EXPECT_EQ(back.SelectedFolders[0].Depth, 0);
    config.SelectedFolders[0].Depth = 0;
    EXPECT_EQ(back, config);
}

TEST(ProfileConfigEscaping, QuoteBackslashAndLineBreakAreEscapedAndReadBack) {
    ProfileConfig config = DefaultProfileConfig();
    config.ProfileName = L"A\"B\\C";
    config.Recipients.push_back({L"1", L"Ann\nLee", true, L"", L"Never"});
    const std::wstring text = FormatProfileConfig(config);
    EXPECT_NE(text.find(L"  \"ProfileName\": \"A\\\"B\\\\C\",\n"), std::wstring::npos);
    EXPECT_NE(text.find(L"\"DisplayName\": \"Ann\\nLee\","), std::wstring::npos);
    EXPECT_EQ(WriteAndReadBack(config), config);
}

TEST(ProfileConfigEscaping, UnicodeEscapesFromOtherToolsAreNotDecoded) {
    EXPECT_EQ(ParseProfileConfig(L"{\"ProfileName\": \"caf\\u00e9\"}").ProfileName, L"cafu00e9");
}

TEST(ProfileConfigReader, EmptyFileGivesTheDefaults) {
    TempDir dir;
    WriteAllBytes(dir / L"Config.json", "");
    ProfileConfigStore store;
    store.SetCurrent(SampleConfig());
    ASSERT_TRUE(store.ReadProfileConfig(dir / L"Config.json"));
    EXPECT_EQ(store.Current(), DefaultProfileConfig());
}

TEST(ProfileConfigReader, EmptySelectorValuesFallBackAndAbsentNameIsEmpty) {
    const ProfileConfig c =
        ParseProfileConfig(L"{\"Source\": \"\", \"Operation\": \"\", \"Provider\": \"\"}");
    EXPECT_EQ(c.Source, L"Outlook Classic");
    EXPECT_EQ(c.Operation, L"Notification");
    EXPECT_EQ(c.Provider, L"Telegram");
    EXPECT_EQ(c.ProfileName, L"");
    EXPECT_EQ(ParseProfileConfig(L"{\"Source\": \"Other\"}").Source, L"Other");
}

TEST(ProfileConfigReader, CheckIntervalOddities) {
    auto interval = [](const std::wstring& text) { return ParseProfileConfig(text).CheckInterval; };
    EXPECT_EQ(interval(L"{\"CheckInterval\": -5}"), 10);
    EXPECT_EQ(interval(L"{\"CheckInterval\": \"20\"}"), 10);
    EXPECT_EQ(interval(L"{\"CheckInterval\":0}"), 0);
    EXPECT_EQ(interval(L"{\"CheckInterval\": 2147483647}"), 2147483647);
    EXPECT_EQ(interval(L"{\"CheckInterval\": 2147483648}"), 10);
    EXPECT_EQ(interval(L"{\"CheckInterval\": 123456789012345678901234567890}"), 10);
    EXPECT_EQ(interval(L"{\"CheckInterval\" :\n 45,}"), 45);
}

TEST(ProfileConfigReader, UpperCaseBooleansAreNotRecognised) {
    const ProfileConfig c =
        ParseProfileConfig(L"{\"IncludeOldMessages\": TRUE, \"UseSameTitle\": FALSE}");
    EXPECT_FALSE(c.IncludeOldMessages);
    EXPECT_TRUE(c.UseSameTitle);
}

TEST(ProfileConfigReader, RecipientsWithOtherKeyOrderOrExtraKeysAreSkipped) {
    const std::wstring text =
        L"{\"Recipients\": [\n"
        L"{\"ChatId\": \"1\", \"DisplayName\": \"One\", \"Allowed\": true, "
        L"\"RegisteredOn\": \"r1\", \"LastNotification\": \"Never\"},\n"
        L"{\"DisplayName\": \"Two\", \"ChatId\": \"2\", \"Allowed\": true, "
        L"\"RegisteredOn\": \"r2\", \"LastNotification\": \"Never\"},\n"
        L"{\"ChatId\": \"3\", \"DisplayName\": \"Three\", \"Allowed\": true, "
        L"\"RegisteredOn\": \"r3\", \"LastNotification\": \"Never\", \"Extra\": \"x\"},\n"
        L"{\"ChatId\":\"4\",\"DisplayName\":\"Four\",\"Allowed\":false,"
        L"\"RegisteredOn\":\"r4\",\"LastNotification\":\"l4\"}\n"
        L"]}";
    const ProfileConfig c = ParseProfileConfig(text);
    ASSERT_EQ(c.Recipients.size(), 2u);
    EXPECT_EQ(c.Recipients[0], (RecipientEntry{L"1", L"One", true, L"r1", L"Never"}));
    EXPECT_EQ(c.Recipients[1], (RecipientEntry{L"4", L"Four", false, L"r4", L"l4"}));
}

TEST(ProfileConfigReader, DuplicateRecipientsAreAllKept) {
    ProfileConfig config = DefaultProfileConfig();
    config.Recipients.assign(3, RecipientEntry{L"7", L"Same", true, L"", L"Never"});
    EXPECT_EQ(WriteAndReadBack(config).Recipients.size(), 3u);
}

TEST(ProfileConfigReader, AMegabyteValueReadsBackWhole) {
    ProfileConfig config = SampleConfig();
    config.ProfileName = std::wstring(1 << 20, L'n');
    config.Recipients[0].DisplayName = std::wstring(1 << 20, L'\\');
    config.FolderTitles[0].Title = std::wstring(1 << 16, L'"');
    EXPECT_EQ(WriteAndReadBack(config), config);
    // An unterminated megabyte value is simply not recognised.
    const std::wstring broken = L"{\"ChatId\": \"" + std::wstring(1 << 20, L'x');
    EXPECT_TRUE(ParseProfileConfig(broken).Recipients.empty());
}

TEST(ProfileStore, FailedReadOrWriteKeepsTheCurrentConfiguration) {
    TempDir dir;
    ProfileConfigStore store;
    WriteAllBytes(dir / L"not-a-folder", "x");
    EXPECT_FALSE(store.WriteProfileConfig(dir / L"not-a-folder" / L"OtherConfig.json",
                                          SampleConfig()));
    EXPECT_EQ(store.Current(), DefaultProfileConfig());
    store.SetCurrent(SampleConfig());
    EXPECT_FALSE(store.ReadProfileConfig(dir / L"MissingConfig.json"));
    EXPECT_EQ(store.Current(), SampleConfig());
}

}  // namespace
}  // namespace wrenpost
