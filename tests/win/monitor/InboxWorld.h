// The world both monitor suites start from: the fake Outlook serving a scenario, and the profile
// "Work" that watches Ann's Inbox (F1 in store S1) for chat 4242; and their wait.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "common/Text.h"
#include "profile/ProfileConfig.h"
#include "support/FakeOutlook_win.h"

namespace wrenpost::testing {

// Waits until `done` holds, at most `limit`; whether it holds.
template <typename Done>
bool Within(std::chrono::seconds limit, Done done) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done() && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return done();
}

inline void StartInboxWorld(FakeOutlook& outlook, const std::wstring& scenario,
                            const std::filesystem::path& folder, ProfileConfig& profile) {
    std::wstring error;
    ASSERT_TRUE(outlook.Register(error)) << WideToUtf8(error);
    ASSERT_TRUE(outlook.WriteScenario(scenario));
    ASSERT_TRUE(outlook.Start(error)) << WideToUtf8(error);
    profile.SelectedFolders = {{L"Inbox", L"\\\\Ann\\Inbox", L"F1", L"S1", L"", L"", 0}};
    profile.Recipients = {{L"4242", L"", true, L"", L"Never"}};
    ASSERT_TRUE(SaveProfileConfig(folder / L"WorkConfig.json", profile));
}

}  // namespace wrenpost::testing
