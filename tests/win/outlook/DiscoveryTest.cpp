// Folder discovery through the fake Outlook, and Outlook missing or not yet running.
#include <gtest/gtest.h>

#include "OutlookTestSupport.h"
#include "outlook/FolderDiscovery_win.h"
#include "outlook/MailReader.h"

namespace wrenpost {
namespace {

using testing::ScenarioLine;

TEST(OutlookDiscovery, OffersFoldersDepthFirstWithTheirStoresAndSkipsWhatIsExcluded) {
    const std::wstring ann = ScenarioLine({L"store", L"id=S1", L"name=Ann"});
    const struct {
        const char* name;
        std::wstring scenario;
        std::vector<std::wstring> offered;  // "FolderPath @depth StoreName"
    } cases[] = {
        {"two stores, depth first",
         ann + ScenarioLine({L"folder", L"store=S1", L"path=Inbox\\Projects"}) +
             ScenarioLine({L"folder", L"store=S1", L"path=Archive 2019"}) +
             ScenarioLine({L"store", L"id=S2", L"name=\u0418\u0432\u0430\u043d"}) +
             ScenarioLine({L"folder", L"store=S2", L"path=Inbox"}),
         {L"\\\\Ann @0 Ann", L"\\\\Ann\\Inbox @1 Ann", L"\\\\Ann\\Inbox\\Projects @2 Ann",
          L"\\\\Ann\\Archive 2019 @1 Ann",
          L"\\\\\u0418\u0432\u0430\u043d @0 \u0418\u0432\u0430\u043d",
          L"\\\\\u0418\u0432\u0430\u043d\\Inbox @1 \u0418\u0432\u0430\u043d"}},
        {"calendars in any case and what lies below special folders",
         ann + ScenarioLine({L"folder", L"store=S1", L"path=CALENDAR"}) +
             ScenarioLine({L"folder", L"store=S1", L"path=Deleted Items\\Old"}) +
             ScenarioLine({L"folder", L"store=S1", L"path=Contacts\\Mail kept here"}),
         {L"\\\\Ann @0 Ann", L"\\\\Ann\\Deleted Items @1 Ann"}},
        {"nothing offered", ScenarioLine({L"store", L"id=S1", L"name=Calendar"}), {}},
        {"unreadable folders and stores: empty texts, subfolders still walked",
         ScenarioLine({L"store", L"id=S1", L"name=Ann", L"nodisplayname"}) +
             ScenarioLine({L"folder", L"store=S1", L"path=Broken", L"unreadable"}) +
             ScenarioLine({L"folder", L"store=S1", L"path=Broken\\Inside", L"id=F9"}) +
             ScenarioLine({L"store", L"id=S2", L"name=Bob", L"nostore"}),
         {L"\\\\Ann @0 ", L"\\\\Ann\\Broken\\Inside @2 ", L"\\\\Bob @0 "}},
    };
    std::vector<SelectedFolder> folders;
    for (const auto& c : cases) {
        ASSERT_TRUE(testing::RunningFakeOutlook().WriteScenario(c.scenario));
        EXPECT_EQ(testing::OnOwnThread([&] { return DiscoverFolders(folders); }),
                  !c.offered.empty())
            << c.name;
        std::vector<std::wstring> offered;
        for (const SelectedFolder& folder : folders) {
            offered.push_back(folder.FolderPath + L" @" + std::to_wstring(folder.Depth) + L" " +
                              folder.StoreName);
        }
        EXPECT_EQ(offered, c.offered) << c.name;
    }
    ASSERT_EQ(folders.size(), 3u);
    EXPECT_EQ(folders[1].Name + L" " + folders[1].EntryId + L" " + folders[1].StoreId,
              L"Inside F9 S1");
}

TEST(OutlookAvailability, WithoutOutlookRegisteredDiscoveryReadingAndDetectionFailQuietly) {
    testing::FakeOutlook::UnregisterProgId();
    std::vector<SelectedFolder> folders(1);
    EXPECT_FALSE(testing::OnOwnThread([&] { return DiscoverFolders(folders); }));
    EXPECT_TRUE(folders.empty());
    std::vector<MailSnapshot> mail(1);
    EXPECT_FALSE(testing::OnOwnThread([&] {
        return ReadWatchedFolders({testing::WatchedFolder(L"F1", L"S1")}, 5, false, mail);
    }));
    EXPECT_TRUE(mail.empty());

    // The detection worker still reports, with a record that says nothing was found.
    HWND window =
        CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_TRUE(StartFolderDetection(window));
    MSG msg{};
    for (const DWORD end = GetTickCount() + 20000;
         !PeekMessageW(&msg, window, kFolderDiscoveryMessage, kFolderDiscoveryMessage, PM_REMOVE) &&
         GetTickCount() < end;) {
        Sleep(10);
    }
    ASSERT_EQ(msg.message, kFolderDiscoveryMessage);
    const auto record = AdoptRecord<FolderDiscoveryRecord>(msg.wParam, msg.lParam);
    ASSERT_NE(record, nullptr);
    EXPECT_FALSE(record->Found);
    EXPECT_TRUE(record->Folders.empty());
    DestroyWindow(window);
}

TEST(OutlookAvailability, ANotRunningOutlookIsStartedByTheReader) {
    testing::FakeOutlook& fake = testing::RunningFakeOutlook();  // registered again
    ASSERT_TRUE(fake.Stop());
    ASSERT_TRUE(fake.WriteScenario(ScenarioLine({L"store", L"id=S1", L"name=Ann"}) +
                                   ScenarioLine({L"folder", L"store=S1", L"path=Inbox", L"id=F1"}) +
                                   ScenarioLine({L"item", L"folder=F1", L"subject=Hello"})));
    std::vector<MailSnapshot> mail;
    EXPECT_TRUE(testing::OnOwnThread([&] {
        return ReadWatchedFolders({testing::WatchedFolder(L"F1", L"S1")}, 5, false, mail);
    }));
    ASSERT_EQ(mail.size(), 1u);
    EXPECT_EQ(mail[0].Subject, L"Hello");
    // COM's instance stays up and serves the later tests.
    EXPECT_TRUE(fake.WaitUntilReady(std::chrono::seconds(5)));
}

}  // namespace
}  // namespace wrenpost
