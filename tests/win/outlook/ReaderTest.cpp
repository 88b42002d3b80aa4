// Reading watched folders through the fake Outlook: what the COM side of the walk reads, with
// which texts, identities and delivery times (where the walk ends and what it passes over is
// tests/unit/outlook/FolderWalkTest.cpp).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cwchar>
#include <future>

#include "OutlookTestSupport.h"
#include "outlook/MailReader.h"
#include "outlook/MailReader_win.h"

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

// 2026-03-01 08:mm:ss UTC in 100 ns ticks since 1970.
std::int64_t Ticks(int minute, int second = 0) {
    return 17723520000000000 + (minute * 60LL + second) * 10000000;
}

std::wstring Item(std::initializer_list<std::wstring> fields, const wchar_t* folder = L"F1") {
    std::wstring line = std::wstring(L"item\tfolder=") + folder;
    for (const std::wstring& field : fields) {
        line += L"\t" + field;
    }
    return line + L"\n";
}

const SelectedFolder kInbox = WatchedFolder(L"F1", L"S1", L"\\\\Ann\\Inbox");

struct Read {
    MailReadResult Result;
    Subjects Subjects;
};

// Every folder is new since far in the past: the walk looks at all of it.
MailReadRequest Request(const std::vector<SelectedFolder>& folders) {
    MailReadRequest request;
    for (const SelectedFolder& folder : folders) {
        FolderWalkPlan plan;
        plan.Folder = folder;
        request.Folders.push_back(plan);
    }
    return request;
}

Read ReadFolders(const MailReadRequest& request) {
    Read read;
    read.Result = testing::OnOwnThread([&] { return ReadWatchedFolders(request); });
    for (const MailSnapshot& snapshot : read.Result.Messages) {
        read.Subjects.push_back(snapshot.Subject);
    }
    return read;
}

Read ReadFolders(const std::vector<SelectedFolder>& folders = {kInbox}) {
    return ReadFolders(Request(folders));
}

void Scenario(const std::wstring& items, const wchar_t* otherFlag = L"") {
    ASSERT_TRUE(testing::RunningFakeOutlook().WriteScenario(
        ScenarioLine({L"store", L"id=S1", L"name=Ann"}) +
        ScenarioLine({L"folder", L"store=S1", L"path=Inbox", L"id=F1"}) +
        ScenarioLine({L"store", L"id=S2", L"name=Bob"}) +
        ScenarioLine({L"folder", L"store=S2", L"path=Other", L"id=F2", otherFlag}) + items));
}

TEST(OutlookReading, NewItemsGiveCompleteSnapshotsOldestFirstAndNamelessItemsAreSkipped) {
    Scenario(Item({L"id=E1", L"subject=First", Stamp(1)}) +
             Item({L"id=E3", L"subject=Third \u0418\u0432\u0430\u043d", L"sender=Bob", Stamp(3),
                   L"delivery=2026-03-01 08:03:00", L"msgid=<three@example.com>"}) +
             Item({L"id=E2", L"subject=Second", Stamp(2)}) + Item({Stamp(5)}) +
             Item({L"subject=", L"id=", Stamp(6)}) + Item({L"id=M1", Stamp(4)}));
    const Read read = ReadFolders();
    EXPECT_TRUE(read.Result.Ok);
    ASSERT_EQ(read.Subjects,
              (Subjects{L"First", L"Second", L"Third \u0418\u0432\u0430\u043d", L""}));
    EXPECT_EQ(read.Result.Messages[3].EntryId, L"M1");
    const MailSnapshot& third = read.Result.Messages[2];
    EXPECT_EQ(third.FolderPath, L"\\\\Ann\\Inbox");
    EXPECT_EQ(third.StoreId, L"S1");
    EXPECT_EQ(third.EntryId, L"E3");
    EXPECT_EQ(third.SenderName, L"Bob");
    EXPECT_EQ(third.ReceivedTime, L"2026-03-01 08:03:00");
    EXPECT_EQ(third.InternetMessageId, L"<three@example.com>");
    EXPECT_EQ(read.Result.Messages[1].InternetMessageId, L"");
    EXPECT_TRUE(read.Result.FoldersWithMore.empty());
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
         Ticks(3), L""},
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
    const Read read = ReadFolders();
    // The undated ones sort as the oldest, in the order Outlook keeps them.
    ASSERT_EQ(read.Subjects, (Subjects{L"5", L"4", L"3", L"2", L"1", L"0"}));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const MailSnapshot& snapshot = read.Result.Messages[std::size(cases) - 1 - i];
        EXPECT_EQ(snapshot.TimestampSource, cases[i].source) << i;
        EXPECT_EQ(snapshot.DeliveryTimeKnown, cases[i].source != UnknownTimestampSource) << i;
        EXPECT_TRUE(cases[i].ticks < 0 || snapshot.DeliveryTimeUtc == cases[i].ticks) << i;
        EXPECT_EQ(snapshot.DeliveryDiagnostics, cases[i].diagnostics) << i;
    }
    EXPECT_EQ(read.Result.Messages[1].ReceivedTime + read.Result.Messages[1].InternetMessageId,
              L"");
    EXPECT_EQ(read.Result.Messages[4].ReceivedTime, L"2026-03-01 08:08:00");
}

// A delivery report lacks the sender and ReceivedTime, and an item may lack its accessor: each
// is read as far as it goes, and the mail after it is read in full again.
TEST(OutlookReading, ItemsOfOtherKindsBetweenMailsAreAllRead) {
    const std::wstring delivery = L"delivery=2026-03-01 08:03:00";
    Scenario(
        Item({L"id=A", L"subject=mail", L"sender=Ann", Stamp(1), delivery}) +
        Item({L"id=B", L"subject=meeting", L"kind=meeting", L"sender=Bea", Stamp(2), delivery}) +
        Item({L"id=C", L"subject=report", L"kind=report", L"sender=Cy", Stamp(3), delivery,
              L"msgid=<c@x>"}) +
        Item({L"id=D", L"subject=post", L"kind=post", L"sender=Dee", Stamp(4), delivery}) +
        Item({L"id=E", L"subject=bare report", L"kind=report", L"noaccessor", Stamp(5)}) +
        Item({L"id=F", L"subject=last mail", L"sender=Fay", Stamp(6), delivery}));
    const Read read = ReadFolders();
    EXPECT_TRUE(read.Result.Ok);
    ASSERT_EQ(read.Subjects,
              (Subjects{L"mail", L"meeting", L"report", L"post", L"bare report", L"last mail"}));
    std::vector<std::wstring> seen;
    for (const MailSnapshot& m : read.Result.Messages) {
        seen.push_back(m.EntryId + L" " + m.SenderName + L" " + m.ReceivedTime + L" " +
                       m.InternetMessageId + L" " + std::to_wstring(m.TimestampSource));
    }
    EXPECT_EQ(seen,
              (std::vector<std::wstring>{
                  L"A Ann 2026-03-01 08:01:00  0", L"B Bea 2026-03-01 08:02:00  0", L"C   <c@x> 0",
                  L"D Dee 2026-03-01 08:04:00  0", L"E    3", L"F Fay 2026-03-01 08:06:00  0"}));
    EXPECT_EQ(read.Result.Messages[4].DeliveryDiagnostics,
              L"MapiDeliveryTime vt=10; ReceivedTime vt=10; SubmitTime vt=10; SentOn vt=10");
}

// A read is Ok when it looked at an item, whether or not anything was new.
TEST(OutlookReading, AReadIsOkWhenItLookedAtAnItem) {
    const SelectedFolder other = WatchedFolder(L"F2", L"S2", L"\\\\Bob\\Other");
    const SelectedFolder gone = WatchedFolder(L"gone", L"S1");
    auto handled = std::make_shared<PassOverKeys>();
    handled->insert(PassOverKey(L"S2", L"H1"));
    handled->insert(PassOverKey(L"S2", L"H2"));
    const struct {
        const char* name;
        std::vector<SelectedFolder> folders;
        bool ok;
    } cases[] = {
        {"no folders", {}, false},
        {"an empty folder", {kInbox}, false},
        {"a folder that cannot be opened", {gone}, false},
        {"a folder whose items are all handled", {kInbox, gone, other}, true},
    };
    Scenario(Item({L"id=H1", L"subject=old", Stamp(1)}, L"F2") +
             Item({L"id=H2", L"subject=older", Stamp(0)}, L"F2"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MailReadRequest request = Request(c.folders);
        request.Handled = handled;
        const Read read = ReadFolders(request);
        EXPECT_EQ(read.Result.Ok, c.ok);
        EXPECT_TRUE(read.Result.Messages.empty());
    }
}

// Snapshots follow every header, so the oldest of many new items are no longer held open when
// their turn comes: they are fetched again by their entry id, and read whole.
TEST(OutlookReading, ManyNewItemsAreAllReadWhole) {
    std::wstring items;
    for (int k = 1; k <= 41; ++k) {
        wchar_t delivery[40];
        std::swprintf(delivery, 40, L"delivery=2026-03-01 08:%02d:00", 59 - k);
        items +=
            Item({L"id=E" + std::to_wstring(k), L"subject=" + std::to_wstring(k), L"sender=Sam",
                  Stamp(59 - k), delivery, L"msgid=<m" + std::to_wstring(k) + L"@x>"});
    }
    Scenario(items);
    const Read read = ReadFolders(Request({kInbox}));
    ASSERT_EQ(read.Result.Messages.size(), 41u);
    for (int k = 41; k >= 1; --k) {
        const MailSnapshot& mail = read.Result.Messages[static_cast<std::size_t>(41 - k)];
        EXPECT_EQ(
            mail.Subject + L" " + mail.SenderName + L" " + mail.InternetMessageId + L" " +
                mail.EntryId,
            std::to_wstring(k) + L" Sam <m" + std::to_wstring(k) + L"@x> E" + std::to_wstring(k));
        EXPECT_EQ(mail.DeliveryTimeUtc, Ticks(59 - k));
    }
}

TEST(OutlookReading, FoldersOfTwoStoresAreReadAndOnesThatCannotBeOpenedOrSortedAreLeftOut) {
    const std::vector<SelectedFolder> folders = {kInbox, WatchedFolder(L"F1", L"S2"),
                                                 WatchedFolder(L"gone", L"S1"),
                                                 WatchedFolder(L"F2", L"S2", L"\\\\Bob\\Other")};
    const std::wstring items = Item({L"subject=In inbox", Stamp(1)}) +
                               Item({L"subject=Older", Stamp(2)}, L"F2") +
                               Item({L"subject=Newer", Stamp(3)}, L"F2");
    Scenario(items);
    const Read read = ReadFolders(folders);
    ASSERT_EQ(read.Subjects, (Subjects{L"In inbox", L"Older", L"Newer"}));
    EXPECT_EQ(read.Result.Messages.back().FolderPath + L" " + read.Result.Messages.back().StoreId,
              L"\\\\Bob\\Other S2");

    // The same running Outlook, changed between reads: Other can no longer be sorted, so its
    // first item counts as the newest.
    Scenario(items, L"nosort");
    EXPECT_EQ(ReadFolders(folders).Subjects, (Subjects{L"In inbox", L"Newer", L"Older"}));
    ASSERT_TRUE(testing::RunningFakeOutlook().WriteScenario(L""));
    EXPECT_FALSE(ReadFolders().Result.Ok);
}

TEST(OutlookReading, AHungOutlookBlocksOnlyTheReadingThreadUntilReleased) {
    Scenario(Item({L"subject=After the hang"}) +
             ScenarioLine({L"hang", L"member=GetFolderFromID"}));
    auto pending = std::async(std::launch::async, [] { return ReadFolders().Subjects; });
    testing::FakeOutlook& fake = testing::RunningFakeOutlook();
    ASSERT_TRUE(fake.WaitUntilHanging(std::chrono::seconds(20)));
    EXPECT_EQ(pending.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
    fake.ReleaseHang();
    EXPECT_EQ(pending.get(), (Subjects{L"After the hang"}));
}

}  // namespace
}  // namespace wrenpost
