// One fake Outlook for the whole test program: registered and started on first use (the slow
// launch is paid once), stopped gracefully when the program ends.
#pragma once

#include <string>
#include <vector>

#include "profile/ProfileConfig.h"
#include "support/FakeOutlook_win.h"

namespace wrenpost::testing {

// The running shared fake; fails the calling test when it cannot be started.
FakeOutlook& RunningFakeOutlook();
// The shared fake, running or not.
FakeOutlook& SharedFakeOutlook();

// Runs a function on a thread of its own (Outlook work never runs on the test's thread) and
// waits for it.
template <typename Function>
auto OnOwnThread(Function function) -> decltype(function());

SelectedFolder WatchedFolder(const std::wstring& entryId, const std::wstring& storeId,
                             const std::wstring& folderPath = L"");

}  // namespace wrenpost::testing

#include <thread>

template <typename Function>
auto wrenpost::testing::OnOwnThread(Function function) -> decltype(function()) {
    decltype(function()) result{};
    std::thread worker([&] { result = function(); });
    worker.join();
    return result;
}
