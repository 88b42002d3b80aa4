// The Bot API client through real WinHTTP against the loopback fake server: what arrives at the
// server, failure texts with WinHTTP numbers, the endpoint setting, and the posted results.
#include <gtest/gtest.h>
#include <windows.h>
#include <winsock2.h>

#include "common/Registry_win.h"
#include "common/Text.h"
#include "support/FakeBotApiServer_win.h"
#include "support/FakeClock.h"
#include "telegram/BotCheck.h"
#include "telegram/TelegramMessages_win.h"
#include "telegram/TelegramProvider.h"
#include "telegram/WinHttpTransport_win.h"

namespace wrenpost {
namespace {

using testing::FakeBotApiReply;
using testing::FakeBotApiServer;
using testing::FakeChat;

class BotApiOverWinHttp : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.Start()); }
    HttpTransport Transport() const { return MakeWinHttpTransport(server.ServerEndpoint()); }
    bool Send(const std::wstring& title, const std::wstring& body,
              const std::wstring& chatId = L"42") {
        TelegramProvider provider(L"123:ABC", chatId, Transport());
        return provider.Send(title, body);
    }
    FakeBotApiServer server;
};

// A port on which nothing listens.
std::uint16_t ClosedPort() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof(address);
    bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    closesocket(s);
    WSACleanup();
    return ntohs(address.sin_port);
}

TEST_F(BotApiOverWinHttp, ASendArrivesDecodedIntact) {
    const std::wstring emoji = Utf8ToWide("\xF0\x9F\x93\xAC");
    const std::wstring title = L"Mail & more = #1 + \u00e9";
    const std::wstring body = L"\u041f\u0440\u0438\u0432\u0435\u0442 " + emoji + L"\r\nline two";
    ASSERT_TRUE(Send(title, body, L"-1001234567890")) << WideToUtf8(LastSendError());
    const auto requests = server.Requests("sendMessage");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].verb, "GET");
    EXPECT_EQ(requests[0].token, "123:ABC");
    EXPECT_EQ(requests[0].userAgent, "Wrenpost/1.0");
    EXPECT_EQ(requests[0].parameters.size(), 2u);
    EXPECT_EQ(requests[0].parameters.at("chat_id"), "-1001234567890");
    EXPECT_EQ(requests[0].parameters.at("text"), WideToUtf8(title + L"\n\n" + body));
}

TEST_F(BotApiOverWinHttp, AnOverlongMessageIsCutToTheLimitAndAccepted) {
    ASSERT_TRUE(Send(L"Title", std::wstring(6000, L'z'))) << WideToUtf8(LastSendError());
    const std::string text = server.Requests("sendMessage").at(0).parameters.at("text");
    const std::wstring received = Utf8ToWide(text);
    EXPECT_EQ(Utf16Length(received), 4096u);
    EXPECT_EQ(received.back(), L'\u2026');
    EXPECT_EQ(received.substr(0, 7), L"Title\n\n");
}

TEST_F(BotApiOverWinHttp, ALongAddressTravelsAsAFormPost) {
    const std::wstring body(3000, L'\u0436');  // 6,000 bytes, 18,000 encoded
    ASSERT_TRUE(Send(L"T", body)) << WideToUtf8(LastSendError());
    const auto requests = server.Requests("sendMessage");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].verb, "POST");
    EXPECT_EQ(requests[0].target, "/bot123:ABC/sendMessage");
    EXPECT_EQ(requests[0].contentType, "application/x-www-form-urlencoded");
    EXPECT_EQ(requests[0].parameters.at("text"), WideToUtf8(L"T\n\n" + body));
    EXPECT_EQ(requests[0].parameters.at("chat_id"), "42");
}

TEST_F(BotApiOverWinHttp, TheServerRefusesOverlongGetAddresses) {
    // Why the POST switch exists: the same address as a GET is refused.
    HttpRequest request;
    request.path = L"/bot1:A/sendMessage?chat_id=1&text=" + std::wstring(9000, L'a');
    const HttpResponse response = PerformWinHttpRequest(server.ServerEndpoint(), request);
    EXPECT_EQ(response.failedStage, HttpStage::None);
    EXPECT_EQ(response.status, 414u);
}

TEST_F(BotApiOverWinHttp, RejectionsAndOddAnswersGiveTheirTexts) {
    server.QueueReply(
        "sendMessage",
        {400, "{\"ok\":false,\"error_code\":400,\"description\":\"Bad Request: chat not found\"}"});
    server.QueueReply("sendMessage",
                      {502, "<html><body><h1>502 Bad Gateway</h1></body></html>", "text/html"});
    EXPECT_FALSE(Send(L"t", L"b"));
    EXPECT_EQ(LastSendError(),
              L"Telegram rejected the message (HTTP 400): Bad Request: chat not found");
    EXPECT_FALSE(Send(L"t", L"b"));
    EXPECT_EQ(LastSendError(), L"Telegram returned an unexpected response (HTTP 502).");
}

TEST_F(BotApiOverWinHttp, AConnectionClosedWithoutAnswerFailsWithItsWinHttpNumber) {
    FakeBotApiReply closed;
    closed.closeWithoutReply = true;
    server.QueueReply("sendMessage", closed);
    EXPECT_FALSE(Send(L"t", L"b"));
    // Windows reports the reset as 12030; wine as an invalid server response, 12152.
    const std::wstring error = LastSendError();
    EXPECT_TRUE(error ==
                    L"Could not connect to Telegram: Connection error (WinHTTP error 12030)." ||
                error == L"Could not connect to Telegram: Network error (WinHTTP error 12152).")
        << WideToUtf8(error);
}

TEST_F(BotApiOverWinHttp, ASendGivesUpAfterItsTenSecondReceiveTimeout) {
    FakeBotApiReply slow{200, "{\"ok\":true}"};
    slow.delay = std::chrono::milliseconds(10600);
    server.QueueReply("sendMessage", slow);
    const DWORD started = GetTickCount();
    EXPECT_FALSE(Send(L"t", L"b"));
    const DWORD waited = GetTickCount() - started;
    EXPECT_EQ(LastSendError(),
              L"The connection to Telegram timed out. Please check your internet connection and "
              L"try again.");
    EXPECT_GE(waited, 9000u);  // the receive time-out, not an early failure
}

TEST_F(BotApiOverWinHttp, GetMeReadsTheBotAndA401IsAnAuthorizationFailure) {
    server.SetValidToken("123:ABC");
    server.SetBot("\xD0\x92\xD1\x80\xD0\xB5\xD0\xBD", "wren_bot");
    const BotInfo good = GetBotInfo(Transport(), L"123:ABC");
    ASSERT_TRUE(good.ok) << WideToUtf8(good.errorText);
    EXPECT_EQ(good.firstName, L"\u0412\u0440\u0435\u043d");
    EXPECT_EQ(good.username, L"wren_bot");

    testing::FakeClock clock;
    const BotCheckResult bad = RunBotCheck(Transport(), clock, L"999:WRONG", 1);
    EXPECT_FALSE(bad.success);
    EXPECT_FALSE(bad.retried);
    EXPECT_EQ(bad.errorKind, kBotCheckAuthorization);
    EXPECT_EQ(
        bad.errorText,
        L"Telegram bot check failed at stage: Telegram authorization. Unauthorized. (HTTP 401)");
    EXPECT_EQ(server.Requests("getMe").size(), 2u);
}

TEST(BotApiUnreachable, ARefusedConnectionGivesTheWinHttpNumberedTexts) {
    const Endpoint nowhere{false, L"127.0.0.1", ClosedPort(), L""};
    TelegramProvider provider(L"1:A", L"5", MakeWinHttpTransport(nowhere));
    EXPECT_FALSE(provider.Send(L"t", L"b"));
    EXPECT_EQ(
        LastSendError(),
        L"Could not connect to Telegram: Failed to connect to Telegram API (WinHTTP error 12029).");

    testing::FakeClock clock;
    const BotCheckResult check = RunBotCheck(MakeWinHttpTransport(nowhere), clock, L"1:A", 4);
    EXPECT_TRUE(check.retried);
    EXPECT_EQ(check.errorKind, kBotCheckOtherFailure);
    EXPECT_EQ(check.firstAttemptError,
              L"Telegram bot check failed at stage: Send. Failed to connect to Telegram API. "
              L"(WinHTTP error 12029)");
    EXPECT_EQ(check.secondAttemptError, check.firstAttemptError);
}

struct SettingOverride {
    explicit SettingOverride(const std::wstring& value) {
        HKEY key = nullptr;
        RegCreateKeyExW(HKEY_CURRENT_USER, kWrenpostSettingsKey, 0, nullptr, 0, KEY_SET_VALUE,
                        nullptr, &key, nullptr);
        RegSetValueExW(key, L"TelegramApiBaseUrl", 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
    ~SettingOverride() {
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kWrenpostSettingsKey, L"TelegramApiBaseUrl");
    }
};

TEST(TelegramEndpointSetting, AnUnresolvableHostGivesDnsResolutionFailed) {
    SettingOverride setting(L"https://wrenpost-test-host.invalid");
    std::vector<std::wstring> logged;
    const auto log = [&](LogLevel, const std::wstring& text) { logged.push_back(text); };
    EXPECT_EQ(TelegramApiEndpoint(log).host, L"wrenpost-test-host.invalid");
    EXPECT_TRUE(logged.empty());
    const BotInfo info = GetBotInfo(TelegramTransport(log), L"1:A");
    EXPECT_FALSE(info.ok);
    EXPECT_EQ(info.kind, kBotCheckOtherFailure);
    EXPECT_NE(info.errorText.find(L"DNS resolution failed. (WinHTTP error 12007)"),
              std::wstring::npos)
        << WideToUtf8(info.errorText);
    TelegramProvider provider(L"1:A", L"5", TelegramTransport(log));
    EXPECT_FALSE(provider.Send(L"t", L"b"));
    EXPECT_EQ(LastSendError(),
              L"Could not connect to Telegram: DNS resolution failed (WinHTTP error 12007).");
}

TEST(TelegramEndpointSetting, PlainHttpToAnotherHostIsRefusedAndLogged) {
    SettingOverride setting(L"http://bots.example.com:8081");
    std::vector<std::pair<LogLevel, std::wstring>> logged;
    const Endpoint endpoint = TelegramApiEndpoint(
        [&](LogLevel level, const std::wstring& text) { logged.emplace_back(level, text); });
    EXPECT_EQ(endpoint.ToUrl(), L"https://api.telegram.org");
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0].first, LogLevel::Warning);
    EXPECT_EQ(logged[0].second,
              L"TelegramApiBaseUrl \"http://bots.example.com:8081\" ignored (plain http is "
              L"accepted only for loopback hosts); using https://api.telegram.org.");
}

TEST(TelegramEndpointSetting, WithoutASettingTheBotApiHostIsUsed) {
    EXPECT_EQ(TelegramApiEndpoint(nullptr), (Endpoint{true, L"api.telegram.org", 443, L""}));
}

TEST_F(BotApiOverWinHttp, AUserVerifiesThroughTheDeepLink) {
    const std::int64_t start = ToUnixSeconds(SystemClock().Now());
    server.AddUserMessage({1, "private", "", "Old", "", ""}, "hello", start - 60);
    const long long late =
        server.AddUserMessage({77, "private", "", "\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD", "Petrov", ""},
                              "/start WP-004711", start + 1);
    testing::FakeClock clock{std::chrono::system_clock::time_point(std::chrono::seconds(start))};
    std::vector<std::wstring> logged;
    const auto result =
        RunVerification(Transport(), clock, {L"123:ABC", L"WP-004711", start, start + 180}, nullptr,
                        [&](std::vector<std::wstring> lines) {
                            logged.insert(logged.end(), lines.begin(), lines.end());
                        });
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->ok) << WideToUtf8(result->error);
    ASSERT_EQ(result->candidates.size(), 1u);
    EXPECT_EQ(result->candidates[0].chatId, L"77");
    EXPECT_EQ(result->candidates[0].displayName, L"\u0418\u0432\u0430\u043d Petrov");
    const auto polls = server.Requests("getUpdates");
    ASSERT_EQ(polls.size(), 2u);
    EXPECT_EQ(polls[1].parameters.at("offset"), std::to_string(late));
    EXPECT_EQ(server.Deleted().size(), 1u);
    EXPECT_EQ(server.Deleted()[0].first, "77");
    EXPECT_EQ(logged.back(), L"[Verify] Deleted setup message (ChatId=77, MessageId=2).");
}

TEST_F(BotApiOverWinHttp, TheCheckWorkerPostsItsResultToTheWindow) {
    HWND window =
        CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    StartBotCheckForWindow(window, Transport(), L"123:ABC", 12);
    std::unique_ptr<BotCheckResultRecord> record;
    const DWORD deadline = GetTickCount() + 20000;
    while (!record && GetTickCount() < deadline) {
        MSG msg;
        if (PeekMessageW(&msg, window, kBotCheckResultMessage, kBotCheckResultMessage, PM_REMOVE)) {
            record = AdoptRecord<BotCheckResultRecord>(msg.wParam, msg.lParam);
        } else {
            Sleep(10);
        }
    }
    ASSERT_NE(record, nullptr);
    EXPECT_TRUE(record->result.success);
    EXPECT_EQ(record->result.generation, 12u);
    EXPECT_EQ(record->result.botUsername, L"wren_test_bot");
    DestroyWindow(window);
}

TEST_F(BotApiOverWinHttp, TheTestWorkerPostsItsTotals) {
    server.QueueReply("sendMessage", {403,
                                      "{\"ok\":false,\"error_code\":403,\"description\":"
                                      "\"Forbidden: bot was blocked by the user\"}"});
    HWND window =
        CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    StartTestSendForWindow(window, TelegramProviderFactory(Transport()), L"123:ABC", {L"1", L"2"});
    std::unique_ptr<TestSendResultRecord> record;
    const DWORD deadline = GetTickCount() + 20000;
    while (!record && GetTickCount() < deadline) {
        MSG msg;
        if (PeekMessageW(&msg, window, kTestSendResultMessage, kTestSendResultMessage, PM_REMOVE)) {
            record = AdoptRecord<TestSendResultRecord>(msg.wParam, msg.lParam);
        } else {
            Sleep(10);
        }
    }
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->result.total, 2u);
    EXPECT_EQ(record->result.succeeded, 1u);
    EXPECT_EQ(record->result.failed, 1u);
    DestroyWindow(window);
}

}  // namespace
}  // namespace wrenpost
