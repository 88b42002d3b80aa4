// The update check against a loopback fake service over real WinHTTP, the service address from
// the registry, the version read from the built program's resource, and the check thread's
// round trip to a window.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>

#include "../../unit/update/ManifestBuilder.h"
#include "common/Text.h"
#include "support/FakeBotApiServer_win.h"
#include "update/UpdateCheckLauncher_win.h"
#include "update/UpdateService_win.h"

namespace wrenpost {
namespace {

using testing::FakeBotApiReply;

constexpr char kPath[] = "/api/updates/windows/latest";

FakeBotApiReply Manifest(const std::string& latest, std::size_t padTo = 0) {
    FakeBotApiReply reply{200, testing::Manifest({{"latestVersion", testing::Quoted(latest)}}),
                          "Application/JSON; Charset=UTF-8"};
    reply.body.resize(std::max(padTo, reply.body.size()), ' ');
    return reply;
}

void SetOverride(const std::wstring& url) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kWrenpostRegistryKey, 0, nullptr, 0, KEY_SET_VALUE,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, kUpdateServiceBaseUrlValue, 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(url.c_str()),
                   static_cast<DWORD>((url.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

class UpdateServiceFetch : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(service_.Start());
        std::wstring error;
        ASSERT_TRUE(ParseUpdateEndpoint(service_.BaseUrl(), endpoint_, error));
    }
    void TearDown() override {
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kWrenpostRegistryKey, kUpdateServiceBaseUrlValue);
    }
    UpdateOutcome Check() {
        return UpdateChecker::CheckForUpdates([this] { return FetchUpdateManifestFrom(endpoint_); },
                                              Version{1, 0, 0})
            .outcome;
    }

    testing::FakeBotApiServer service_;
    UpdateEndpoint endpoint_;
};

TEST_F(UpdateServiceFetch, OneGetWithTheProgramsAgentFetchesTheManifest) {
    service_.QueueReply(kPath, Manifest("1.10.0"));
    const UpdateChecker::HttpFetchResult fetched = FetchUpdateManifestFrom(endpoint_);
    ASSERT_TRUE(fetched.ok);
    EXPECT_EQ(fetched.statusCode, 200u);
    EXPECT_EQ(fetched.contentType, "application/json; charset=utf-8");  // lower-cased
    EXPECT_EQ(fetched.body, Manifest("1.10.0").body);
    const auto request = service_.Requests().at(0);
    EXPECT_EQ(request.verb + " " + request.method + " " + request.userAgent,
              std::string("GET ") + kPath + " Wrenpost-UpdateChecker/1.0");
    FakeBotApiReply untyped = Manifest("1.10.0");
    untyped.contentType.clear();
    service_.QueueReply(kPath, untyped);
    EXPECT_TRUE(FetchUpdateManifestFrom(endpoint_).contentType.empty());
}

TEST_F(UpdateServiceFetch, ABodyOf65536BytesIsReadAndOneByteMoreIsDropped) {
    for (const bool contentLength : {true, false}) {
        FakeBotApiReply reply = Manifest("2.0.0", 65'536);
        reply.sendContentLength = contentLength;
        service_.QueueReply(kPath, reply);
        EXPECT_EQ(FetchUpdateManifestFrom(endpoint_).body.size(), 65'536u);
        reply.body.push_back(' ');
        service_.QueueReply(kPath, reply);
        const UpdateChecker::HttpFetchResult fetched = FetchUpdateManifestFrom(endpoint_);
        EXPECT_TRUE(fetched.ok);
        EXPECT_TRUE(fetched.body.empty()) << contentLength;
        service_.QueueReply(kPath, reply);
        EXPECT_EQ(Check(), UpdateOutcome::CheckFailed);
    }
}

TEST_F(UpdateServiceFetch, AServerThatNeverAnswersFailsWithinTheTimeouts) {
    FakeBotApiReply silent = Manifest("2.0.0");
    silent.delay = std::chrono::minutes(2);
    service_.QueueReply(kPath, silent);
    const auto start = std::chrono::steady_clock::now();
    const UpdateChecker::HttpFetchResult fetched = FetchUpdateManifestFrom(endpoint_);
    // Resolve, connect, send, receive and the response head are each bounded by 5 s.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_FALSE(fetched.ok);
    EXPECT_EQ(service_.Requests().size(), 1u);
    service_.Stop();  // nothing listening fails without a response too
    EXPECT_FALSE(FetchUpdateManifestFrom(endpoint_).ok);
}

TEST_F(UpdateServiceFetch, TheRegistryOverridePointsTheRealFetchAtTheService) {
    service_.QueueReply(kPath, Manifest("3.0.0"));
    SetOverride(service_.BaseUrl() + L"/");
    EXPECT_EQ(UpdateChecker::CheckForUpdates(&UpdateChecker::FetchLatestManifest, Version{1, 0, 0})
                  .outcome,
              UpdateOutcome::UpdateAvailable);
    // An invalid override fails rather than falling back to the build's address.
    SetOverride(L"not an address");
    EXPECT_FALSE(UpdateChecker::FetchLatestManifest().ok);
    EXPECT_EQ(service_.Requests().size(), 1u);
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
    EXPECT_FALSE(ReadFileVersion(L"C:\\no\\such\\file.exe").has_value());
}

// ---- the check thread and its window message

struct MessageWindow {
    HWND window =
        CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ~MessageWindow() { Destroy(); }
    void Destroy() {
        if (window != nullptr) {
            DiscardPendingRecords(window);
            DestroyWindow(std::exchange(window, nullptr));
        }
    }
    // Pumps until the result arrives (or a generous deadline passes) and finishes the check.
    std::unique_ptr<UpdateCheckRecord> Result(UpdateCheckLauncher& launcher) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        MSG msg;
        while (std::chrono::steady_clock::now() < deadline) {
            if (PeekMessageW(&msg, window, kUpdateCheckResultMessage, kUpdateCheckResultMessage,
                             PM_REMOVE)) {
                return launcher.Finish(msg.wParam, msg.lParam);
            }
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_POSTMESSAGE);
        }
        return nullptr;
    }
};

TEST(UpdateCheckThread, PostsResultsAndIgnoresRequestsWhileBusyOrTheWindowIsOpen) {
    MessageWindow window;
    std::atomic<int> fetches{0};
    std::atomic<bool> gate{false};
    UpdateCheckLauncher launcher(
        [&] {
            ++fetches;
            while (!gate) Sleep(5);
            return UpdateChecker::HttpFetchResult{true, 200, "application/json",
                                                  Manifest("1.4.0").body};
        },
        [] {
            return std::optional<Version>(Version{1, 3, 9});
        });
    ASSERT_TRUE(launcher.Start(window.window, true));
    EXPECT_TRUE(launcher.IsRunning());
    EXPECT_FALSE(launcher.Start(window.window, false));
    gate = true;
    auto record = window.Result(launcher);
    ASSERT_NE(record, nullptr);
    EXPECT_TRUE(record->result.manual);
    EXPECT_EQ(record->result.outcome, UpdateOutcome::UpdateAvailable);
    EXPECT_EQ(record->result.currentVersionText, L"1.3.9");
    EXPECT_FALSE(launcher.IsRunning());

    launcher.SetUpdateWindowOpen(true);
    EXPECT_FALSE(launcher.Start(window.window, true));
    launcher.SetUpdateWindowOpen(false);
    ASSERT_TRUE(launcher.Start(window.window, false));
    record = window.Result(launcher);
    ASSERT_NE(record, nullptr);
    EXPECT_FALSE(record->result.manual);
    EXPECT_EQ(fetches, 2);
}

TEST(UpdateCheckThread, AResultForAVanishedWindowDoesNotBlockLaterChecks) {
    MessageWindow window;
    std::atomic<bool> gate{false};
    UpdateCheckLauncher launcher(
        [&] {
            while (!gate) Sleep(5);
            return UpdateChecker::HttpFetchResult{};
        },
        [] {
            return std::optional<Version>(Version{1, 0, 0});
        });
    ASSERT_TRUE(launcher.Start(window.window, false));
    window.Destroy();
    gate = true;
    for (int i = 0; i < 3000 && launcher.IsRunning(); ++i) Sleep(10);
    EXPECT_FALSE(launcher.IsRunning());
}

TEST(UpdateCheckThread, WithoutTheProgramsVersionTheCheckFailsWithoutFetching) {
    MessageWindow window;
    std::atomic<int> fetches{0};
    UpdateCheckLauncher launcher(
        [&] {
            ++fetches;
            return UpdateChecker::HttpFetchResult{};
        },
        &ReadProgramVersion);  // this test program has no version resource
    ASSERT_TRUE(launcher.Start(window.window, true));
    const auto record = window.Result(launcher);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->result.outcome, UpdateOutcome::CheckFailed);
    EXPECT_EQ(fetches, 0);
}

}  // namespace
}  // namespace wrenpost
