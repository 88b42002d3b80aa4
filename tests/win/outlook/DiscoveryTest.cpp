// Folder discovery through the fake Outlook, and Outlook missing or not yet running.
#include <gtest/gtest.h>

#include <fstream>

#include "OutlookTestSupport.h"
#include "app/AppPaths_win.h"
#include "outlook/FolderDiscovery_win.h"
#include "outlook/MailReader.h"
#include "outlook/NewOutlook_win.h"

namespace wrenpost {
namespace {

using testing::ScenarioLine;

TEST(OutlookDiscovery, OffersFoldersDepthFirstWithTheirStoresAndSkipsWhatIsExcluded) {
    const struct {
        std::wstring scenario;
        std::vector<std::wstring> offered;  // "FolderPath @depth StoreName"
    } cases[] = {
        {ScenarioLine({L"store", L"id=S1", L"name=Calendar"}), {}},
        // Calendars in any case and what lies below special folders are left out.
        {ScenarioLine({L"store", L"id=S1", L"name=Ann"}) +
             ScenarioLine({L"folder", L"store=S1", L"path=Inbox\\Projects"}) +
             ScenarioLine({L"folder", L"store=S1", L"path=CALENDAR"}) +
             ScenarioLine({L"folder", L"store=S1", L"path=Deleted Items\\Old"}) +
             ScenarioLine({L"folder", L"store=S1", L"path=Contacts\\Mail kept here"}) +
             ScenarioLine({L"store", L"id=S2", L"name=\u0418\u0432\u0430\u043d"}) +
             ScenarioLine({L"folder", L"store=S2", L"path=Inbox"}),
         {L"\\\\Ann @0 Ann", L"\\\\Ann\\Inbox @1 Ann", L"\\\\Ann\\Inbox\\Projects @2 Ann",
          L"\\\\Ann\\Deleted Items @1 Ann",
          L"\\\\\u0418\u0432\u0430\u043d @0 \u0418\u0432\u0430\u043d",
          L"\\\\\u0418\u0432\u0430\u043d\\Inbox @1 \u0418\u0432\u0430\u043d"}},
    };
    std::vector<SelectedFolder> folders;
    for (const auto& c : cases) {
        ASSERT_TRUE(testing::RunningFakeOutlook().WriteScenario(c.scenario));
        EXPECT_EQ(testing::OnOwnThread([&] { return DiscoverFolders(folders); }),
                  !c.offered.empty());
        std::vector<std::wstring> offered;
        for (const SelectedFolder& folder : folders) {
            offered.push_back(folder.FolderPath + L" @" + std::to_wstring(folder.Depth) + L" " +
                              folder.StoreName);
        }
        EXPECT_EQ(offered, c.offered);
    }
    ASSERT_EQ(folders.size(), 6u);
    EXPECT_EQ(folders[2].Name + L" " + folders[2].EntryId + L" " + folders[2].StoreId,
              L"Projects S1:Inbox\\Projects S1");
}

TEST(OutlookAvailability, WithoutOutlookAllFailsQuietlyAndANotRunningOneIsStartedByTheReader) {
    std::vector<SelectedFolder> folders(1);
    MailReadRequest request;
    request.Folders.resize(1);
    request.Folders[0].Folder = testing::WatchedFolder(L"F1", L"S1");
    const auto read = [&] {
        return testing::OnOwnThread([&] { return ReadWatchedFolders(request); });
    };
    testing::FakeOutlook::UnregisterProgId();
    // Only the new Outlook's alias tells a missing classic Outlook apart from any other failure.
    const std::filesystem::path aliases = LocalAppDataBase() / L"Microsoft" / L"WindowsApps";
    std::filesystem::create_directories(aliases);
    std::ofstream(aliases / L"olk.exe").put('\0');
    for (const bool newOutlook : {true, false}) {
        std::wstring told;
        EXPECT_FALSE(testing::OnOwnThread([&] { return DiscoverFolders(folders, &told); }));
        EXPECT_EQ(told, newOutlook ? kNewOutlookOnlyText : kFolderDetectionFailedText);
        const MailReadResult missing = read();
        EXPECT_EQ(missing.Unavailable, newOutlook ? kNewOutlookOnlyText : L"");
        EXPECT_TRUE(!missing.Ok && folders.empty() && missing.Messages.empty());
        std::filesystem::remove(aliases / L"olk.exe");
    }

    testing::FakeOutlook& fake = testing::RunningFakeOutlook();  // registered again
    ASSERT_TRUE(fake.Stop());
    ASSERT_TRUE(fake.WriteScenario(ScenarioLine({L"store", L"id=S1", L"name=Ann"}) +
                                   ScenarioLine({L"folder", L"store=S1", L"path=Inbox", L"id=F1"}) +
                                   ScenarioLine({L"item", L"folder=F1", L"subject=Hello"})));
    const MailReadResult started = read();
    EXPECT_TRUE(started.Ok);
    ASSERT_EQ(started.Messages.size(), 1u);
    EXPECT_EQ(started.Messages[0].Subject, L"Hello");
    // COM's instance stays up and serves the later tests.
    EXPECT_TRUE(fake.WaitUntilReady(std::chrono::seconds(5)));
}

}  // namespace
}  // namespace wrenpost
