// Sending a notification, the getMe token check and its retry, and the test send.
#include <gtest/gtest.h>

#include "ScriptedTransport.h"
#include "common/Text.h"
#include "support/FakeClock.h"
#include "telegram/BotApiHttp.h"
#include "telegram/BotApiText.h"
#include "telegram/BotCheck.h"
#include "telegram/TelegramProvider.h"

namespace wrenpost {
namespace {

using testing::Reply;
using testing::ScriptedTransport;
using testing::TransportFailure;

TEST(TelegramSend, SendsTitleBlankLineAndBodyCappedAtTelegramsLimit) {
    const std::wstring emoji = Utf8ToWide("\xF0\x9F\x98\x80");
    const std::wstring c4091(4091, L'c');
    const std::pair<std::wstring, std::wstring> rows[] = {
        {c4091 + L"cc", L"T\n\n" + c4091 + L"cc"},  // exactly 4,096
        {c4091 + L"ccc", L"T\n\n" + c4091 + L"c\u2026"},
        // An emoji straddling the cut is dropped whole, never split.
        {c4091 + emoji + L"dd", L"T\n\n" + c4091 + L"\u2026"},
        {c4091.substr(1) + emoji + L"dd", L"T\n\n" + c4091.substr(1) + emoji + L"\u2026"},
    };
    for (const auto& [body, sent] : rows) {
        ScriptedTransport transport;
        transport.Queue(Reply(200, "{\"ok\":true}"));
        EXPECT_TRUE(
            TelegramProvider(L"1:A", L"-100123", transport.AsTransport()).Send(L"T", body).ok);
        EXPECT_EQ(transport.Requests().at(0).path,
                  L"/bot1:A/sendMessage?chat_id=-100123&text=" + UrlEncode(sent))
            << body.size();
    }
}

TEST(TelegramSend, TheResultRecordsHowEachSendEnded) {
    const std::pair<HttpResponse, SendResult> rows[] = {
        {Reply(200, "{\"ok\":true}"), {true, L"", 200, 0}},
        // The status decides, the body only explains.
        {{HttpStage::Read, 0, 200, "", "{\"ok\":tr"}, {true, L"", 200, 0}},
        {Reply(429, "{\"description\":\"Too Many Requests\",\"parameters\":{\"retry_after\":35}}"),
         {false, L"Telegram rejected the message (HTTP 429): Too Many Requests", 429, 35}},
        {Reply(429, "{\"retry_after\":7,\"parameters\":{\"migrate\":1}}"),
         {false, L"Telegram returned an unexpected response (HTTP 429).", 429, 0}},
        {Reply(0, ""), {false, L"Telegram returned an invalid or empty response.", 0, 0}},
        {{HttpStage::TooLarge, 0, 200, "", ""},
         {false, L"Telegram returned an oversized response (HTTP 200).", 200, 0}},
        {TransportFailure(HttpStage::Send, 12007),
         {false, L"Could not connect to Telegram: DNS resolution failed (WinHTTP error 12007).", 0,
          0}},
        {TransportFailure(HttpStage::Receive, 12002),
         {false,
          L"The connection to Telegram timed out. Please check your internet connection and "
          L"try again.",
          0, 0}},
    };
    for (const auto& [response, expected] : rows) {
        ScriptedTransport transport;
        transport.Queue(response);
        const SendResult result =
            TelegramProvider(L"1:A", L"5", transport.AsTransport()).Send(L"t", L"b");
        EXPECT_EQ(std::tie(result.ok, result.reason, result.httpStatus, result.retryAfterSeconds),
                  std::tie(expected.ok, expected.reason, expected.httpStatus,
                           expected.retryAfterSeconds));
    }
    ScriptedTransport none;
    for (const auto& [token, chat] : {std::pair{L"1:A", L""}, std::pair{L"", L"5"}}) {
        EXPECT_EQ(TelegramProvider(token, chat, none.AsTransport()).SendTest().reason,
                  L"Bot Token or recipient Chat ID is not configured.");
    }
    EXPECT_TRUE(none.Requests().empty());
}

const char kBotOk[] =
    "{\"ok\":true,\"result\":{\"id\":1,\"is_bot\":true,\"first_name\":\"Wren \\u0412\\u0440"
    "\\u202E\\n\",\"username\":\"wren_bot\"}}";

TEST(GetBotInfo, ReadsTheBotsDecodedNamesAndClassifiesEveryFailureNamingItsStage) {
    ScriptedTransport transport;
    transport.Queue(Reply(200, kBotOk));
    const BotInfo info = GetBotInfo(transport.AsTransport(), L"1:A");
    // The override and the line break from Telegram never reach the window or the log.
    EXPECT_EQ(info.firstName + L"@" + info.username, L"Wren \u0412\u0440 @wren_bot");
    EXPECT_EQ(transport.Requests().at(0).path, L"/bot1:A/getMe");

    const auto fail = TransportFailure;
    const auto json = [](std::uint32_t status, const char* description) {
        return Reply(status, std::string("{\"description\":\"") + description + "\"}");
    };
    const auto auth = kBotCheckAuthorization;
    const auto other = kBotCheckOtherFailure;
    using S = HttpStage;
    struct Row {
        HttpResponse response;
        BotCheckErrorKind kind;
        std::wstring text;  // after "...failed at stage: ", before the WinHTTP or HTTP number
    };
    const std::vector<Row> rows = {
        {fail(S::Session, 12001), other, L"Session creation. Network error."},
        {fail(S::Connect, 12007), other, L"Connect. DNS resolution failed."},
        {fail(S::OpenRequest, 12175), other, L"Connect. TLS/SSL handshake failed."},
        {fail(S::Send, 12029), other, L"Send. Failed to connect to Telegram API."},
        {fail(S::Receive, 12002), other, L"Receive. Connection timeout."},
        {fail(S::Read, 12030), other, L"Receive. Connection error."},
        {{S::TooLarge, 0, 200, "", ""},
         other,
         L"Receive. The answer from Telegram API is too large."},
        {Reply(200, ""), other, L"Receive. Empty response from Telegram API."},
        {Reply(200, "{\"ok\":true,\"result\":{\"first_name\":\"A\"}}"), other,
         L"JSON parsing. Response did not contain the expected bot fields."},
        {json(401, "Unauthorized"), auth, L"Telegram authorization. Unauthorized."},
        {json(403, "Forbidden: bot blocked"), auth,
         L"Telegram authorization. Forbidden: bot blocked."},
        {json(403, "Too many requests"), other, L"Telegram authorization. Too many requests."},
        {Reply(403, "{}"), other, L"Telegram authorization. Telegram returned an error."},
        {json(400, "unauthorized"), other, L"Telegram authorization. unauthorized."},
    };
    for (const Row& row : rows) {
        transport.Queue(row.response);
        const BotInfo failed = GetBotInfo(transport.AsTransport(), L"1:A");
        const HttpResponse& r = row.response;
        EXPECT_EQ(failed.kind, row.kind) << WideToUtf8(row.text);
        EXPECT_EQ(failed.errorText,
                  L"Telegram bot check failed at stage: " + row.text +
                      (r.errorCode != 0 ? L" (WinHTTP error " + std::to_wstring(r.errorCode) + L")"
                                        : L" (HTTP " + std::to_wstring(r.status) + L")"));
    }
}

class BotCheckWorker : public ::testing::Test {
protected:
    BotCheckResult Check(std::vector<HttpResponse> replies, std::uint64_t id) {
        for (HttpResponse& reply : replies) transport.Queue(std::move(reply));
        return RunBotCheck(transport.AsTransport(), clock, L"1:SECRET", id);
    }
    // What the window shows, with the token never in the log.
    BotCheckPresentation Shown(const BotCheckResult& result, bool claimRefused = false) {
        BotCheckPresentation shown = PresentBotCheckResult(result, claimRefused);
        for (const LogEntry& entry : shown.log) {
            EXPECT_EQ(entry.text.find(L"SECRET"), std::wstring::npos) << WideToUtf8(entry.text);
        }
        return shown;
    }
    ScriptedTransport transport;
    testing::FakeClock clock;
    const std::chrono::steady_clock::time_point start = clock.SteadyNow();
};

TEST_F(BotCheckWorker, AnAuthorizationFailureIsFinalOthersAreRetriedOnceAfter750Ms) {
    const BotCheckResult denied = Check({Reply(401, "{\"description\":\"Unauthorized\"}")}, 7);
    EXPECT_EQ(transport.Requests().size(), 1u);
    EXPECT_EQ(clock.SteadyNow(), start);
    const auto forgotten = Shown(denied);
    EXPECT_TRUE(forgotten.forgetToken);
    EXPECT_EQ(forgotten.log,
              (std::vector<LogEntry>{{LogLevel::Error, denied.errorText + L"\r\nRequest ID: 7"}}));

    const BotCheckResult result = Check(
        {TransportFailure(HttpStage::Send, 12007), TransportFailure(HttpStage::Send, 12029)}, 3);
    EXPECT_EQ(transport.Requests().size(), 3u);
    EXPECT_EQ(clock.SteadyNow() - start, std::chrono::milliseconds(750));
    EXPECT_TRUE(result.retried && !result.success);
    EXPECT_EQ(result.errorText, result.secondAttemptError);
    // Both attempts reach the log, each with the request id.
    const auto shown = Shown(result);
    EXPECT_EQ(shown.log, (std::vector<LogEntry>{
                             {LogLevel::Warning,
                              L"Attempt: 1\r\n" + result.firstAttemptError + L"\r\nRequest ID: 3"},
                             {LogLevel::Error, L"Attempt: 2\r\n" + result.secondAttemptError +
                                                   L"\r\nRequest ID: 3"}}));
    EXPECT_FALSE(shown.forgetToken || shown.enableBotLinks);

    const BotCheckResult recovered = Check({Reply(502, "<html></html>"), Reply(200, kBotOk)}, 9);
    EXPECT_TRUE(recovered.success && recovered.retried && recovered.secondAttemptError.empty());
    const auto ok = Shown(recovered);
    EXPECT_EQ(ok.log.at(1).text, L"Telegram GetMe recovered on attempt 2\r\nRequest ID: 9");
    EXPECT_TRUE(ok.botUsernameField == L"@wren_bot" && ok.enableBotLinks && ok.rememberToken);
    // A token another instance claimed first is forgotten with the duplicate message.
    const auto refused = Shown(recovered, true);
    EXPECT_TRUE(refused.showDuplicatePrompt && refused.forgetToken && !refused.enableBotLinks);
    EXPECT_TRUE(refused.prompt.text.ends_with(L"\n\nBot:\nWren \u0412\u0440 "));
}

// A 429 or a deadline is final in getMe: asking again 0.75 s later only prolongs the wait.
TEST_F(BotCheckWorker, ARateLimitOrADeadlineIsFinal) {
    const BotCheckResult limited = Check(
        {Reply(429, "{\"ok\":false,\"error_code\":429,\"parameters\":{\"retry_after\":30}}")}, 4);
    EXPECT_EQ(transport.Requests().size(), 1u);
    EXPECT_EQ(clock.SteadyNow(), start);
    const std::wstring text = L"Telegram asks to wait 30 s before the next check.";
    const auto shown = Shown(limited);
    EXPECT_EQ(shown.botNameField, text);
    EXPECT_EQ(shown.log, (std::vector<LogEntry>{{LogLevel::Warning, text}}));
    EXPECT_FALSE(shown.forgetToken || shown.enableBotLinks);

    const HttpResponse late{HttpStage::Deadline, 0, 0, "", "", std::chrono::seconds(60)};
    EXPECT_EQ(Shown(Check({late}, 5)).log.at(0).text,
              L"Telegram did not answer within 60 s.\r\nRequest ID: 5");
    EXPECT_EQ(transport.Requests().size(), 2u);
}

// Answers whose body is read fail when it was cut off; 8 MiB of repeated unclosed keys in an
// error answer is scanned once, not once per key.
TEST(TelegramGet, ACutOffBodyFailsAndAHugeErrorBodyIsScannedOnce) {
    ScriptedTransport transport;
    transport.Queue({HttpStage::Read, 0, 200, "", "{\"ok\":true,\"result\":[]"});
    const TelegramGetResult got = TelegramGet(transport.AsTransport(), HttpRequest{});
    EXPECT_FALSE(got.ok);
    EXPECT_EQ(got.error, L"The answer from Telegram API was cut off.");
    transport.Queue(Reply(302, "{\"ok\":true,\"result\":[]}"));
    EXPECT_EQ(TelegramGet(transport.AsTransport(), HttpRequest{}).error,
              L"Telegram API answered with a redirect (HTTP 302), which is not followed.");

    std::string body;
    while (body.size() < (8u << 20)) {
        body += "\"parameters\":{";
    }
    transport.Queue(Reply(400, body));
    const SendResult sent =
        TelegramProvider(L"1:A", L"5", transport.AsTransport()).Send(L"t", L"b");
    EXPECT_EQ(sent.reason, L"Telegram returned an unexpected response (HTTP 400).");
}

TEST(TestSend, CountsEachAllowedRecipientInOrderAndSaysHowManySucceeded) {
    ScriptedTransport transport;
    for (const int status : {200, 400, 200}) transport.Queue(Reply(status, "{}"));
    std::vector<RecipientEntry> recipients(4);
    for (std::size_t i = 0; i < recipients.size(); ++i) recipients[i].ChatId = std::to_wstring(i);
    recipients[1].Allowed = false;
    const TestSendResult result =
        RunTestSend(TelegramProviderFactory(transport.AsTransport()), L"1:A",
                    AllowedChatIds(recipients), {{L"3", 12}, {L"1", 0}, {L"9", 5}});
    EXPECT_EQ(std::tie(result.total, result.succeeded, result.failed), std::tuple(3u, 2u, 1u));
    // The box sends the user to the log: each failed recipient is there with Telegram's reason.
    const TestSendPresentation shown = PresentTestSendResult(result);
    ASSERT_EQ(shown.failures.size(), 1u);
    EXPECT_EQ(shown.failures[0].level, LogLevel::Error);
    EXPECT_EQ(shown.failures[0].text,
              L"Test notification failed for recipient 2: Telegram returned an unexpected "
              L"response (HTTP 400).");
    EXPECT_TRUE(transport.Requests().at(1).path.starts_with(L"/bot1:A/sendMessage?chat_id=2&"));
    // Only the recipient with a topic posts in it.
    EXPECT_TRUE(transport.Requests().at(0).path.starts_with(L"/bot1:A/sendMessage?chat_id=0&text"));
    EXPECT_TRUE(transport.Requests().at(2).path.starts_with(
        L"/bot1:A/sendMessage?chat_id=3&message_thread_id=12&text"));
    for (const auto& [sent, status] :
         {std::pair{TestSendResult{2, 2, 0}, L"Status: Test Sent"},
          std::pair{TestSendResult{3, 0, 3}, L"Status: Test Failed"},
          std::pair{TestSendResult{3, 1, 2}, L"Status: Test Partially Sent"}}) {
        EXPECT_EQ(PresentTestSendResult(sent).statusLine, status);
    }
}

}  // namespace
}  // namespace wrenpost
