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
using Subjects = std::vector<std::wstring>;

// Ticks since 1970 of a UTC time on 2026-03-01, computed without Windows.
std::int64_t UtcTicks(int hour, int minute) {
    using namespace std::chrono;
    const auto time = sys_days{year{2026} / 3 / 1} + hours{hour} + minutes{minute};
    return duration_cast<seconds>(time.time_since_epoch()).count() * 10000000;
}

std::wstring Stamp(int minute) {
    wchar_t text[32];
    std::swprintf(text, 32, L"received=2026-03-01 %02d:%02d:00", 8 + minute / 60, minute % 60);
    return text;
}

std::wstring Item(std::initializer_list<std::wstring> fields, const wchar_t* folder = L"F1") {
    std::wstring line = std::wstring(L"item\tfolder=") + folder;
    for (const std::wstring& field : fields) {
        line += L"\t" + field;
    }
    return line + L"\n";
}

struct Read {
    bool Ok = false;
    std::vector<MailSnapshot> Snapshots;
    Subjects Subjects;
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

std::wstring Folders(const wchar_t* inboxFlag = L"", const wchar_t* otherFlag = L"") {
    return ScenarioLine({L"store", L"id=S1", L"name=Ann"}) +
           ScenarioLine({L"folder", L"store=S1", L"path=Inbox", L"id=F1", inboxFlag}) +
           ScenarioLine({L"folder", L"store=S1", L"path=Other", L"id=F2", otherFlag});
}

void Scenario(const std::wstring& items) {
    ASSERT_TRUE(testing::RunningFakeOutlook().WriteScenario(Folders() + items));
}

TEST(OutlookReading, TheNewestUpToTheLimitGiveCompleteSnapshotsAndNamelessItemsAreSkipped) {
    Scenario(Item({L"id=E1", L"subject=First", Stamp(1)}) +
             Item({L"id=E3", L"subject=Third \u0418\u0432\u0430\u043d", L"sender=Bob", Stamp(3),
                   L"delivery=2026-03-01 08:03:00", L"msgid=<three@example.com>"}) +
             Item({L"id=E2", L"subject=Second", Stamp(2)}) + Item({Stamp(5)}) +
             Item({L"subject=", L"id=", Stamp(6)}) + Item({L"id=M1", Stamp(4)}));
    // Items with neither subject nor id still count towards the newest five.
    const Read read = ReadFolders(5, false);
    EXPECT_TRUE(read.Ok);
    ASSERT_EQ(read.Subjects, (Subjects{L"", L"Third \u0418\u0432\u0430\u043d", L"Second"}));
    EXPECT_EQ(read.Snapshots[0].EntryId, L"M1");
    const MailSnapshot& third = read.Snapshots[1];
    EXPECT_EQ(third.FolderPath, L"\\\\Ann\\Inbox");
    EXPECT_EQ(third.StoreId, L"S1");
    EXPECT_EQ(third.EntryId, L"E3");
    EXPECT_EQ(third.SenderName, L"Bob");
    EXPECT_EQ(third.ReceivedTime, L"2026-03-01 08:03:00");
    EXPECT_EQ(third.InternetMessageId, L"<three@example.com>");
    EXPECT_EQ(read.Snapshots[2].InternetMessageId, L"");
    EXPECT_EQ(ReadFolders(0, false).Subjects, (Subjects{L""}));  // no limit: the newest three
}

TEST(OutlookReading, TheBacklogTakesUnreadItemsAmongTheNewest500UpToTheLimit) {
    std::wstring items;
    for (int rank = 500; rank >= 0; --rank) {  // rank 0 is the newest
        const bool unread = rank == 3 || rank == 7 || rank == 500;
        items += Item({L"subject=R" + std::to_wstring(rank), Stamp(500 - rank),
                       unread ? L"unread=1" : L"unread=0"});
    }
    // An UnRead that is not a boolean does not count as unread.
    Scenario(items + Item({L"subject=odd", L"unread=str:1", Stamp(600)}));
    EXPECT_EQ(ReadFolders(50, true).Subjects, (Subjects{L"R3", L"R7"}));
    EXPECT_EQ(ReadFolders(1, true).Subjects, (Subjects{L"R3"}));
}

TEST(OutlookReading, TheDeliveryTimeComesFromTheFirstSourceThatGivesOne) {
    const std::wstring submit = L"submit=2026-03-01 07:00:00";
    const std::wstring sent = L"senton=2026-03-01 06:00:00";
    const struct {
        std::wstring item;
        TimestampSourceKind source;
        std::int64_t ticks;  // -1: a local time, not checked here
        std::wstring diagnostics;
    } cases[] = {
        {Item({L"subject=0", Stamp(9), L"delivery=2026-03-01 08:03:00"}), MapiDeliveryTime,
         UtcTicks(8, 3), L""},
        {Item({L"subject=1", Stamp(8), L"delivery=baddate", submit}), ObjectModelReceivedTime, -1,
         L""},
        {Item({L"subject=2", Stamp(7), L"noaccessor", submit}), ObjectModelReceivedTime, -1, L""},
        {Item({L"subject=3", submit, sent}), SubmitOrSentTime, UtcTicks(7, 0), L""},
        {Item({L"subject=4", L"noaccessor", sent}), SubmitOrSentTime, -1, L""},
        {Item({L"subject=5", L"noaccessor"}), UnknownTimestampSource, 0,
         L"MapiDeliveryTime vt=10; ReceivedTime vt=10; SubmitTime vt=10; SentOn vt=10"},
        {Item({L"subject=6", L"received=str:yesterday", L"submit=baddate", L"msgid=baddate"}),
         UnknownTimestampSource, 0,
         L"MapiDeliveryTime vt=10; ReceivedTime vt=8; SubmitTime vt=7; SentOn vt=10"},
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
        EXPECT_TRUE(cases[i].ticks < 0 || snapshot.DeliveryTimeUtc == cases[i].ticks) << i;
        EXPECT_EQ(snapshot.DeliveryDiagnostics, cases[i].diagnostics) << i;
    }
    EXPECT_EQ(read.Snapshots[6].ReceivedTime + read.Snapshots[6].InternetMessageId, L"");
}

TEST(OutlookReading, FoldersThatCannotBeOpenedOrSortedDoNotStopTheOthers) {
    const std::vector<SelectedFolder> folders = {kInbox[0], WatchedFolder(L"F1", L"S2"),
                                                 WatchedFolder(L"gone", L"S1"),
                                                 WatchedFolder(L"F2", L"S1", L"\\\\Ann\\Other")};
    const std::wstring items = Item({L"subject=In inbox", Stamp(1)}) +
                               Item({L"subject=Older", Stamp(2)}, L"F2") +
                               Item({L"subject=Newer", Stamp(3)}, L"F2");
    Scenario(items);
    EXPECT_EQ(ReadFolders(5, false, folders).Subjects, (Subjects{L"In inbox", L"Newer", L"Older"}));

    // The same running Outlook, changed between cycles.
    ASSERT_TRUE(
        testing::RunningFakeOutlook().WriteScenario(Folders(L"unopenable", L"nosort") + items));
    const Read read = ReadFolders(5, false, folders);
    EXPECT_TRUE(read.Ok);
    EXPECT_EQ(read.Subjects, (Subjects{L"Older", L"Newer"}));  // unsorted: Outlook's own order
    EXPECT_EQ(read.Snapshots[0].FolderPath, L"\\\\Ann\\Other");

    EXPECT_FALSE(ReadFolders(5, false, {}).Ok);
    ASSERT_TRUE(testing::RunningFakeOutlook().WriteScenario(L""));
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

// Run in a child process whose time zone is India's (+05:30, no daylight saving); it tells the
// parent through a named event, as a Unix child's handle cannot be waited on.
constexpr const wchar_t* kZoneChildPassed = L"WrenpostOutlookTest.ZoneChildPassed";

TEST(OutlookReadingInAnotherTimeZone, DISABLED_Child) {
    TIME_ZONE_INFORMATION zone{};
    GetTimeZoneInformation(&zone);
    ASSERT_EQ(zone.Bias, -330) << "the child did not get the time zone";
    const Read read = ReadFolders(5, false);
    ASSERT_EQ(read.Snapshots.size(), 2u);
    for (const MailSnapshot& snapshot : read.Snapshots) {
        EXPECT_EQ(snapshot.ReceivedTime, L"2026-03-01 12:00:00");
        EXPECT_EQ(snapshot.DeliveryTimeUtc, UtcTicks(6, 30));
    }
    EXPECT_EQ(read.Snapshots[0].TimestampSource, MapiDeliveryTime);
    EXPECT_EQ(read.Snapshots[1].TimestampSource, ObjectModelReceivedTime);
    if (!HasFailure()) {
        SetEvent(UniqueHandle(CreateEventW(nullptr, TRUE, FALSE, kZoneChildPassed)).get());
    }
}

TEST(OutlookReading, ReceivedTimeTextIsLocalWhileTheDeliveryTimeIsUtc) {
    Scenario(
        Item({L"subject=Mapi", L"received=2026-03-01 12:00:00", L"delivery=2026-03-01 06:30:00"}) +
        Item({L"subject=Local", L"noaccessor", L"received=2026-03-01 12:00:00"}));
    const UniqueHandle passed(CreateEventW(nullptr, TRUE, FALSE, kZoneChildPassed));
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
    const UniqueHandle process(info.hProcess), thread(info.hThread);
    EXPECT_EQ(WaitForSingleObject(passed.get(), 60000), WAIT_OBJECT_0)
        << "the child's output above says why";
}

}  // namespace
}  // namespace wrenpost
