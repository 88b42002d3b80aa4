// The profile configuration file: its exact bytes, defaults, and what the store does when reading
// or writing fails.
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

TEST(ProfileConfigFile, IsWrittenByteForByteInTheFixedLayoutAndReadsBack) {
    TempDir dir;
    ProfileConfig written = SampleConfig();
    written.SelectedFolders[0].Depth = 3;  // discovery data, not stored
    ProfileConfigStore store;
    ASSERT_TRUE(store.WriteProfileConfig(dir / L"SalesConfig.json", written));
    EXPECT_EQ(
        ReadAllBytes(dir / L"SalesConfig.json"),
        "{\r\n  \"ProfileName\": \"Sales\",\r\n  \"Source\": \"Outlook Classic\",\r\n"
        "  \"Operation\": \"Notification\",\r\n  \"Provider\": \"Telegram\",\r\n"
        "  \"Recipients\": [\r\n    {\r\n      \"ChatId\": \"-100200\",\r\n"
        "      \"DisplayName\": \"Ops \\\"Desk\\\"\",\r\n      \"Allowed\": false,\r\n"
        "      \"RegisteredOn\": \"2025-03-08 09:00:00\",\r\n"
        "      \"LastNotification\": \"Never\"\r\n    }\r\n  ],\r\n"
        "  \"CheckInterval\": 30,\r\n  \"IncludeOldMessages\": true,\r\n"
        "  \"SelectedFolders\": [\r\n    {\r\n      \"Name\": \"Inbox\",\r\n"
        "      \"FolderPath\": \"\\\\\\\\Ann\\\\Inbox\",\r\n      \"EntryId\": \"00AB\",\r\n"
        "      \"StoreId\": \"00CD\",\r\n      \"StoreName\": \"Ann\",\r\n"
        "      \"DetectedOn\": \"D\"\r\n    }\r\n  ],\r\n"
        "  \"UseSameTitle\": false,\r\n  \"DefaultTitle\": \"New Mail\",\r\n"
        "  \"FolderTitles\": [\r\n    {\r\n      \"FolderPath\": \"\\\\\\\\Ann\\\\Inbox\",\r\n"
        "      \"Title\": \"Caf\xE9 mail\"\r\n    }\r\n  ]\r\n}\r\n");
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

}  // namespace
}  // namespace wrenpost
