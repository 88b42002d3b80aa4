// Outlook missing, and Outlook not yet running: COM has to start it.
#include <gtest/gtest.h>

#include "OutlookTestSupport.h"
#include "common/Text.h"
#include "outlook/MailReader.h"

namespace wrenpost {
namespace {

using testing::ScenarioLine;

TEST(OutlookAvailability, WithoutOutlookRegisteredDiscoveryAndReadingFailQuietly) {
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
    const auto record = testing::DetectThroughWindow();
    ASSERT_NE(record, nullptr);
    EXPECT_FALSE(record->Found);
    EXPECT_TRUE(record->Folders.empty());

    std::wstring error;
    EXPECT_TRUE(testing::SharedFakeOutlook().Register(error)) << WideToUtf8(error);
}

TEST(OutlookAvailability, ANotRunningOutlookIsStartedByTheReader) {
    testing::FakeOutlook& fake = testing::RunningFakeOutlook();
    ASSERT_TRUE(fake.Stop());
    ASSERT_FALSE(fake.WaitUntilReady(std::chrono::milliseconds(0)));
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
