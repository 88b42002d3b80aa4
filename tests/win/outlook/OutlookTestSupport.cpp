// The shared fake Outlook of the Outlook tests.
#include "OutlookTestSupport.h"

#include <gtest/gtest.h>

#include "common/Text.h"

namespace wrenpost::testing {
namespace {

bool startedHere = false;

// Only the process that started the fake stops it (a child test process shares it).
class StopFakeAtEnd : public ::testing::Environment {
public:
    void TearDown() override {
        if (startedHere) {
            EXPECT_TRUE(SharedFakeOutlook().Stop());
        }
    }
};

const auto* const kStopper = ::testing::AddGlobalTestEnvironment(new StopFakeAtEnd);

}  // namespace

FakeOutlook& SharedFakeOutlook() {
    static FakeOutlook fake;
    return fake;
}

FakeOutlook& RunningFakeOutlook() {
    FakeOutlook& fake = SharedFakeOutlook();
    startedHere = true;
    std::wstring error;
    EXPECT_TRUE(fake.Register(error)) << WideToUtf8(error);
    EXPECT_TRUE(fake.Start(error)) << WideToUtf8(error);
    return fake;
}

SelectedFolder WatchedFolder(const std::wstring& entryId, const std::wstring& storeId,
                             const std::wstring& folderPath) {
    SelectedFolder folder;
    folder.EntryId = entryId;
    folder.StoreId = storeId;
    folder.FolderPath = folderPath;
    return folder;
}

std::vector<std::wstring> Describe(const std::vector<SelectedFolder>& folders) {
    std::vector<std::wstring> lines;
    for (const SelectedFolder& folder : folders) {
        lines.push_back(folder.FolderPath + L" @" + std::to_wstring(folder.Depth) + L" " +
                        folder.StoreName);
    }
    return lines;
}

std::unique_ptr<FolderDiscoveryRecord> DetectThroughWindow() {
    HWND window =
        CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    EXPECT_TRUE(StartFolderDetection(window));
    std::unique_ptr<FolderDiscoveryRecord> record;
    MSG msg{};
    for (const DWORD deadline = GetTickCount() + 20000; !record && GetTickCount() < deadline;) {
        if (PeekMessageW(&msg, window, kFolderDiscoveryMessage, kFolderDiscoveryMessage,
                         PM_REMOVE)) {
            record = AdoptRecord<FolderDiscoveryRecord>(msg.wParam, msg.lParam);
        } else {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_POSTMESSAGE);
        }
    }
    DestroyWindow(window);
    return record;
}

}  // namespace wrenpost::testing
