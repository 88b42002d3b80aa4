// What the Outlook tests share: one fake Outlook for the whole program (the slow launch is paid
// once; its destructor stops it at exit), and running Outlook work on a thread of its own.
#pragma once

#include <gtest/gtest.h>

#include <thread>

#include "common/Text.h"
#include "profile/ProfileConfig.h"
#include "support/FakeOutlook_win.h"

namespace wrenpost::testing {

// Registered and running; fails the calling test when it cannot be started.
inline FakeOutlook& RunningFakeOutlook() {
    static FakeOutlook fake;
    std::wstring error;
    EXPECT_TRUE(fake.Register(error) && fake.Start(error)) << WideToUtf8(error);
    return fake;
}

// Outlook work never runs on the test's thread.
template <typename Function>
auto OnOwnThread(Function function) -> decltype(function()) {
    decltype(function()) result{};
    std::thread([&] { result = function(); }).join();
    return result;
}

inline SelectedFolder WatchedFolder(const std::wstring& entryId, const std::wstring& storeId,
                                    const std::wstring& folderPath = L"") {
    SelectedFolder folder;
    folder.EntryId = entryId;
    folder.StoreId = storeId;
    folder.FolderPath = folderPath;
    return folder;
}

}  // namespace wrenpost::testing
