// The status file: exact layout, escaping, characters beyond one byte, and replacement in one
// step.
#include <gtest/gtest.h>

#include <deque>

#include "MonitorTestKit.h"
#include "TinyJson.h"
#include "common/TextFile.h"
#include "monitor/MonitorStatusFile.h"
#include "support/TempDir.h"

namespace wrenpost {
namespace {

using testing::ParseJson;
using testing::TempDir;

MailSnapshot Seen(const std::wstring& subject) {
    MailSnapshot message = testing::Message(L"\\\\Mailbox\\Inbox", subject, 1);
    message.SenderName = L"Bob";
    message.EntryId = L"00AB";
    return message;
}

TEST(StatusFileLayout, EmptySeenListClosesTheArrayOnTheNextLine) {
    MonitorStatusReport report{L"Work", L"Running", L"-", 0, 0, nullptr};
    EXPECT_EQ(EncodeTextFile(FormatMonitorStatus(report)),
              "{\r\n"
              "  \"ProfileName\": \"Work\",\r\n"
              "  \"Status\": \"Running\",\r\n"
              "  \"LastCheck\": \"-\",\r\n"
              "  \"MessagesSent\": 0,\r\n"
              "  \"QueueCount\": 0,\r\n"
              "  \"SeenMessages\": [\r\n"
              "  ]\r\n"
              "}\r\n");
}

TEST(StatusFileLayout, EntriesOldestFirstWithCommasBetween) {
    const std::deque<MailSnapshot> seen{Seen(L"First"), Seen(L"Second")};
    MonitorStatusReport report{L"Work", L"Stopped", L"-", 12, -3, &seen};
    EXPECT_EQ(FormatMonitorStatus(report),
              L"{\n"
              L"  \"ProfileName\": \"Work\",\n"
              L"  \"Status\": \"Stopped\",\n"
              L"  \"LastCheck\": \"-\",\n"
              L"  \"MessagesSent\": 12,\n"
              L"  \"QueueCount\": -3,\n"
              L"  \"SeenMessages\": [\n"
              L"    {\n"
              L"      \"FolderPath\": \"\\\\\\\\Mailbox\\\\Inbox\",\n"
              L"      \"Subject\": \"First\",\n"
              L"      \"SenderName\": \"Bob\",\n"
              L"      \"ReceivedTime\": \"2026-01-01 09:00:00\",\n"
              L"      \"EntryId\": \"00AB\"\n"
              L"    },\n"
              L"    {\n"
              L"      \"FolderPath\": \"\\\\\\\\Mailbox\\\\Inbox\",\n"
              L"      \"Subject\": \"Second\",\n"
              L"      \"SenderName\": \"Bob\",\n"
              L"      \"ReceivedTime\": \"2026-01-01 09:00:00\",\n"
              L"      \"EntryId\": \"00AB\"\n"
              L"    }\n"
              L"  ]\n"
              L"}\n");
}

TEST(StatusFileContent, QuotesLineBreaksAndTabsStayValidJson) {
    TempDir dir;
    const std::wstring subject = L"Say \"hi\"\r\nnext line\tand a back\\slash";
    const std::deque<MailSnapshot> seen{Seen(subject)};
    const auto path = dir.Path() / L"WorkMonitor.json";
    ASSERT_TRUE(
        WriteMonitorStatusFile(path, {L"Wo\"rk", L"Running", L"2026-01-01 09:00:10", 1, 0, &seen}));
    std::wstring text;
    ASSERT_TRUE(ReadTextFile(path, text));
    const auto json = ParseJson(text);
    ASSERT_TRUE(json.has_value()) << "not valid JSON";
    EXPECT_EQ(json->Find(L"ProfileName")->text, L"Wo\"rk");
    EXPECT_EQ(json->Find(L"MessagesSent")->number, 1);
    const auto* list = json->Find(L"SeenMessages");
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->items.size(), 1u);
    EXPECT_EQ(list->items[0].Find(L"Subject")->text, subject);
}

TEST(StatusFileContent, NonLatinTextIsWrittenWholeAsUtf8) {
    TempDir dir;
    const std::deque<MailSnapshot> seen{Seen(L"\x0421\x0447\x0451\x0442 \x2116 7 caf\x00e9")};
    const auto path = dir.Path() / L"WorkMonitor.json";
    ASSERT_TRUE(WriteMonitorStatusFile(path, {L"Work", L"Running", L"-", 0, 0, &seen}));
    const std::string bytes = testing::ReadAllBytes(path);
    ASSERT_GE(bytes.size(), 3u);
    EXPECT_EQ(bytes.substr(0, 3), "\xEF\xBB\xBF");
    std::wstring text;
    ASSERT_TRUE(ReadTextFile(path, text));
    const auto json = ParseJson(text);
    ASSERT_TRUE(json.has_value());
    EXPECT_EQ(json->Find(L"SeenMessages")->items[0].Find(L"Subject")->text,
              L"\x0421\x0447\x0451\x0442 \x2116 7 caf\x00e9");
}

TEST(StatusFileWrite, CreatesMissingFolders) {
    TempDir dir;
    const auto path = dir.Path() / L"a" / L"b" / L"WorkMonitor.json";
    EXPECT_TRUE(WriteMonitorStatusFile(path, {L"Work", L"Running", L"-", 0, 0, nullptr}));
    EXPECT_TRUE(std::filesystem::exists(path));
}

TEST(StatusFileWrite, AnImpossiblePathIsSwallowed) {
    TempDir dir;
    testing::WriteAllBytes(dir.Path() / L"blocker", "file, not folder");
    EXPECT_FALSE(WriteMonitorStatusFile(dir.Path() / L"blocker" / L"WorkMonitor.json",
                                        {L"Work", L"Running", L"-", 0, 0, nullptr}));
}

}  // namespace
}  // namespace wrenpost
