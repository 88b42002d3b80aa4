// The shared fake Outlook of the Outlook tests.
#include "OutlookTestSupport.h"

#include <gtest/gtest.h>

#include "common/Text.h"

namespace wrenpost::testing {
namespace {

class StopFakeAtEnd : public ::testing::Environment {
public:
    void TearDown() override { EXPECT_TRUE(SharedFakeOutlook().Stop()); }
};

const auto* const kStopper = ::testing::AddGlobalTestEnvironment(new StopFakeAtEnd);

}  // namespace

FakeOutlook& SharedFakeOutlook() {
    static FakeOutlook fake;
    return fake;
}

FakeOutlook& RunningFakeOutlook() {
    FakeOutlook& fake = SharedFakeOutlook();
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
