// The update check against a loopback fake service over real WinHTTP, the service address from
// the registry, the version read from the built program's resource, and the check thread's
// round trip to a window.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>

#include "../../unit/update/ManifestBuilder.h"
#include "FakeUpdateService.h"
#include "common/Text.h"
#include "update/UpdateCheckLauncher_win.h"
#include "update/UpdateService_win.h"

namespace wrenpost {
namespace {

using testing::FakeReply;
using testing::FakeUpdateService;
using testing::ManifestBuilder;

constexpr Version kCurrent{1, 0, 0};

FakeReply JsonReply(std::string body, std::string contentType = "application/json; charset=utf-8") {
    FakeReply reply;
    reply.headers.emplace_back("Content-Type", std::move(contentType));
    reply.body = std::move(body);
    return reply;
}

std::string Manifest(const std::string& latest) {
    return ManifestBuilder().SetText("latestVersion", latest).Build();
}

void SetRegistryOverride(const std::wstring& url) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kWrenpostRegistryKey, 0, nullptr, 0, KEY_SET_VALUE,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const LONG status = RegSetValueExW(key, kUpdateServiceBaseUrlValue, 0, REG_SZ,
                                       reinterpret_cast<const BYTE*>(url.c_str()),
                                       static_cast<DWORD>((url.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    ASSERT_EQ(status, ERROR_SUCCESS);
}

void ClearRegistryOverride() {
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kWrenpostRegistryKey, kUpdateServiceBaseUrlValue);
}

class UpdateServiceFetch : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(service_.Start(error)) << error;
        std::wstring endpointError;
        ASSERT_TRUE(ParseUpdateEndpoint(service_.BaseUrl(), endpoint_, endpointError));
    }
    void TearDown() override { ClearRegistryOverride(); }

    UpdateCheckResult Check() {
        return UpdateChecker::CheckForUpdates([this] { return FetchUpdateManifestFrom(endpoint_); },
                                              kCurrent);
    }

    FakeUpdateService service_;
    UpdateEndpoint endpoint_;
};

TEST_F(UpdateServiceFetch, OneGetWithTheProgramsAgentFetchesTheManifestForTheCheck) {
    service_.SetReply(JsonReply(Manifest("1.10.0")));
    const UpdateChecker::HttpFetchResult fetched = FetchUpdateManifestFrom(endpoint_);
    ASSERT_TRUE(fetched.ok);
    const std::vector<std::string> requests = service_.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].rfind("GET /api/updates/windows/latest HTTP/1.1\r\n", 0), 0u)
        << requests[0];
    EXPECT_NE(requests[0].find("User-Agent: Wrenpost-UpdateChecker/1.0\r\n"), std::string::npos)
        << requests[0];
    EXPECT_EQ(fetched.statusCode, 200u);
    EXPECT_EQ(fetched.contentType, "application/json; charset=utf-8");
    EXPECT_EQ(fetched.body, Manifest("1.10.0"));
    const UpdateCheckResult result = Check();
    ASSERT_EQ(result.outcome, UpdateOutcome::UpdateAvailable) << result.failureReason;
    EXPECT_EQ(result.latestVersionText, L"1.10.0");

    // The content type arrives lower-cased; an equal version is up to date.
    service_.SetReply(JsonReply(Manifest("1.0.0"), "Application/JSON; Charset=UTF-8"));
    EXPECT_EQ(FetchUpdateManifestFrom(endpoint_).contentType, "application/json; charset=utf-8");
    EXPECT_EQ(Check().outcome, UpdateOutcome::UpToDate);
}

TEST_F(UpdateServiceFetch, WrongOrMissingContentTypeIsRefused) {
    service_.SetReply(JsonReply(Manifest("2.0.0"), "text/html; charset=utf-8"));
    EXPECT_EQ(Check().outcome, UpdateOutcome::CheckFailed);
    FakeReply bare;
    bare.body = Manifest("2.0.0");
    service_.SetReply(bare);
    const UpdateChecker::HttpFetchResult fetched = FetchUpdateManifestFrom(endpoint_);
    ASSERT_TRUE(fetched.ok);
    EXPECT_TRUE(fetched.contentType.empty());
    EXPECT_EQ(Check().outcome, UpdateOutcome::CheckFailed);
}

TEST_F(UpdateServiceFetch, AnErrorStatusFailsEvenWithAValidManifest) {
    FakeReply reply = JsonReply(Manifest("2.0.0"));
    reply.status = 503;
    reply.reason = "Service Unavailable";
    service_.SetReply(reply);
    const UpdateChecker::HttpFetchResult fetched = FetchUpdateManifestFrom(endpoint_);
    EXPECT_TRUE(fetched.ok);
    EXPECT_EQ(fetched.statusCode, 503u);
    EXPECT_EQ(Check().outcome, UpdateOutcome::CheckFailed);
}

TEST_F(UpdateServiceFetch, ABodyOf65536BytesIsReadAndOneByteMoreIsDropped) {
    std::string body = Manifest("2.0.0");
    body.resize(65'536, ' ');
    service_.SetReply(JsonReply(body));
    EXPECT_EQ(FetchUpdateManifestFrom(endpoint_).body.size(), 65'536u);
    EXPECT_EQ(Check().outcome, UpdateOutcome::UpdateAvailable);

    body.push_back(' ');
    service_.SetReply(JsonReply(body));
    const UpdateChecker::HttpFetchResult fetched = FetchUpdateManifestFrom(endpoint_);
    EXPECT_TRUE(fetched.ok);
    EXPECT_TRUE(fetched.body.empty());
    EXPECT_EQ(Check().outcome, UpdateOutcome::CheckFailed);

    // Without a Content-Length the cap still holds while the body streams in.
    FakeReply streamed = JsonReply(body);
    streamed.sendContentLength = false;
    service_.SetReply(streamed);
    EXPECT_TRUE(FetchUpdateManifestFrom(endpoint_).body.empty());
}

TEST_F(UpdateServiceFetch, AServerThatNeverAnswersFailsWithinTheTimeouts) {
    FakeReply silent;
    silent.neverAnswer = true;
    service_.SetReply(silent);
    const auto start = std::chrono::steady_clock::now();
    const UpdateChecker::HttpFetchResult fetched = FetchUpdateManifestFrom(endpoint_);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_FALSE(fetched.ok);
    EXPECT_EQ(fetched.statusCode, 0u);
    // Resolve, connect, send and receive are each bounded by 5 s.
    EXPECT_LT(elapsed, std::chrono::seconds(20));
    EXPECT_EQ(service_.Requests().size(), 1u);
    // Nothing listening fails without a response too.
    UpdateEndpoint closed = endpoint_;
    closed.port = 1;
    EXPECT_FALSE(FetchUpdateManifestFrom(closed).ok);
}

TEST_F(UpdateServiceFetch, TheRegistryOverridePointsTheRealFetchAtTheService) {
    service_.SetReply(JsonReply(Manifest("3.0.0")));
    SetRegistryOverride(service_.BaseUrl() + L"/");
    EXPECT_EQ(UpdateServiceBaseUrl(), service_.BaseUrl() + L"/");
    const UpdateCheckResult result =
        UpdateChecker::CheckForUpdates(&UpdateChecker::FetchLatestManifest, kCurrent);
    EXPECT_EQ(result.outcome, UpdateOutcome::UpdateAvailable) << result.failureReason;
    EXPECT_EQ(service_.Requests().size(), 1u);
}

TEST_F(UpdateServiceFetch, AnInvalidOrCleartextOverrideIsNotContacted) {
    service_.SetReply(JsonReply(Manifest("3.0.0")));
    SetRegistryOverride(L"http://localhost.example.invalid:" + std::to_wstring(service_.Port()));
    EXPECT_FALSE(UpdateChecker::FetchLatestManifest().ok);
    SetRegistryOverride(L"not an address");
    EXPECT_FALSE(UpdateChecker::FetchLatestManifest().ok);
    EXPECT_TRUE(service_.Requests().empty());
}

TEST(UpdateServiceAddress, DefaultsToTheBuildsAddress) {
    ClearRegistryOverride();
    EXPECT_EQ(UpdateServiceBaseUrl(), std::wstring(WRENPOST_UPDATE_SERVICE_URL));
    UpdateEndpoint endpoint;
    std::wstring error;
    EXPECT_TRUE(ResolveUpdateEndpoint(endpoint, error)) << WideToUtf8(error);
    EXPECT_TRUE(endpoint.secure);
}

std::wstring BuiltProgramPath() {
    std::wstring path = L"Z:" + Utf8ToWide(WRENPOST_BUILD_DIR "/bin/Wrenpost.exe");
    for (wchar_t& c : path) {
        if (c == L'/') {
            c = L'\\';
        }
    }
    return path;
}

TEST(ProgramVersion, IsReadFromTheBuiltProgramsVersionResource) {
    const std::optional<Version> version = ReadFileVersion(BuiltProgramPath());
    ASSERT_TRUE(version.has_value())
        << "build Wrenpost.exe first: " << WideToUtf8(BuiltProgramPath());
    Version expected;
    ASSERT_TRUE(ParseVersionText(WRENPOST_VERSION_TEXT, expected));
    EXPECT_EQ(*version, expected);
}

TEST(ProgramVersion, AFileWithoutVersionResourceHasNone) {
    wchar_t self[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    EXPECT_FALSE(ReadFileVersion(self).has_value());
    EXPECT_FALSE(ReadProgramVersion().has_value());  // this test program carries none
    EXPECT_FALSE(ReadFileVersion(L"C:\\no\\such\\file.exe").has_value());
}

// ---- the check thread and its window message

class MessageWindow {
public:
    MessageWindow()
        : window_(CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                                  nullptr)) {}
    ~MessageWindow() { Destroy(); }
    HWND get() const { return window_; }
    void Destroy() {
        if (window_ != nullptr) {
            DiscardPendingRecords(window_);
            DestroyWindow(window_);
            window_ = nullptr;
        }
    }

    // Pumps until the result message arrives (or a generous deadline passes).
    bool WaitForResult(MSG& out) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (std::chrono::steady_clock::now() < deadline) {
            if (PeekMessageW(&out, window_, kUpdateCheckResultMessage, kUpdateCheckResultMessage,
                             PM_REMOVE)) {
                return true;
            }
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_POSTMESSAGE);
        }
        return false;
    }

private:
    HWND window_;
};

class Gate {
public:
    Gate() : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~Gate() { CloseHandle(event_); }
    void Open() { SetEvent(event_); }
    void Wait() const { WaitForSingleObject(event_, 30'000); }

private:
    HANDLE event_;
};

TEST(UpdateCheckThread, PostsTheResultWithTheManualFlagToTheWindow) {
    MessageWindow window;
    ASSERT_NE(window.get(), nullptr);
    UpdateCheckLauncher launcher(
        [] {
            UpdateChecker::HttpFetchResult fetched;
            fetched.ok = true;
            fetched.statusCode = 200;
            fetched.contentType = "application/json";
            fetched.body = Manifest("1.4.0");
            return fetched;
        },
        [] {
            return std::optional<Version>(Version{1, 3, 9});
        });
    ASSERT_TRUE(launcher.Start(window.get(), true));
    MSG msg;
    ASSERT_TRUE(window.WaitForResult(msg));
    const auto record = launcher.Finish(msg.wParam, msg.lParam);
    ASSERT_NE(record, nullptr);
    EXPECT_TRUE(record->result.manual);
    EXPECT_EQ(record->result.outcome, UpdateOutcome::UpdateAvailable);
    EXPECT_EQ(record->result.currentVersionText, L"1.3.9");
    EXPECT_FALSE(launcher.IsRunning());

    ASSERT_TRUE(launcher.Start(window.get(), false));
    ASSERT_TRUE(window.WaitForResult(msg));
    EXPECT_FALSE(launcher.Finish(msg.wParam, msg.lParam)->result.manual);
}

TEST(UpdateCheckThread, IgnoresRequestsWhileACheckRunsOrTheUpdateWindowIsOpen) {
    MessageWindow window;
    Gate gate;
    std::atomic<int> fetches{0};
    UpdateCheckLauncher launcher(
        [&] {
            ++fetches;
            gate.Wait();
            return UpdateChecker::HttpFetchResult{};
        },
        [] { return std::optional<Version>(kCurrent); });
    ASSERT_TRUE(launcher.Start(window.get(), false));
    EXPECT_TRUE(launcher.IsRunning());
    EXPECT_FALSE(launcher.Start(window.get(), true));
    gate.Open();
    MSG msg;
    ASSERT_TRUE(window.WaitForResult(msg));
    const auto record = launcher.Finish(msg.wParam, msg.lParam);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->result.outcome, UpdateOutcome::CheckFailed);
    EXPECT_FALSE(record->result.manual);
    EXPECT_EQ(fetches, 1);

    launcher.SetUpdateWindowOpen(true);
    EXPECT_FALSE(launcher.Start(window.get(), true));
    EXPECT_FALSE(launcher.IsRunning());
    launcher.SetUpdateWindowOpen(false);
    EXPECT_TRUE(launcher.Start(window.get(), true));
    ASSERT_TRUE(window.WaitForResult(msg));
    EXPECT_NE(launcher.Finish(msg.wParam, msg.lParam), nullptr);
    EXPECT_EQ(fetches, 2);
}

TEST(UpdateCheckThread, AResultForAVanishedWindowDoesNotBlockLaterChecks) {
    MessageWindow window;
    Gate gate;
    UpdateCheckLauncher launcher(
        [&] {
            gate.Wait();
            return UpdateChecker::HttpFetchResult{};
        },
        [] { return std::optional<Version>(kCurrent); });
    ASSERT_TRUE(launcher.Start(window.get(), false));
    window.Destroy();
    gate.Open();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (launcher.IsRunning() && std::chrono::steady_clock::now() < deadline) {
        Sleep(10);
    }
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
    ASSERT_TRUE(launcher.Start(window.get(), true));
    MSG msg;
    ASSERT_TRUE(window.WaitForResult(msg));
    EXPECT_EQ(launcher.Finish(msg.wParam, msg.lParam)->result.outcome, UpdateOutcome::CheckFailed);
    EXPECT_EQ(fetches, 0);
}

}  // namespace
}  // namespace wrenpost
