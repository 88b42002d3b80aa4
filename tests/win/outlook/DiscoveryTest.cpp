// Folder discovery through the fake Outlook: what is offered, in which order, with which data.
#include <gtest/gtest.h>

#include "OutlookTestSupport.h"
#include "common/Text.h"
#include "outlook/FolderDiscovery_win.h"

namespace wrenpost {
namespace {

using testing::ScenarioLine;

std::vector<SelectedFolder> Discover(bool& found) {
    std::vector<SelectedFolder> folders;
    found = testing::OnOwnThread([&] { return DiscoverFolders(folders); });
    return folders;
}

std::vector<std::wstring> Paths(const std::vector<SelectedFolder>& folders) {
    std::vector<std::wstring> paths;
    for (const SelectedFolder& folder : folders) {
        paths.push_back(folder.FolderPath + L" @" + std::to_wstring(folder.Depth));
    }
    return paths;
}

class Discovery : public ::testing::Test {
protected:
    void SetUp() override { fake_ = &testing::RunningFakeOutlook(); }
    void Scenario(const std::wstring& text) { ASSERT_TRUE(fake_->WriteScenario(text)); }
    testing::FakeOutlook* fake_ = nullptr;
};

TEST_F(Discovery, WalksStoresDepthFirstWithDepthsIdsAndStoreNames) {
    Scenario(ScenarioLine({L"store", L"id=S1", L"name=Ann"}) +
             ScenarioLine({L"folder", L"store=S1", L"path=Inbox", L"id=F1"}) +
             ScenarioLine({L"folder", L"store=S1", L"path=Inbox\\Projects", L"id=F2"}) +
             ScenarioLine({L"folder", L"store=S1", L"path=Archive 2019", L"id=F3"}) +
             ScenarioLine({L"store", L"id=S2", L"name=\u0418\u0432\u0430\u043d"}) +
             ScenarioLine({L"folder", L"store=S2", L"path=Inbox", L"id=G1"}));
    bool found = false;
    const auto folders = Discover(found);
    EXPECT_TRUE(found);
    EXPECT_EQ(Paths(folders),
              (std::vector<std::wstring>{
                  L"\\\\Ann @0", L"\\\\Ann\\Inbox @1", L"\\\\Ann\\Inbox\\Projects @2",
                  L"\\\\Ann\\Archive 2019 @1", L"\\\\\u0418\u0432\u0430\u043d @0",
                  L"\\\\\u0418\u0432\u0430\u043d\\Inbox @1"}));
    ASSERT_EQ(folders.size(), 6u);
    EXPECT_EQ(folders[2].Name, L"Projects");
    EXPECT_EQ(folders[2].EntryId, L"F2");
    EXPECT_EQ(folders[2].StoreId, L"S1");
    EXPECT_EQ(folders[2].StoreName, L"Ann");
    EXPECT_EQ(folders[5].StoreName, L"\u0418\u0432\u0430\u043d");
    EXPECT_EQ(folders[5].DetectedOn.size(), 19u);
    EXPECT_EQ(folders[5].DetectedOn[4], L'-');
    EXPECT_EQ(folders[5].DetectedOn[13], L':');
}

TEST_F(Discovery, CalendarsInAnyCaseAndBelowDeletedItemsAreNotOffered) {
    Scenario(ScenarioLine({L"store", L"id=S1", L"name=Ann"}) +
             ScenarioLine({L"folder", L"store=S1", L"path=CALENDAR"}) +
             ScenarioLine({L"folder", L"store=S1", L"path=Calendars Archive"}) +
             ScenarioLine({L"folder", L"store=S1", L"path=Inbox\\calendars archive"}) +
             ScenarioLine({L"folder", L"store=S1", L"path=Deleted Items\\Old"}) +
             ScenarioLine({L"folder", L"store=S1", L"path=Contacts\\Mail kept here"}));
    bool found = false;
    const auto folders = Discover(found);
    EXPECT_TRUE(found);
    EXPECT_EQ(Paths(folders), (std::vector<std::wstring>{L"\\\\Ann @0", L"\\\\Ann\\Inbox @1",
                                                         L"\\\\Ann\\Deleted Items @1"}));
}

TEST_F(Discovery, UnreadableFoldersGiveEmptyTextsAndTheirSubfoldersAreStillWalked) {
    Scenario(ScenarioLine({L"store", L"id=S1", L"name=Ann", L"nodisplayname"}) +
             ScenarioLine({L"folder", L"store=S1", L"path=Broken", L"unreadable"}) +
             ScenarioLine({L"folder", L"store=S1", L"path=Broken\\Inside", L"id=F9"}) +
             ScenarioLine({L"store", L"id=S2", L"name=Bob", L"nostore"}) +
             ScenarioLine({L"folder", L"store=S2", L"path=Inbox"}));
    bool found = false;
    const auto folders = Discover(found);
    EXPECT_TRUE(found);
    EXPECT_EQ(Paths(folders),
              (std::vector<std::wstring>{L"\\\\Ann @0", L"\\\\Ann\\Broken\\Inside @2",
                                         L"\\\\Bob @0", L"\\\\Bob\\Inbox @1"}));
    for (const SelectedFolder& folder : folders) {
        EXPECT_EQ(folder.StoreName, L"") << WideToUtf8(folder.FolderPath);
    }
    ASSERT_EQ(folders.size(), 4u);
    EXPECT_EQ(folders[1].Name, L"Inside");
    EXPECT_EQ(folders[1].EntryId, L"F9");
}

TEST_F(Discovery, NothingOfferedIsReportedAsNotFound) {
    Scenario(ScenarioLine({L"store", L"id=S1", L"name=Calendar"}));
    bool found = true;
    EXPECT_TRUE(Discover(found).empty());
    EXPECT_FALSE(found);
}

TEST_F(Discovery, TheDetectionThreadPostsItsRecordToTheWindow) {
    Scenario(ScenarioLine({L"store", L"id=S1", L"name=Ann"}) +
             ScenarioLine({L"folder", L"store=S1", L"path=Inbox"}));
    HWND window =
        CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    StartFolderDetection(window);
    MSG msg{};
    std::unique_ptr<FolderDiscoveryRecord> record;
    const DWORD deadline = GetTickCount() + 20000;
    while (!record && GetTickCount() < deadline) {
        if (PeekMessageW(&msg, window, kFolderDiscoveryMessage, kFolderDiscoveryMessage,
                         PM_REMOVE)) {
            record = AdoptRecord<FolderDiscoveryRecord>(msg.wParam, msg.lParam);
        } else {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_POSTMESSAGE);
        }
    }
    ASSERT_NE(record, nullptr);
    EXPECT_TRUE(record->Found);
    EXPECT_EQ(Paths(record->Folders),
              (std::vector<std::wstring>{L"\\\\Ann @0", L"\\\\Ann\\Inbox @1"}));
    DestroyWindow(window);
}

}  // namespace
}  // namespace wrenpost
