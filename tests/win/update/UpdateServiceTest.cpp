// The update service over real WinHTTP and the registry, the version resource, the check thread.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>

#include "../../unit/update/ManifestBuilder.h"
#include "common/Text.h"
#include "support/FakeBotApiServer_win.h"
#include "update/UpdateCheckLauncher_win.h"
#include "update/UpdateService_win.h"

namespace wrenpost {
namespace {

using Fetch = UpdateChecker::HttpFetchResult;
using namespace std::chrono_literals;

TEST(UpdateService, TheRegistryOverridePointsTheRealFetchAtALoopbackServiceWithADeadline) {
    const auto setOverride = [](const std::wstring& url) {
        ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kWrenpostRegistryKey,
                                  kUpdateServiceBaseUrlValue, REG_SZ, url.c_str(),
                                  static_cast<DWORD>((url.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    };
    testing::FakeBotApiServer service;
    ASSERT_TRUE(service.Start());
    service.QueueReply("/api/updates/windows/latest",
                       {200, testing::Manifest({{"latestVersion", "\"3.0.0\""}}),
                        "Application/JSON; Charset=UTF-8"});
    setOverride(service.BaseUrl() + L"/");
    EXPECT_EQ(UpdateChecker::CheckForUpdates(&UpdateChecker::FetchLatestManifest, Version{1, 0, 0})
                  .outcome,
              UpdateOutcome::UpdateAvailable);
    // Plain http elsewhere fails rather than falling back to the build's address.
    setOverride(L"http://updates.example.com");
    EXPECT_FALSE(UpdateChecker::FetchLatestManifest().ok);
    EXPECT_EQ(service.Requests().size(), 1u);
    // A service that stalls after the head is cut off at the check's deadline.
    testing::FakeBotApiReply stalled{200, testing::Manifest({})};
    stalled.bytePause = std::chrono::minutes(10);
    service.QueueReply("/api/updates/windows/latest", stalled);
    const auto fetch = [&] {
        return FetchUpdateManifestFrom({false, L"127.0.0.1", service.ServerEndpoint().port}, 1s);
    };
    EXPECT_EQ(UpdateChecker::CheckForUpdates(fetch, Version{1, 0, 0}).failureReason,
              "the update service did not answer within 1 s");
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kWrenpostRegistryKey, kUpdateServiceBaseUrlValue);
}

TEST(ProgramVersion, IsReadFromTheBuiltProgramsVersionResource) {
    std::wstring path = L"Z:" + Utf8ToWide(WRENPOST_BUILD_DIR "/bin/Wrenpost.exe");
    std::replace(path.begin(), path.end(), L'/', L'\\');
    const std::optional<Version> version = ReadFileVersion(path);
    ASSERT_TRUE(version.has_value()) << "build Wrenpost.exe first: " << WideToUtf8(path);
    Version expected;
    ASSERT_TRUE(ParseVersionText(WRENPOST_VERSION_TEXT, expected));
    EXPECT_EQ(*version, expected);
    EXPECT_FALSE(ReadProgramVersion().has_value());  // this test program carries none
}

TEST(UpdateCheckThread, IgnoresRequestsWhileBusyOrTheWindowIsOpenAndSurvivesItsWindow) {
    HWND window =
        CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    std::atomic<int> fetches{0};
    std::atomic<bool> gate{false};
    UpdateCheckLauncher launcher(
        [&] {
            ++fetches;
            while (!gate) Sleep(5);
            return Fetch{};
        },
        [] {
            return std::optional<Version>(Version{1, 3, 9});
        });
    launcher.SetUpdateWindowOpen(true);
    EXPECT_FALSE(launcher.Start(window, true));
    launcher.SetUpdateWindowOpen(false);
    ASSERT_TRUE(launcher.Start(window, true));
    EXPECT_FALSE(launcher.Start(window, false));
    // The window goes before the result can be posted: the next check may still start.
    DiscardPendingRecords(window);
    DestroyWindow(window);
    gate = true;
    for (int i = 0; i < 3000 && launcher.IsRunning(); ++i) Sleep(10);
    EXPECT_FALSE(launcher.IsRunning());
    EXPECT_EQ(fetches, 1);
}

}  // namespace
}  // namespace wrenpost
