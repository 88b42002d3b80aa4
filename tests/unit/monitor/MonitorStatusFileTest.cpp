// The status file: exact layout with escaping, and characters beyond one byte.
#include <gtest/gtest.h>

#include "MonitorTestKit.h"
#include "monitor/MonitorStatusFile.h"

namespace wrenpost::testing {
namespace {

MailSnapshot Seen(const std::wstring& subject) {
    return Mail(L"\\\\Mailbox\\Inbox", subject, 1);
}

TEST(MonitorStatusFile, ExactLayoutOldestFirstWithEscapes) {
    MonitorStatusReport report{L"Work", L"Running", L"-", 0, 0, nullptr};
    EXPECT_EQ(EncodeTextFile(FormatMonitorStatus(report)),
              "{\r\n  \"ProfileName\": \"Work\",\r\n  \"Status\": \"Running\",\r\n"
              "  \"LastCheck\": \"-\",\r\n  \"MessagesSent\": 0,\r\n  \"QueueCount\": 0,\r\n"
              "  \"SeenMessages\": [\r\n  ]\r\n}\r\n");

    const std::deque<MailSnapshot> seen{Seen(L"Say \"hi\"\r\n\tnow"), Seen(L"Second")};
    report = {L"Wo\"rk", L"Stopped", L"2026-01-01 09:00:10", 12, -3, &seen};
    const std::wstring entry =
        L"    {\n      \"FolderPath\": \"\\\\\\\\Mailbox\\\\Inbox\",\n      \"Subject\": \"%\",\n"
        L"      \"SenderName\": \"Ada Sender\",\n"
        L"      \"ReceivedTime\": \"2026-01-01 09:00:00\",\n      \"EntryId\": \"ENTRY-%\"\n    }";
    auto with = [&entry](const std::wstring& subject) {
        std::wstring text = entry;
        for (std::size_t at; (at = text.find(L'%')) != std::wstring::npos;) {
            text.replace(at, 1, subject);
        }
        return text;
    };
    EXPECT_EQ(FormatMonitorStatus(report),
              L"{\n  \"ProfileName\": \"Wo\\\"rk\",\n  \"Status\": \"Stopped\",\n"
              L"  \"LastCheck\": \"2026-01-01 09:00:10\",\n  \"MessagesSent\": 12,\n"
              L"  \"QueueCount\": -3,\n  \"SeenMessages\": [\n" +
                  with(L"Say \\\"hi\\\"\\r\\n\\tnow") + L",\n" + with(L"Second") + L"\n  ]\n}\n");
}

TEST(MonitorStatusFile, NonLatinTextMakesTheWholeFileUtf8) {
    TempDir dir;
    const std::wstring subject = L"\x0421\x0447\x0451\x0442 caf\x00e9";
    const std::deque<MailSnapshot> seen{Seen(subject)};
    const auto path = dir / L"a" / L"WorkMonitor.json";  // missing folders are created
    ASSERT_TRUE(WriteMonitorStatusFile(path, {L"Work", L"Running", L"-", 0, 0, &seen}));
    EXPECT_EQ(ReadAllBytes(path).substr(0, 4), "\xEF\xBB\xBF{");
    std::wstring text;
    ASSERT_TRUE(ReadTextFile(path, text));
    EXPECT_EQ(ReadJsonStringField(text, L"Subject"), subject);

    WriteAllBytes(dir / L"blocker", "a file, not a folder");  // failures are reported, not thrown
    EXPECT_FALSE(WriteMonitorStatusFile(dir / L"blocker" / L"WorkMonitor.json", {}));
}

}  // namespace
}  // namespace wrenpost::testing
