// What the end-to-end tests of monitoring start from: the fake Bot API serving as Telegram, the
// fake Outlook with Ann's Inbox holding one mail from before (a read that looks at no item counts
// as failed), and saved profiles in C:\WrenpostE2E, removed again at the end.
#pragma once

#include <windows.h>
// The headers below need windows.h first.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/LocalTime.h"
#include "profile/ProfileConfig.h"
#include "profile/TokenFile_win.h"
#include "support/FakeBotApiServer_win.h"
#include "support/FakeOutlook_win.h"

namespace wrenpost::testing {

inline const std::wstring kMailbox =
    ScenarioLine({L"store", L"id=S1", L"name=Ann"}) +
    ScenarioLine({L"folder", L"store=S1", L"path=Inbox", L"id=F1"}) +
    ScenarioLine({L"item", L"folder=F1", L"id=OLD1", L"subject=Last week",
                  L"received=2026-01-01 08:00:00", L"delivery=2026-01-01 08:00:00"});

class MonitoredWorld {
protected:
    // Fails the calling test (fatally) when a fake cannot start.
    void StartWorld() {
        ASSERT_TRUE(server_.Start());
        ASSERT_TRUE(server_.ServeAsTelegram());
        std::wstring error;
        ASSERT_TRUE(outlook_.Register(error)) << error;
        ASSERT_TRUE(outlook_.WriteScenario(kMailbox));
    }
    void EndWorld() {
        (void)outlook_.Stop();
        std::error_code ignored;
        std::filesystem::remove_all(L"C:\\WrenpostE2E", ignored);
    }

    // A saved profile with one allowed recipient, watching the Inbox unless told otherwise.
    // Not under the hidden AppData: wine's folder picker cannot open on a hidden folder.
    static std::filesystem::path SaveProfile(const std::wstring& name, const std::wstring& token,
                                             const std::wstring& chatId, bool withFolder = true) {
        ProfileConfig config;
        config.ProfileName = name;
        config.Recipients = {{chatId, L"Ann", true, FormatLocalTimestamp(), L"Never"}};
        if (withFolder) {
            config.SelectedFolders = {{L"Inbox", L"\\\\Ann\\Inbox", L"F1", L"S1", L"Ann", L"", 1}};
        }
        const std::filesystem::path folder = std::filesystem::path(L"C:\\WrenpostE2E") / name;
        std::filesystem::create_directories(folder);
        EXPECT_TRUE(SaveProfileConfig(folder / (name + L"Config.json"), config));
        EXPECT_TRUE(WriteTokenFile(folder / (name + L".token"), token));
        return folder;
    }

    FakeBotApiServer server_;
    FakeOutlook outlook_;
};

}  // namespace wrenpost::testing
