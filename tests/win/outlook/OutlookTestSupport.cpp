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

}  // namespace wrenpost::testing
