// Reading watched folders through the fake Outlook: which items become snapshots, with which
// texts, identities and delivery times.
#include <gtest/gtest.h>

#include <chrono>
#include <cwchar>
#include <future>

#include "OutlookTestSupport.h"
#include "common/UniqueHandle_win.h"
#include "outlook/MailReader.h"

namespace wrenpost {
namespace {

using testing::ScenarioLine;
using testing::WatchedFolder;

// Ticks since 1970 of a UTC calendar time, computed without Windows.
std::int64_t UtcTicks(int y, unsigned mo, unsigned d, int h, int mi, int s) {
    using namespace std::chrono;
    const sys_seconds time =
        sys_days{year{y} / month{mo} / day{d}} + hours{h} + minutes{mi} + seconds{s};
    return static_cast<std::int64_t>(time.time_since_epoch().count()) * 10000000;
}

std::wstring Stamp(int minute) {
    wchar_t text[32];
    std::swprintf(text, 32, L"received=2026-03-01 %02d:%02d:00", 8 + minute / 60, minute % 60);
    return text;
}

std::wstring Item(std::initializer_list<std::wstring> fields) {
    std::wstring line = L"item\tfolder=F1";
    for (const std::wstring& field : fields) {
        line += L"\t" + field;
    }
    return line + L"\n";
}

struct Read {
    bool Ok = false;
    std::vector<MailSnapshot> Snapshots;
    std::vector<std::wstring> Subjects;
};

const std::vector<SelectedFolder> kInbox = {WatchedFolder(L"F1", L"S1", L"\\\\Ann\\Inbox")};

Read ReadFolders(int limit, bool includeOld, const std::vector<SelectedFolder>& folders = kInbox) {
    Read read = testing::OnOwnThread([&] {
        Read result;
        result.Ok = ReadWatchedFolders(folders, limit, includeOld, result.Snapshots);
        return result;
    });
    for (const MailSnapshot& snapshot : read.Snapshots) {
        read.Subjects.push_back(snapshot.Subject);
    }
    return read;
}

const std::wstring kFolders = ScenarioLine({L"store", L"id=S1", L"name=Ann"}) +
                              ScenarioLine({L"folder", L"store=S1", L"path=Inbox", L"id=F1"}) +
                              ScenarioLine({L"folder", L"store=S1", L"path=Other", L"id=F2"});

void Scenario(const std::wstring& items) {
    ASSERT_TRUE(testing::RunningFakeOutlook().WriteScenario(kFolders + items));
}

using Subjects = std::vector<std::wstring>;

TEST(OutlookReading, ItemsGiveCompleteSnapshotsNewestFirst) {
    Scenario(Item({L"id=E1", L"subject=First", L"sender=Ann Smith", Stamp(1)}) +
             Item({L"id=E3", L"subject=Third \u0418\u0432\u0430\u043d", L"sender=Bob", Stamp(3),
                   L"delivery=2026-03-01 08:03:00", L"msgid=<three@example.com>"}) +
             Item({L"id=E2", L"subject=Second", Stamp(2)}));
    const Read read = ReadFolders(5, false);
    EXPECT_TRUE(read.Ok);
    ASSERT_EQ(read.Subjects, (Subjects{L"Third \u0418\u0432\u0430\u043d", L"Second", L"First"}));
    const MailSnapshot& newest = read.Snapshots[0];
    EXPECT_EQ(newest.FolderPath, L"\\\\Ann\\Inbox");
    EXPECT_EQ(newest.StoreId, L"S1");
    EXPECT_EQ(newest.EntryId, L"E3");
    EXPECT_EQ(newest.SenderName, L"Bob");
    EXPECT_EQ(newest.ReceivedTime, L"2026-03-01 08:03:00");
    EXPECT_EQ(newest.InternetMessageId, L"<three@example.com>");
    EXPECT_EQ(read.Snapshots[1].InternetMessageId, L"");
}

TEST(OutlookReading, NormalModeTakesTheNewestUpToTheLimitAndBacklogOnlyUnreadOnes) {
    std::wstring items;
    for (int i : {4, 11, 0, 7, 2, 9, 5, 10, 1, 8, 3, 6}) {
        items += Item({L"subject=M" + std::to_wstring(i), Stamp(i)});
    }
    Scenario(items);
    EXPECT_EQ(ReadFolders(5, false).Subjects, (Subjects{L"M11", L"M10", L"M9", L"M8", L"M7"}));
    EXPECT_EQ(ReadFolders(0, false).Subjects, (Subjects{L"M11", L"M10", L"M9"}));

    items.clear();
    for (int i = 0; i < 501; ++i) {
        // Rank 0 is the newest; unread at ranks 3, 7 and 500 (the last is out of reach).
        const int rank = 500 - i;
        const bool unread = rank == 3 || rank == 7 || rank == 500;
        items += Item(
            {L"subject=R" + std::to_wstring(rank), Stamp(i), unread ? L"unread=1" : L"unread=0"});
    }
    // An UnRead that is not a boolean does not count as unread.
    Scenario(items + Item({L"subject=odd", L"unread=str:1", Stamp(600)}));
    EXPECT_EQ(ReadFolders(50, true).Subjects, (Subjects{L"R3", L"R7"}));
    EXPECT_EQ(ReadFolders(1, true).Subjects, (Subjects{L"R3"}));

    Scenario(Item({L"subject=read", L"unread=0"}));
    const Read none = ReadFolders(50, true);
    EXPECT_FALSE(none.Ok);
    EXPECT_TRUE(none.Snapshots.empty());
}

TEST(OutlookReading, TheDeliveryTimeComesFromTheFirstSourceThatGivesOne) {
    const std::wstring submit = L"submit=2026-03-01 07:00:00";
    const std::wstring sent = L"senton=2026-03-01 06:00:00";
    const struct {
        std::wstring item;
        TimestampSourceKind source;
        std::int64_t ticks;
        std::wstring diagnostics;
    } cases[] = {
        {Item({L"subject=0", Stamp(9), L"delivery=2026-03-01 08:03:00"}), MapiDeliveryTime,
         UtcTicks(2026, 3, 1, 8, 3, 0), L""},
        {Item({L"subject=1", Stamp(8), L"delivery=baddate", submit}), ObjectModelReceivedTime, -1,
         L""},
        {Item({L"subject=2", Stamp(7), L"noaccessor", submit}), ObjectModelReceivedTime, -1, L""},
        {Item({L"subject=3", submit, sent}), SubmitOrSentTime, UtcTicks(2026, 3, 1, 7, 0, 0), L""},
        {Item({L"subject=4", L"noaccessor", sent}), SubmitOrSentTime, -1, L""},
        {Item({L"subject=5", L"noaccessor"}), UnknownTimestampSource, 0,
         L"MapiDeliveryTime vt=10; ReceivedTime vt=10; SubmitTime vt=10; SentOn vt=10"},
        {Item({L"subject=6", L"delivery=empty", L"received=str:yesterday", L"submit=i4:5",
               L"senton=baddate", L"msgid=i4:7"}),
         UnknownTimestampSource, 0,
         L"MapiDeliveryTime vt=0; ReceivedTime vt=8; SubmitTime vt=3; SentOn vt=7"},
    };
    std::wstring items;
    for (const auto& c : cases) {
        items += c.item;
    }
    Scenario(items);
    const Read read = ReadFolders(10, false);
    ASSERT_EQ(read.Subjects, (Subjects{L"0", L"1", L"2", L"3", L"4", L"5", L"6"}));
    for (std::size_t i = 0; i < read.Snapshots.size(); ++i) {
        const MailSnapshot& snapshot = read.Snapshots[i];
        EXPECT_EQ(snapshot.TimestampSource, cases[i].source) << i;
        EXPECT_EQ(snapshot.DeliveryTimeKnown, cases[i].source != UnknownTimestampSource) << i;
        if (cases[i].ticks >= 0) {
            EXPECT_EQ(snapshot.DeliveryTimeUtc, cases[i].ticks) << i;
        }
        EXPECT_EQ(snapshot.DeliveryDiagnostics, cases[i].diagnostics) << i;
    }
    EXPECT_EQ(read.Snapshots[6].ReceivedTime, L"");
    EXPECT_EQ(read.Snapshots[6].InternetMessageId, L"");
}

TEST(OutlookReading, ItemsWithNeitherSubjectNorIdAreSkippedWithinTheNewestFive) {
    Scenario(Item({Stamp(9)}) + Item({L"subject=", L"id=", Stamp(8)}) + Item({L"id=M1", Stamp(7)}) +
             Item({L"subject=Kept", Stamp(6)}) + Item({L"subject=Fifth", Stamp(5)}) +
             Item({L"subject=Beyond", Stamp(4)}));
    const Read read = ReadFolders(5, false);
    ASSERT_EQ(read.Subjects, (Subjects{L"", L"Kept", L"Fifth"}));
    EXPECT_EQ(read.Snapshots[0].EntryId, L"M1");
}

TEST(OutlookReading, FoldersThatCannotBeOpenedOrSortedDoNotStopTheOthers) {
    const std::wstring items = Item({L"subject=In inbox", Stamp(1)}) +
                               L"item\tfolder=F2\tsubject=In other\t" + Stamp(2) + L"\n";
    const std::vector<SelectedFolder> folders = {kInbox[0], WatchedFolder(L"F1", L"S2"),
                                                 WatchedFolder(L"gone", L"S1"),
                                                 WatchedFolder(L"F2", L"S1", L"\\\\Ann\\Other")};
    Scenario(items);
    EXPECT_EQ(ReadFolders(5, false, folders).Subjects, (Subjects{L"In inbox", L"In other"}));

    // The same running Outlook, changed between cycles: Inbox can no longer be opened.
    ASSERT_TRUE(testing::RunningFakeOutlook().WriteScenario(
        ScenarioLine({L"store", L"id=S1", L"name=Ann"}) +
        ScenarioLine({L"folder", L"store=S1", L"path=Inbox", L"id=F1", L"unopenable"}) +
        ScenarioLine({L"folder", L"store=S1", L"path=Other", L"id=F2", L"nosort"}) + items +
        L"item\tfolder=F2\tsubject=New\t" + Stamp(3) + L"\n"));
    const Read read = ReadFolders(5, false, folders);
    EXPECT_TRUE(read.Ok);
    // Unsorted: Outlook's own order.
    EXPECT_EQ(read.Subjects, (Subjects{L"In other", L"New"}));
    EXPECT_EQ(read.Snapshots[0].FolderPath, L"\\\\Ann\\Other");

    EXPECT_FALSE(ReadFolders(5, false, {}).Ok);
    Scenario(L"");
    EXPECT_FALSE(ReadFolders(5, false).Ok);
}

TEST(OutlookReading, AHungOutlookBlocksOnlyTheReadingThreadUntilReleased) {
    Scenario(Item({L"subject=After the hang"}) +
             ScenarioLine({L"hang", L"member=GetFolderFromID"}));
    auto pending = std::async(std::launch::async, [] {
        std::vector<MailSnapshot> out;
        const bool ok = ReadWatchedFolders(kInbox, 5, false, out);
        return ok && out.size() == 1 && out[0].Subject == L"After the hang";
    });
    testing::FakeOutlook& fake = testing::RunningFakeOutlook();
    ASSERT_TRUE(fake.WaitUntilHanging(std::chrono::seconds(20)));
    EXPECT_EQ(pending.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
    fake.ReleaseHang();
    EXPECT_TRUE(pending.get());
}

// Run in a child process whose time zone is India's (+05:30, no daylight saving).
constexpr const wchar_t* kZoneChildPassed = L"WrenpostOutlookTest.ZoneChildPassed";
constexpr const wchar_t* kZoneChildFailed = L"WrenpostOutlookTest.ZoneChildFailed";

TEST(OutlookReadingInAnotherTimeZone, DISABLED_Child) {
    // Tells the parent how the test went (a Unix child's handle cannot be waited on).
    struct ReportToParent {
        ~ReportToParent() {
            const UniqueHandle event(
                CreateEventW(nullptr, TRUE, FALSE,
                             ::testing::Test::HasFailure() ? kZoneChildFailed : kZoneChildPassed));
            SetEvent(event.get());
        }
    } const report;
    TIME_ZONE_INFORMATION zone{};
    GetTimeZoneInformation(&zone);
    ASSERT_EQ(zone.Bias, -330) << "the child did not get the time zone";
    const Read read = ReadFolders(5, false);
    ASSERT_EQ(read.Snapshots.size(), 2u);
    for (const MailSnapshot& snapshot : read.Snapshots) {
        EXPECT_EQ(snapshot.ReceivedTime, L"2026-03-01 12:00:00");
        EXPECT_EQ(snapshot.DeliveryTimeUtc, UtcTicks(2026, 3, 1, 6, 30, 0));
    }
    EXPECT_EQ(read.Snapshots[0].TimestampSource, MapiDeliveryTime);
    EXPECT_EQ(read.Snapshots[1].TimestampSource, ObjectModelReceivedTime);
}

TEST(OutlookReading, ReceivedTimeTextIsLocalWhileTheDeliveryTimeIsUtc) {
    Scenario(
        Item({L"subject=Mapi", L"received=2026-03-01 12:00:00", L"delivery=2026-03-01 06:30:00"}) +
        Item({L"subject=Local", L"noaccessor", L"received=2026-03-01 12:00:00"}));
    const UniqueHandle passed(CreateEventW(nullptr, TRUE, FALSE, kZoneChildPassed));
    const UniqueHandle failed(CreateEventW(nullptr, TRUE, FALSE, kZoneChildFailed));
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    // Wine takes a process's zone from the Unix TZ at start, and a Windows child does not get
    // a changed TZ; a Unix child (env, then wine in the same prefix) does.
    std::wstring command = L"Z:\\usr\\bin\\env TZ=Asia/Kolkata wine \"" + std::wstring(self) +
                           L"\" --gtest_also_run_disabled_tests"
                           L" --gtest_filter=OutlookReadingInAnotherTimeZone.DISABLED_Child";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &info));
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    HANDLE either[2] = {passed.get(), failed.get()};
    EXPECT_EQ(WaitForMultipleObjects(2, either, FALSE, 60000), WAIT_OBJECT_0)
        << "the child's output above says why";
}

}  // namespace
}  // namespace wrenpost
