// The WinHTTP client and the Bot API through it against the loopback fake server: what arrives,
// the body cap, time-outs, failure texts with WinHTTP numbers, the endpoint setting, and the
// results the workers post.
#include <gtest/gtest.h>
#include <windows.h>

#include "common/HttpClient_win.h"
#include "common/Registry_win.h"
#include "common/Text.h"
#include "support/FakeBotApiServer_win.h"
#include "support/FakeClock.h"
#include "telegram/TelegramMessages_win.h"
#include "telegram/TelegramProvider.h"
#include "telegram/WinHttpTransport_win.h"

namespace wrenpost {
namespace {

using testing::FakeBotApiReply;
using testing::FakeBotApiServer;

class BotApiOverWinHttp : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.Start()); }
    HttpTransport Transport() const { return MakeWinHttpTransport(server.ServerEndpoint()); }
    // A request for the method "x" with the given body cap and time-outs.
    HttpResponse Perform(std::size_t cap, const HttpTimeouts& timeouts = {}) const {
        HttpRequest request;
        request.path = L"/bot1:A/x";
        request.maxBodyBytes = cap;
        request.timeouts = timeouts;
        return PerformHttpRequest(server.ServerEndpoint(), L"t", request);
    }
    SendResult Send(const std::wstring& body) {
        return TelegramProvider(L"123:ABC", L"-1001234567890", Transport()).Send(L"T", body);
    }
    FakeBotApiServer server;
};

TEST_F(BotApiOverWinHttp, ASendArrivesDecodedIntactAsGetOrAsFormPost) {
    const std::wstring mixed =
        L"Mail & more = #1 + \u00e9 \u041f " + Utf8ToWide("\xF0\x9F\x93\xAC");
    for (const std::wstring& body : {mixed, std::wstring(3000, L'\u0436')}) {  // 18,000 encoded
        ASSERT_TRUE(Send(body).ok);
        const auto request = server.Requests("sendMessage").back();
        EXPECT_EQ(request.verb + request.contentType,
                  body == mixed ? "GET" : "POSTapplication/x-www-form-urlencoded");
        EXPECT_EQ(request.token + " " + request.userAgent, "123:ABC Wrenpost/1.0");
        EXPECT_EQ(request.parameters,
                  (std::map<std::string, std::string>{{"chat_id", "-1001234567890"},
                                                      {"text", WideToUtf8(L"T\n\n" + body)}}));
    }
}

TEST_F(BotApiOverWinHttp, ABodyOverTheCapIsAFailureNotATruncatedAnswer) {
    constexpr std::size_t cap = 100'000;
    struct Row {
        std::size_t size;
        bool contentLength;
        HttpStage stage;
    };
    for (const Row& row :
         {Row{cap, true, HttpStage::None}, Row{cap, false, HttpStage::None},
          Row{cap + 1, true, HttpStage::TooLarge}, Row{cap + 1, false, HttpStage::TooLarge}}) {
        FakeBotApiReply reply{200, std::string(row.size, 'b')};
        reply.sendContentLength = row.contentLength;
        server.QueueReply("x", reply);
        const HttpResponse response = Perform(cap);
        EXPECT_EQ(response.failedStage, row.stage) << row.size << " " << row.contentLength;
        EXPECT_EQ(response.status, 200u);
        EXPECT_EQ(response.body.size(), row.stage == HttpStage::None ? row.size : 0u);
    }
    // The Bot API's cap (sized for a full getUpdates) refuses one byte more.
    FakeBotApiReply huge{200, "{\"ok\":true,\"result\":[" + std::string(kDefaultMaxBodyBytes, ' ')};
    huge.sendContentLength = false;
    server.QueueReply("getUpdates", huge);
    const TelegramGetResult got =
        TelegramGet(Transport(), MakeBotApiRequest(L"1:A", L"getUpdates", L""));
    EXPECT_FALSE(got.ok);
    EXPECT_EQ(got.error, L"The answer from Telegram API is too large.");
}

TEST_F(BotApiOverWinHttp, ATimeoutThatCannotBeAppliedFailsTheRequest) {
    for (const HttpTimeouts timeouts :
         {HttpTimeouts{-2, 1000, 1000, 1000, 1000}, HttpTimeouts{1000, 1000, 1000, 1000, -2}}) {
        const HttpResponse response = Perform(kDefaultMaxBodyBytes, timeouts);
        EXPECT_EQ(response.failedStage, HttpStage::Session);
        EXPECT_EQ(response.errorCode, static_cast<std::uint32_t>(ERROR_INVALID_PARAMETER));
    }
    EXPECT_TRUE(server.Requests().empty());
}

TEST_F(BotApiOverWinHttp, AConnectionClosedWithoutAnswerFailsWithItsWinHttpNumber) {
    FakeBotApiReply closed;
    closed.closeWithoutReply = true;
    server.QueueReply("sendMessage", closed);
    // Windows reports the reset as 12030; wine as an invalid server response, 12152.
    const std::wstring error = Send(L"b").reason;
    EXPECT_TRUE(error ==
                    L"Could not connect to Telegram: Connection error (WinHTTP error 12030)." ||
                error == L"Could not connect to Telegram: Network error (WinHTTP error 12152).")
        << WideToUtf8(error);
}

// Without the response-head time-out wine's WinHTTP waits for the answer forever.
TEST_F(BotApiOverWinHttp, ASendGivesUpAfterItsTenSecondReceiveTimeout) {
    FakeBotApiReply slow{200, "{\"ok\":true}"};
    slow.delay = std::chrono::milliseconds(10600);
    server.QueueReply("sendMessage", slow);
    const DWORD started = GetTickCount();
    const SendResult result = Send(L"b");
    EXPECT_GE(GetTickCount() - started, 9000u);  // the receive time-out, not an early failure
    EXPECT_EQ(result.reason,
              L"The connection to Telegram timed out. Please check your internet connection and "
              L"try again.");
}

TEST_F(BotApiOverWinHttp, ARefusedConnectionGivesTheWinHttpNumberedTexts) {
    server.Stop();  // nothing listens on its port any more
    EXPECT_EQ(Send(L"b").reason,
              L"Could not connect to Telegram: Failed to connect to Telegram "
              L"API (WinHTTP error 12029).");
    testing::FakeClock clock;
    const BotCheckResult check = RunBotCheck(Transport(), clock, L"1:A", 4);
    EXPECT_TRUE(check.retried);
    EXPECT_EQ(check.secondAttemptError,
              L"Telegram bot check failed at stage: Send. Failed to connect to Telegram API. "
              L"(WinHTTP error 12029)");
}

// WinHTTP resolves names inside WinHttpSendRequest, so a DNS failure is the stage "Send".
TEST(TelegramEndpointSetting, AnUnresolvableHostGivesDnsResolutionFailed) {
    const std::wstring url = L"https://wrenpost-test-host.invalid";
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kWrenpostSettingsKey, 0, nullptr, 0, KEY_SET_VALUE,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, L"TelegramApiBaseUrl", 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(url.c_str()),
                   static_cast<DWORD>((url.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    const BotInfo info = GetBotInfo(TelegramTransport(nullptr), L"1:A");
    EXPECT_EQ(info.errorText,
              L"Telegram bot check failed at stage: Send. DNS resolution failed. "
              L"(WinHTTP error 12007)");
    EXPECT_EQ(TelegramProvider(L"1:A", L"5", TelegramTransport(nullptr)).Send(L"t", L"b").reason,
              L"Could not connect to Telegram: DNS resolution failed (WinHTTP error 12007).");
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kWrenpostSettingsKey, L"TelegramApiBaseUrl");
    EXPECT_EQ(TelegramApiEndpoint(nullptr), (Endpoint{true, L"api.telegram.org", 443, L""}));
}

template <typename Record>
std::unique_ptr<Record> WaitForRecord(HWND window, UINT message) {
    for (const DWORD deadline = GetTickCount() + 20000; GetTickCount() < deadline; Sleep(10)) {
        MSG msg;
        if (PeekMessageW(&msg, window, message, message, PM_REMOVE)) {
            return AdoptRecord<Record>(msg.wParam, msg.lParam);
        }
    }
    return nullptr;
}

TEST_F(BotApiOverWinHttp, TheWorkersPostTheirResultsToTheWindow) {
    HWND window =
        CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    StartBotCheckForWindow(window, Transport(), L"123:ABC", 12);
    const auto check = WaitForRecord<BotCheckResultRecord>(window, kBotCheckResultMessage);
    ASSERT_NE(check, nullptr);
    EXPECT_TRUE(check->result.success);
    EXPECT_EQ(check->result.generation, 12u);
    EXPECT_EQ(check->result.botUsername, L"wren_test_bot");

    server.QueueReply("sendMessage", {403, "{\"ok\":false,\"description\":\"Forbidden\"}"});
    StartTestSendForWindow(window, TelegramProviderFactory(Transport()), L"123:ABC", {L"1", L"2"});
    const auto sent = WaitForRecord<TestSendResultRecord>(window, kTestSendResultMessage);
    ASSERT_NE(sent, nullptr);
    EXPECT_EQ(sent->result.succeeded, 1u);
    EXPECT_EQ(sent->result.failed, 1u);
    DestroyWindow(window);
}

}  // namespace
}  // namespace wrenpost
