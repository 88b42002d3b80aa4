// One fake Outlook for the whole test program: registered and started on first use (the slow
// launch is paid once), stopped gracefully when the program ends; and the helpers every Outlook
// test shares.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "outlook/FolderDiscovery_win.h"
#include "profile/ProfileConfig.h"
#include "support/FakeOutlook_win.h"

namespace wrenpost::testing {

// The running shared fake; fails the calling test when it cannot be started.
FakeOutlook& RunningFakeOutlook();
// The shared fake, running or not.
FakeOutlook& SharedFakeOutlook();

// Runs a function on a thread of its own (Outlook work never runs on the test's thread).
template <typename Function>
auto OnOwnThread(Function function) -> decltype(function()) {
    decltype(function()) result{};
    std::thread([&] { result = function(); }).join();
    return result;
}

SelectedFolder WatchedFolder(const std::wstring& entryId, const std::wstring& storeId,
                             const std::wstring& folderPath = L"");

// "FolderPath @depth StoreName" per folder, for compact comparisons.
std::vector<std::wstring> Describe(const std::vector<SelectedFolder>& folders);

// Runs the detection worker for a message-only window and returns its record (null: none came).
std::unique_ptr<FolderDiscoveryRecord> DetectThroughWindow();

}  // namespace wrenpost::testing
