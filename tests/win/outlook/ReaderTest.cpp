// Reading watched folders through the fake Outlook: which items become snapshots, with which
// texts, identities and delivery times.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <future>

#include "OutlookTestSupport.h"
#include "common/Text.h"
#include "common/UniqueHandle_win.h"
#include "outlook/MailReader.h"

namespace wrenpost {
namespace {

using testing::ScenarioLine;
using testing::WatchedFolder;

constexpr int kNormalLimit = 5;
constexpr int kBacklogLimit = 50;

// Ticks since 1970 of a UTC calendar time, computed without Windows.
std::int64_t UtcTicks(int y, unsigned mo, unsigned d, int h, int mi, int s) {
    using namespace std::chrono;
    const sys_seconds time =
        sys_days{year{y} / month{mo} / day{d}} + hours{h} + minutes{mi} + seconds{s};
    return static_cast<std::int64_t>(time.time_since_epoch().count()) * 10000000;
}

std::wstring Stamp(int minute) {
    wchar_t text[32];
    std::swprintf(text, 32, L"2026-03-01 %02d:%02d:00", 8 + minute / 60, minute % 60);
    return text;
}

struct Read {
    bool Ok = false;
    std::vector<MailSnapshot> Snapshots;
};

Read ReadFolders(const std::vector<SelectedFolder>& folders, int limit, bool includeOld) {
    return testing::OnOwnThread([&] {
        Read read;
        read.Ok = ReadWatchedFolders(folders, limit, includeOld, read.Snapshots);
        return read;
    });
}

std::vector<std::wstring> Subjects(const Read& read) {
    std::vector<std::wstring> subjects;
    for (const MailSnapshot& snapshot : read.Snapshots) {
        subjects.push_back(snapshot.Subject);
    }
    return subjects;
}

class Reading : public ::testing::Test {
protected:
    void SetUp() override { fake_ = &testing::RunningFakeOutlook(); }
    void Scenario(const std::wstring& items) {
        ASSERT_TRUE(fake_->WriteScenario(
            ScenarioLine({L"store", L"id=S1", L"name=Ann"}) +
            ScenarioLine({L"folder", L"store=S1", L"path=Inbox", L"id=F1"}) +
            ScenarioLine({L"folder", L"store=S1", L"path=Other", L"id=F2"}) + items));
    }
    const std::vector<SelectedFolder> inbox_ = {WatchedFolder(L"F1", L"S1", L"\\\\Ann\\Inbox")};
    testing::FakeOutlook* fake_ = nullptr;
};

TEST_F(Reading, ThreeItemsGiveThreeCompleteSnapshotsNewestFirst) {
    Scenario(
        ScenarioLine({L"item", L"folder=F1", L"id=E1", L"subject=First", L"sender=Ann Smith",
                      L"received=" + Stamp(1), L"delivery=2026-03-01 08:01:00",
                      L"msgid=<one@example.com>"}) +
        ScenarioLine({L"item", L"folder=F1", L"id=E3", L"subject=Third \u0418\u0432\u0430\u043d",
                      L"sender=Bob", L"received=" + Stamp(3), L"delivery=2026-03-01 08:03:00",
                      L"msgid=<three@example.com>"}) +
        ScenarioLine({L"item", L"folder=F1", L"id=E2", L"subject=Second", L"sender=Cy",
                      L"received=" + Stamp(2), L"delivery=2026-03-01 08:02:00"}));
    const Read read = ReadFolders(inbox_, kNormalLimit, false);
    EXPECT_TRUE(read.Ok);
    ASSERT_EQ(Subjects(read),
              (std::vector<std::wstring>{L"Third \u0418\u0432\u0430\u043d", L"Second", L"First"}));
    const MailSnapshot& newest = read.Snapshots[0];
    EXPECT_EQ(newest.FolderPath, L"\\\\Ann\\Inbox");
    EXPECT_EQ(newest.StoreId, L"S1");
    EXPECT_EQ(newest.EntryId, L"E3");
    EXPECT_EQ(newest.SenderName, L"Bob");
    EXPECT_EQ(newest.ReceivedTime, L"2026-03-01 08:03:00");
    EXPECT_EQ(newest.InternetMessageId, L"<three@example.com>");
    EXPECT_TRUE(newest.DeliveryTimeKnown);
    EXPECT_EQ(newest.TimestampSource, MapiDeliveryTime);
    EXPECT_EQ(newest.DeliveryTimeUtc, UtcTicks(2026, 3, 1, 8, 3, 0));
    EXPECT_EQ(read.Snapshots[1].InternetMessageId, L"");
}

TEST_F(Reading, TwelveItemsGiveTheNewestFiveAndALimitBelowOneReadsThree) {
    std::wstring items;
    for (int i : {4, 11, 0, 7, 2, 9, 5, 10, 1, 8, 3, 6}) {
        items += ScenarioLine({L"item", L"folder=F1", L"id=E" + std::to_wstring(i),
                               L"subject=M" + std::to_wstring(i), L"received=" + Stamp(i)});
    }
    Scenario(items);
    const Read read = ReadFolders(inbox_, kNormalLimit, false);
    EXPECT_TRUE(read.Ok);
    EXPECT_EQ(Subjects(read), (std::vector<std::wstring>{L"M11", L"M10", L"M9", L"M8", L"M7"}));
    EXPECT_EQ(Subjects(ReadFolders(inbox_, 0, false)),
              (std::vector<std::wstring>{L"M11", L"M10", L"M9"}));
}

TEST_F(Reading, BacklogTakesOnlyUnreadItemsAmongTheNewestFiveHundred) {
    std::wstring items;
    for (int i = 0; i < 501; ++i) {
        // Rank 0 is the newest; unread at ranks 3, 7 and 500 (the last is out of reach).
        const int rank = 500 - i;
        const bool unread = rank == 3 || rank == 7 || rank == 500;
        items += ScenarioLine({L"item", L"folder=F1", L"subject=R" + std::to_wstring(rank),
                               L"received=" + Stamp(i), unread ? L"unread=1" : L"unread=0"});
    }
    Scenario(items);
    const Read backlog = ReadFolders(inbox_, kBacklogLimit, true);
    EXPECT_TRUE(backlog.Ok);
    EXPECT_EQ(Subjects(backlog), (std::vector<std::wstring>{L"R3", L"R7"}));
}

TEST_F(Reading, BacklogStopsAtItsLimitAndYieldsNothingWhenAllIsRead) {
    std::wstring unread, read;
    for (int i = 0; i < 6; ++i) {
        unread += ScenarioLine({L"item", L"folder=F1", L"subject=U" + std::to_wstring(i),
                                L"received=" + Stamp(i), i == 4 ? L"unread=0" : L"unread=1"});
        read += ScenarioLine({L"item", L"folder=F1", L"subject=U" + std::to_wstring(i),
                              L"received=" + Stamp(i), L"unread=0"});
    }
    // An UnRead that is not a boolean does not count as unread.
    Scenario(unread + ScenarioLine({L"item", L"folder=F1", L"subject=odd", L"unread=str:1",
                                    L"received=" + Stamp(9)}));
    EXPECT_EQ(Subjects(ReadFolders(inbox_, 3, true)),
              (std::vector<std::wstring>{L"U5", L"U3", L"U2"}));
    // Normal mode does not look at the read state.
    EXPECT_EQ(Subjects(ReadFolders(inbox_, 3, false)),
              (std::vector<std::wstring>{L"odd", L"U5", L"U4"}));
    Scenario(read);
    const Read none = ReadFolders(inbox_, kBacklogLimit, true);
    EXPECT_FALSE(none.Ok);
    EXPECT_TRUE(none.Snapshots.empty());
}

TEST_F(Reading, WithoutUsableDatesTheDiagnosticsNameAllFourSourcesByVariantType) {
    Scenario(ScenarioLine({L"item", L"folder=F1", L"id=E1", L"subject=Bare", L"noaccessor"}) +
             ScenarioLine({L"item", L"folder=F1", L"subject=Odd", L"delivery=empty",
                           L"received=str:yesterday", L"submit=i4:5", L"senton=baddate",
                           L"msgid=i4:7"}));
    const Read read = ReadFolders(inbox_, kNormalLimit, false);
    ASSERT_EQ(read.Snapshots.size(), 2u);
    for (const MailSnapshot& snapshot : read.Snapshots) {
        EXPECT_FALSE(snapshot.DeliveryTimeKnown);
        EXPECT_EQ(snapshot.TimestampSource, UnknownTimestampSource);
        EXPECT_EQ(snapshot.DeliveryTimeUtc, 0);
        EXPECT_EQ(snapshot.ReceivedTime, L"");
        EXPECT_EQ(snapshot.InternetMessageId, L"");
    }
    const bool bareFirst = read.Snapshots[0].Subject == L"Bare";
    const MailSnapshot& bare = read.Snapshots[bareFirst ? 0 : 1];
    const MailSnapshot& odd = read.Snapshots[bareFirst ? 1 : 0];
    EXPECT_EQ(bare.DeliveryDiagnostics,
              L"MapiDeliveryTime vt=10; ReceivedTime vt=10; SubmitTime vt=10; SentOn vt=10");
    EXPECT_EQ(odd.DeliveryDiagnostics,
              L"MapiDeliveryTime vt=0; ReceivedTime vt=8; SubmitTime vt=3; SentOn vt=7");
}

TEST_F(Reading, LaterSourcesAreUsedInOrderWhenEarlierOnesFail) {
    Scenario(ScenarioLine({L"item", L"folder=F1", L"subject=A", L"received=" + Stamp(4),
                           L"delivery=baddate", L"submit=2026-03-01 07:00:00"}) +
             ScenarioLine({L"item", L"folder=F1", L"subject=B", L"received=" + Stamp(3),
                           L"noaccessor", L"submit=2026-03-01 07:00:00"}) +
             ScenarioLine({L"item", L"folder=F1", L"subject=C", L"submit=2026-03-01 07:00:00",
                           L"senton=2026-03-01 06:00:00"}) +
             ScenarioLine({L"item", L"folder=F1", L"subject=D", L"noaccessor",
                           L"senton=2026-03-01 06:00:00"}));
    const Read read = ReadFolders(inbox_, kNormalLimit, false);
    ASSERT_EQ(Subjects(read), (std::vector<std::wstring>{L"A", L"B", L"C", L"D"}));
    EXPECT_EQ(read.Snapshots[0].TimestampSource, ObjectModelReceivedTime);
    EXPECT_EQ(read.Snapshots[1].TimestampSource, ObjectModelReceivedTime);
    EXPECT_EQ(read.Snapshots[2].TimestampSource, SubmitOrSentTime);
    EXPECT_EQ(read.Snapshots[2].DeliveryTimeUtc, UtcTicks(2026, 3, 1, 7, 0, 0));
    EXPECT_EQ(read.Snapshots[3].TimestampSource, SubmitOrSentTime);
    for (const MailSnapshot& snapshot : read.Snapshots) {
        EXPECT_TRUE(snapshot.DeliveryTimeKnown);
        EXPECT_EQ(snapshot.DeliveryDiagnostics, L"");
    }
}

TEST_F(Reading, ItemsWithNeitherSubjectNorIdAreSkippedAndMeetingLikeItemsAreRead) {
    Scenario(ScenarioLine({L"item", L"folder=F1", L"received=" + Stamp(9)}) +
             ScenarioLine({L"item", L"folder=F1", L"subject=", L"id=", L"received=" + Stamp(8)}) +
             ScenarioLine({L"item", L"folder=F1", L"id=M1", L"received=" + Stamp(7)}) +
             ScenarioLine({L"item", L"folder=F1", L"subject=Kept", L"received=" + Stamp(6)}) +
             ScenarioLine({L"item", L"folder=F1", L"subject=Fifth", L"received=" + Stamp(5)}) +
             ScenarioLine({L"item", L"folder=F1", L"subject=Beyond", L"received=" + Stamp(4)}));
    const Read read = ReadFolders(inbox_, kNormalLimit, false);
    // Only the newest five are looked at; two of them are skipped.
    ASSERT_EQ(Subjects(read), (std::vector<std::wstring>{L"", L"Kept", L"Fifth"}));
    EXPECT_EQ(read.Snapshots[0].EntryId, L"M1");
    EXPECT_EQ(read.Snapshots[0].SenderName, L"");
}

TEST_F(Reading, AFolderThatCannotBeOpenedContributesNothingWhileOthersStillDo) {
    const std::wstring items =
        ScenarioLine({L"item", L"folder=F1", L"subject=In inbox", L"received=" + Stamp(1)}) +
        ScenarioLine({L"item", L"folder=F2", L"subject=In other", L"received=" + Stamp(2)});
    const std::vector<SelectedFolder> folders = {
        WatchedFolder(L"F1", L"S1", L"\\\\Ann\\Inbox"), WatchedFolder(L"F1", L"S2"),
        WatchedFolder(L"gone", L"S1"), WatchedFolder(L"F2", L"S1", L"\\\\Ann\\Other")};
    Scenario(items);
    EXPECT_EQ(Subjects(ReadFolders(folders, kNormalLimit, false)),
              (std::vector<std::wstring>{L"In inbox", L"In other"}));

    // The same running Outlook, changed between cycles: Inbox can no longer be opened.
    ASSERT_TRUE(fake_->WriteScenario(
        ScenarioLine({L"store", L"id=S1", L"name=Ann"}) +
        ScenarioLine({L"folder", L"store=S1", L"path=Inbox", L"id=F1", L"unopenable"}) +
        ScenarioLine({L"folder", L"store=S1", L"path=Other", L"id=F2"}) + items +
        ScenarioLine({L"item", L"folder=F2", L"subject=New", L"received=" + Stamp(3)})));
    const Read read = ReadFolders(folders, kNormalLimit, false);
    EXPECT_TRUE(read.Ok);
    EXPECT_EQ(Subjects(read), (std::vector<std::wstring>{L"New", L"In other"}));
    EXPECT_EQ(read.Snapshots[0].FolderPath, L"\\\\Ann\\Other");
}

TEST_F(Reading, AFolderThatCannotBeSortedIsReadInOutlooksOrder) {
    ASSERT_TRUE(fake_->WriteScenario(
        ScenarioLine({L"store", L"id=S1", L"name=Ann"}) +
        ScenarioLine({L"folder", L"store=S1", L"path=Inbox", L"id=F1", L"nosort"}) +
        ScenarioLine({L"item", L"folder=F1", L"subject=Old", L"received=" + Stamp(1)}) +
        ScenarioLine({L"item", L"folder=F1", L"subject=New", L"received=" + Stamp(2)})));
    EXPECT_EQ(Subjects(ReadFolders(inbox_, kNormalLimit, false)),
              (std::vector<std::wstring>{L"Old", L"New"}));
}

TEST_F(Reading, NoFoldersOrOnlyEmptyFoldersReadAsFailure) {
    Scenario(L"");
    const Read none = ReadFolders({}, kNormalLimit, false);
    EXPECT_FALSE(none.Ok);
    const Read empty = ReadFolders(inbox_, kNormalLimit, false);
    EXPECT_FALSE(empty.Ok);
    EXPECT_TRUE(empty.Snapshots.empty());
}

TEST_F(Reading, AHungOutlookBlocksOnlyTheReadingThreadUntilReleased) {
    Scenario(ScenarioLine({L"item", L"folder=F1", L"subject=After the hang"}) +
             ScenarioLine({L"hang", L"member=GetFolderFromID"}));
    auto pending = std::async(std::launch::async, [this] {
        std::vector<MailSnapshot> out;
        const bool ok = ReadWatchedFolders(inbox_, kNormalLimit, false, out);
        return ok && out.size() == 1 && out[0].Subject == L"After the hang";
    });
    ASSERT_TRUE(fake_->WaitUntilHanging(std::chrono::seconds(20)));
    EXPECT_EQ(pending.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
    fake_->ReleaseHang();
    EXPECT_TRUE(pending.get());
}

// Run in a child process whose time zone is India's (+05:30, no daylight saving).
constexpr const wchar_t* kZoneChildPassed = L"WrenpostOutlookTest.ZoneChildPassed";
constexpr const wchar_t* kZoneChildFailed = L"WrenpostOutlookTest.ZoneChildFailed";

// Tells the parent how the child test went (a Unix child's handle cannot be waited on).
struct ReportToParent {
    ~ReportToParent() {
        const bool failed = ::testing::Test::HasFailure();
        HANDLE event =
            CreateEventW(nullptr, TRUE, FALSE, failed ? kZoneChildFailed : kZoneChildPassed);
        SetEvent(event);
        CloseHandle(event);
    }
};

TEST(ReadingInAnotherTimeZone, DISABLED_Child) {
    const ReportToParent report;
    TIME_ZONE_INFORMATION zone{};
    GetTimeZoneInformation(&zone);
    ASSERT_EQ(zone.Bias, -330) << "the child did not get the time zone";
    const Read read = ReadFolders({WatchedFolder(L"F1", L"S1")}, kNormalLimit, false);
    ASSERT_EQ(read.Snapshots.size(), 2u);
    for (const MailSnapshot& snapshot : read.Snapshots) {
        EXPECT_EQ(snapshot.ReceivedTime, L"2026-03-01 12:00:00");
        EXPECT_EQ(snapshot.DeliveryTimeUtc, UtcTicks(2026, 3, 1, 6, 30, 0));
    }
    EXPECT_EQ(read.Snapshots[0].TimestampSource, MapiDeliveryTime);
    EXPECT_EQ(read.Snapshots[1].TimestampSource, ObjectModelReceivedTime);
}

TEST_F(Reading, ReceivedTimeTextIsLocalWhileTheDeliveryTimeIsUtc) {
    Scenario(ScenarioLine({L"item", L"folder=F1", L"subject=Mapi", L"received=2026-03-01 12:00:00",
                           L"delivery=2026-03-01 06:30:00"}) +
             ScenarioLine({L"item", L"folder=F1", L"subject=Local", L"noaccessor",
                           L"received=2026-03-01 12:00:00"}));
    const UniqueHandle passed(CreateEventW(nullptr, TRUE, FALSE, kZoneChildPassed));
    const UniqueHandle failed(CreateEventW(nullptr, TRUE, FALSE, kZoneChildFailed));
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    // Wine takes a process's zone from the Unix TZ at start, and a Windows child does not get
    // a changed TZ; a Unix child (env, then wine in the same prefix) does.
    std::wstring command = L"Z:\\usr\\bin\\env TZ=Asia/Kolkata wine \"" + std::wstring(self) +
                           L"\" --gtest_also_run_disabled_tests"
                           L" --gtest_filter=ReadingInAnotherTimeZone.DISABLED_Child";
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
