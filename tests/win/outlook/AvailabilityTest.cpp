// Outlook missing, and Outlook not yet running: COM has to start it.
#include <gtest/gtest.h>

#include "OutlookTestSupport.h"
#include "common/Text.h"
#include "outlook/FolderDiscovery_win.h"
#include "outlook/MailReader.h"

namespace wrenpost {
namespace {

using testing::ScenarioLine;

TEST(OutlookAvailability, WithoutOutlookRegisteredDiscoveryAndReadingFailQuietly) {
    testing::FakeOutlook& fake = testing::SharedFakeOutlook();
    testing::FakeOutlook::UnregisterProgId();
    std::vector<SelectedFolder> folders(1);
    EXPECT_FALSE(testing::OnOwnThread([&] { return DiscoverFolders(folders); }));
    EXPECT_TRUE(folders.empty());
    std::vector<MailSnapshot> mail(1);
    EXPECT_FALSE(testing::OnOwnThread([&] {
        return ReadWatchedFolders({testing::WatchedFolder(L"F1", L"S1")}, 5, false, mail);
    }));
    EXPECT_TRUE(mail.empty());

    // The detection thread still reports, with a record that says nothing was found.
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
    DestroyWindow(window);
    ASSERT_NE(record, nullptr);
    EXPECT_FALSE(record->Found);
    EXPECT_TRUE(record->Folders.empty());

    std::wstring error;
    EXPECT_TRUE(fake.Register(error)) << WideToUtf8(error);
}

TEST(OutlookAvailability, ANotRunningOutlookIsStartedByTheReader) {
    testing::FakeOutlook& fake = testing::RunningFakeOutlook();
    ASSERT_TRUE(fake.Stop());
    ASSERT_FALSE(fake.IsRunning());
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
