// The crash marker as the next start reads it, the dumps it keeps, and the status it rewrites.
#include <gtest/gtest.h>

#include "app/CrashMarker.h"
#include "common/Text.h"
#include "common/TextFile.h"
#include "monitor/MonitorStatusFile.h"

namespace wrenpost {
namespace {

TEST(CrashMarker, TheHandlersMarkerReadsBackAsWritten) {
    const struct {
        const wchar_t *profile, *status;
    } cases[] = {
        {L"Orders", L"C:\\Users\\a\\AppData\\Local\\Wrenpost\\Profiles\\Orders\\OrdersMonitor.json"},
        {L"Zoë Büro ✉", L"D:\\Prof iles\\Zoë Büro ✉Monitor.json"},
        {L"", L""},
    };
    for (const auto& c : cases) {
        const std::string bytes =
            FormatCrashMarkerHead(c.profile, c.status) + kCrashMarkerDumpKey + "Wrenpost-1.dmp\r\n";
        const CrashMarker marker = ParseCrashMarker(DecodeTextFile(bytes));
        EXPECT_EQ(marker.ProfileName, c.profile);
        EXPECT_EQ(marker.StatusFile, c.status);
        EXPECT_EQ(marker.DumpFile, L"Wrenpost-1.dmp");
    }
    EXPECT_EQ(ParseCrashMarker(L"Dump=x.dmp\njunk\nProfile=P").ProfileName, L"P");
}

TEST(CrashMarker, OnlyDumpsBeyondTheNewestFiveAreRemovedOldestFirst) {
    const std::vector<std::wstring> names = {
        L"Wrenpost-20261207-101010-005-44.dmp", L"LastCrash.txt",
        L"Wrenpost-20261205-090000-000-12.dmp", L"Wrenpost-20261207-101010-004-44.dmp",
        L"Wrenpost-20261206-235959-999-13.dmp", L"notes.dmp",
        L"Wrenpost-20261207-000000-000-14.dmp", L"Wrenpost-20261201-120000-000-9.dmp",
        L"Wrenpost-20261207-101011-000-3.dmp"};
    EXPECT_EQ(CrashDumpsToRemove(names, kCrashDumpsKept),
              (std::vector<std::wstring>{L"Wrenpost-20261201-120000-000-9.dmp",
                                         L"Wrenpost-20261205-090000-000-12.dmp"}));
    EXPECT_TRUE(CrashDumpsToRemove({names.begin(), names.begin() + 4}, kCrashDumpsKept).empty());
}

TEST(MonitorStatusReplace, OnlyTheStatusChanges) {
    std::deque<MailSnapshot> seen(1);
    seen[0].Subject = L"Status: \"Running\"";
    MonitorStatusReport report;
    report.ProfileName = L"Say \"Status\"";
    report.Status = L"Outlook Read Failed";
    report.SeenMessages = &seen;
    const std::wstring text = FormatMonitorStatus(report);
    report.Status = L"Crashed";
    EXPECT_EQ(ReplaceMonitorStatus(text, L"Crashed"), FormatMonitorStatus(report));
    for (const wchar_t* damaged : {L"", L"{\n  \"Status\": \"Running", L"{\"Status\":\"x\"}"}) {
        EXPECT_EQ(ReplaceMonitorStatus(damaged, L"Crashed"), std::nullopt) << damaged;
    }
}

}  // namespace
}  // namespace wrenpost
