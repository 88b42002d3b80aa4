// Folder discovery through the fake Outlook: what is offered, in which order, with which data.
#include <gtest/gtest.h>

#include "OutlookTestSupport.h"

namespace wrenpost {
namespace {

using testing::ScenarioLine;

TEST(OutlookDiscovery, OffersFoldersDepthFirstWithTheirStoresAndSkipsWhatIsExcluded) {
    const std::wstring ann = ScenarioLine({L"store", L"id=S1", L"name=Ann"});
    const struct {
        const char* name;
        std::wstring scenario;
        std::vector<std::wstring> offered;
    } cases[] = {
        {"two stores, depth first",
         ann + ScenarioLine({L"folder", L"store=S1", L"path=Inbox", L"id=F1"}) +
             ScenarioLine({L"folder", L"store=S1", L"path=Inbox\\Projects", L"id=F2"}) +
             ScenarioLine({L"folder", L"store=S1", L"path=Archive 2019"}) +
             ScenarioLine({L"store", L"id=S2", L"name=\u0418\u0432\u0430\u043d"}) +
             ScenarioLine({L"folder", L"store=S2", L"path=Inbox"}),
         {L"\\\\Ann @0 Ann", L"\\\\Ann\\Inbox @1 Ann", L"\\\\Ann\\Inbox\\Projects @2 Ann",
          L"\\\\Ann\\Archive 2019 @1 Ann",
          L"\\\\\u0418\u0432\u0430\u043d @0 \u0418\u0432\u0430\u043d",
          L"\\\\\u0418\u0432\u0430\u043d\\Inbox @1 \u0418\u0432\u0430\u043d"}},
        {"calendars in any case and what lies below special folders",
         ann + ScenarioLine({L"folder", L"store=S1", L"path=CALENDAR"}) +
             ScenarioLine({L"folder", L"store=S1", L"path=Inbox\\calendars archive"}) +
             ScenarioLine({L"folder", L"store=S1", L"path=Deleted Items\\Old"}) +
             ScenarioLine({L"folder", L"store=S1", L"path=Contacts\\Mail kept here"}),
         {L"\\\\Ann @0 Ann", L"\\\\Ann\\Inbox @1 Ann", L"\\\\Ann\\Deleted Items @1 Ann"}},
        {"unreadable folders and stores: empty texts, subfolders still walked",
         ScenarioLine({L"store", L"id=S1", L"name=Ann", L"nodisplayname"}) +
             ScenarioLine({L"folder", L"store=S1", L"path=Broken", L"unreadable"}) +
             ScenarioLine({L"folder", L"store=S1", L"path=Broken\\Inside", L"id=F9"}) +
             ScenarioLine({L"store", L"id=S2", L"name=Bob", L"nostore"}) +
             ScenarioLine({L"folder", L"store=S2", L"path=Inbox"}),
         {L"\\\\Ann @0 ", L"\\\\Ann\\Broken\\Inside @2 ", L"\\\\Bob @0 ", L"\\\\Bob\\Inbox @1 "}},
        {"nothing offered", ScenarioLine({L"store", L"id=S1", L"name=Calendar"}), {}},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(testing::RunningFakeOutlook().WriteScenario(c.scenario));
        std::vector<SelectedFolder> folders;
        EXPECT_EQ(testing::OnOwnThread([&] { return DiscoverFolders(folders); }),
                  !c.offered.empty())
            << c.name;
        EXPECT_EQ(testing::Describe(folders), c.offered) << c.name;
    }
}

TEST(OutlookDiscovery, RecordsCarryIdsNamesAndTheDetectionTimeAndReachTheWindow) {
    ASSERT_TRUE(testing::RunningFakeOutlook().WriteScenario(
        ScenarioLine({L"store", L"id=S1", L"name=Ann"}) +
        ScenarioLine({L"folder", L"store=S1", L"path=Broken", L"unreadable"}) +
        ScenarioLine({L"folder", L"store=S1", L"path=Broken\\Inside", L"id=F9"})));
    const auto record = testing::DetectThroughWindow();
    ASSERT_NE(record, nullptr);
    EXPECT_TRUE(record->Found);
    EXPECT_EQ(record->Failure, L"");
    ASSERT_EQ(record->Folders.size(), 2u);
    const SelectedFolder& inside = record->Folders[1];
    EXPECT_EQ(inside.Name, L"Inside");
    EXPECT_EQ(inside.EntryId, L"F9");
    EXPECT_EQ(inside.StoreId, L"S1");
    EXPECT_EQ(inside.DetectedOn.size(), 19u);  // "YYYY-MM-DD HH:MM:SS"
    EXPECT_EQ(inside.DetectedOn[13], L':');
}

}  // namespace
}  // namespace wrenpost
