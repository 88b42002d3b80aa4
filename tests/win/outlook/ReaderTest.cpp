// Reading watched folders through the fake Outlook: which items become snapshots, with which
// texts, identities and delivery times.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cwchar>
#include <future>

#include "OutlookTestSupport.h"
#include "outlook/MailReader.h"

namespace wrenpost {
namespace {

using testing::ScenarioLine;
using testing::WatchedFolder;
using Subjects = std::vector<std::wstring>;

std::wstring Stamp(int minute) {
    wchar_t text[32];
    std::swprintf(text, 32, L"received=2026-03-01 08:%02d:00", minute);
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

Read ReadFolders(int limit, const std::vector<SelectedFolder>& folders = kInbox) {
    Read read = testing::OnOwnThread([&] {
        Read result;
        result.Ok = ReadWatchedFolders(folders, limit, false, result.Snapshots);
        return result;
    });
    for (const MailSnapshot& snapshot : read.Snapshots) {
        read.Subjects.push_back(snapshot.Subject);
    }
    return read;
}

void Scenario(const std::wstring& items, const wchar_t* otherFlag = L"") {
    ASSERT_TRUE(testing::RunningFakeOutlook().WriteScenario(
        ScenarioLine({L"store", L"id=S1", L"name=Ann"}) +
        ScenarioLine({L"folder", L"store=S1", L"path=Inbox", L"id=F1"}) +
        ScenarioLine({L"store", L"id=S2", L"name=Bob"}) +
        ScenarioLine({L"folder", L"store=S2", L"path=Other", L"id=F2", otherFlag}) + items));
}

TEST(OutlookReading, TheNewestUpToTheLimitGiveCompleteSnapshotsAndNamelessItemsAreSkipped) {
    Scenario(Item({L"id=E1", L"subject=First", Stamp(1)}) +
             Item({L"id=E3", L"subject=Third \u0418\u0432\u0430\u043d", L"sender=Bob", Stamp(3),
                   L"delivery=2026-03-01 08:03:00", L"msgid=<three@example.com>"}) +
             Item({L"id=E2", L"subject=Second", Stamp(2)}) + Item({Stamp(5)}) +
             Item({L"subject=", L"id=", Stamp(6)}) + Item({L"id=M1", Stamp(4)}));
    // Items with neither subject nor id still count towards the newest five.
    const Read read = ReadFolders(5);
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
    EXPECT_EQ(ReadFolders(0).Subjects, (Subjects{L""}));  // no limit: the newest three
}

TEST(OutlookReading, TheDeliveryTimeComesFromTheFirstSourceThatGivesOne) {
    const std::wstring submit = L"submit=2026-03-01 07:00:00";
    const std::wstring sent = L"senton=2026-03-01 06:00:00";
    const struct {
        std::wstring item;
        TimestampSourceKind source;
        std::int64_t ticks;  // since 1970 in 100 ns; -1: a local time, not checked here
        std::wstring diagnostics;
    } cases[] = {
        {Item({L"subject=0", Stamp(9), L"delivery=2026-03-01 08:03:00"}), MapiDeliveryTime,
         17723521800000000 /* 08:03 UTC */, L""},
        {Item({L"subject=1", Stamp(8), L"delivery=baddate", submit}), ObjectModelReceivedTime, -1,
         L""},
        {Item({L"subject=2", submit, sent}), SubmitOrSentTime, 17723484000000000 /* 07:00 UTC */,
         L""},
        {Item({L"subject=3", L"noaccessor"}), UnknownTimestampSource, 0,
         L"MapiDeliveryTime vt=10; ReceivedTime vt=10; SubmitTime vt=10; SentOn vt=10"},
        {Item({L"subject=4", L"received=str:yesterday", L"submit=baddate", L"msgid=baddate"}),
         UnknownTimestampSource, 0,
         L"MapiDeliveryTime vt=10; ReceivedTime vt=8; SubmitTime vt=7; SentOn vt=10"},
        {Item({L"subject=5", sent}), SubmitOrSentTime, -1, L""},
    };
    std::wstring items;
    for (const auto& c : cases) {
        items += c.item;
    }
    Scenario(items);
    const Read read = ReadFolders(10);
    ASSERT_EQ(read.Subjects, (Subjects{L"0", L"1", L"2", L"3", L"4", L"5"}));
    for (std::size_t i = 0; i < read.Snapshots.size(); ++i) {
        const MailSnapshot& snapshot = read.Snapshots[i];
        EXPECT_EQ(snapshot.TimestampSource, cases[i].source) << i;
        EXPECT_EQ(snapshot.DeliveryTimeKnown, cases[i].source != UnknownTimestampSource) << i;
        EXPECT_TRUE(cases[i].ticks < 0 || snapshot.DeliveryTimeUtc == cases[i].ticks) << i;
        EXPECT_EQ(snapshot.DeliveryDiagnostics, cases[i].diagnostics) << i;
    }
    EXPECT_EQ(read.Snapshots[4].ReceivedTime + read.Snapshots[4].InternetMessageId, L"");
}

TEST(OutlookReading, FoldersOfTwoStoresAreReadAndOnesThatCannotBeOpenedOrSortedAreLeftOut) {
    const std::vector<SelectedFolder> folders = {kInbox[0], WatchedFolder(L"F1", L"S2"),
                                                 WatchedFolder(L"gone", L"S1"),
                                                 WatchedFolder(L"F2", L"S2", L"\\\\Bob\\Other")};
    const std::wstring items = Item({L"subject=In inbox", Stamp(1)}) +
                               Item({L"subject=Older", Stamp(2)}, L"F2") +
                               Item({L"subject=Newer", Stamp(3)}, L"F2");
    Scenario(items);
    const Read read = ReadFolders(5, folders);
    EXPECT_EQ(read.Subjects, (Subjects{L"In inbox", L"Newer", L"Older"}));
    EXPECT_EQ(read.Snapshots.back().FolderPath + L" " + read.Snapshots.back().StoreId,
              L"\\\\Bob\\Other S2");

    // The same running Outlook, changed between cycles: Other can no longer be sorted.
    Scenario(items, L"nosort");
    EXPECT_EQ(ReadFolders(5, folders).Subjects,
              (Subjects{L"In inbox", L"Older", L"Newer"}));  // Outlook's own order
    EXPECT_FALSE(ReadFolders(5, {}).Ok);
    ASSERT_TRUE(testing::RunningFakeOutlook().WriteScenario(L""));
    EXPECT_FALSE(ReadFolders(5).Ok);
}

TEST(OutlookReading, AHungOutlookBlocksOnlyTheReadingThreadUntilReleased) {
    Scenario(Item({L"subject=After the hang"}) +
             ScenarioLine({L"hang", L"member=GetFolderFromID"}));
    auto pending = std::async(std::launch::async, [] { return ReadFolders(5).Subjects; });
    testing::FakeOutlook& fake = testing::RunningFakeOutlook();
    ASSERT_TRUE(fake.WaitUntilHanging(std::chrono::seconds(20)));
    EXPECT_EQ(pending.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
    fake.ReleaseHang();
    EXPECT_EQ(pending.get(), (Subjects{L"After the hang"}));
}

}  // namespace
}  // namespace wrenpost
