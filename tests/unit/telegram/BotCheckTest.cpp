// The token check: getMe classification, the single retry of non-authorization failures, the
// window's reading of a result; and the test send with its totals.
#include <gtest/gtest.h>

#include "ScriptedTransport.h"
#include "support/FakeClock.h"
#include "telegram/BotCheck.h"
#include "telegram/TelegramProvider.h"

namespace wrenpost {
namespace {

using testing::FakeClock;
using testing::Reply;
using testing::ScriptedTransport;
using testing::TransportFailure;

const char kBotOk[] =
    "{\"ok\":true,\"result\":{\"id\":1,\"is_bot\":true,\"first_name\":\"Wren \\u0412\\u0440\","
    "\"username\":\"wren_bot\"}}";

// Runs the check on a transport answering with `replies`, on a fake clock.
BotCheckResult Check(std::vector<HttpResponse> replies, std::uint64_t id, ScriptedTransport& t,
                     FakeClock& clock) {
    for (HttpResponse& reply : replies) t.Queue(std::move(reply));
    return RunBotCheck(t.AsTransport(), clock, L"1:A", id);
}

TEST(GetBotInfo, ReadsTheBotsDecodedNamesFromAnOkAnswer) {
    ScriptedTransport transport;
    transport.Queue(Reply(200, kBotOk));
    const BotInfo info = GetBotInfo(transport.AsTransport(), L"1:A");
    EXPECT_TRUE(info.ok);
    EXPECT_EQ(info.kind, kBotCheckNoError);
    EXPECT_EQ(info.firstName + L" @" + info.username, L"Wren \u0412\u0440 @wren_bot");
    EXPECT_EQ(transport.Requests().at(0).path, L"/bot1:A/getMe");
}

TEST(GetBotInfo, ClassifiesEveryFailureNamingItsStage) {
    HttpResponse oversized = Reply(200, "");
    oversized.failedStage = HttpStage::TooLarge;
    const auto auth = kBotCheckAuthorization;
    const auto other = kBotCheckOtherFailure;
    struct Row {
        HttpResponse response;
        BotCheckErrorKind kind;
        std::wstring text;  // after "Telegram bot check failed at stage: "
    };
    const std::vector<Row> rows = {
        {TransportFailure(HttpStage::Session, 12001), other,
         L"Session creation. Network error. (WinHTTP error 12001)"},
        {TransportFailure(HttpStage::Connect, 12007), other,
         L"Connect. DNS resolution failed. (WinHTTP error 12007)"},
        {TransportFailure(HttpStage::OpenRequest, 12175), other,
         L"Connect. TLS/SSL handshake failed. (WinHTTP error 12175)"},
        {TransportFailure(HttpStage::Send, 12029), other,
         L"Send. Failed to connect to Telegram API. (WinHTTP error 12029)"},
        {TransportFailure(HttpStage::Receive, 12002), other,
         L"Receive. Connection timeout. (WinHTTP error 12002)"},
        {TransportFailure(HttpStage::Read, 12030), other,
         L"Receive. Connection error. (WinHTTP error 12030)"},
        {oversized, other, L"Receive. The answer from Telegram API is too large. (HTTP 200)"},
        {Reply(0, ""), other, L"Receive. Empty response from Telegram API."},
        {Reply(200, ""), other, L"Receive. Empty response from Telegram API. (HTTP 200)"},
        {Reply(200, "{\"ok\":true,\"result\":{\"first_name\":\"A\"}}"), other,
         L"JSON parsing. Response did not contain the expected bot fields. (HTTP 200)"},
        {Reply(401, "{\"ok\":false,\"error_code\":401,\"description\":\"Unauthorized\"}"), auth,
         L"Telegram authorization. Unauthorized. (HTTP 401)"},
        {Reply(401, "<html>nope</html>"), auth,
         L"Telegram authorization. Telegram returned an error. (HTTP 401)"},
        {Reply(403, "{\"description\":\"Forbidden: bot was blocked\"}"), auth,
         L"Telegram authorization. Forbidden: bot was blocked. (HTTP 403)"},
        {Reply(403, "{\"description\":\"INVALID token\"}"), auth,
         L"Telegram authorization. INVALID token. (HTTP 403)"},
        {Reply(403, "{\"description\":\"Too many requests\"}"), other,
         L"Telegram authorization. Too many requests. (HTTP 403)"},
        {Reply(403, "{\"ok\":false}"), other,
         L"Telegram authorization. Telegram returned an error. (HTTP 403)"},
        {Reply(400, "{\"description\":\"Bad Request: unauthorized\"}"), other,
         L"Telegram authorization. Bad Request: unauthorized. (HTTP 400)"},
        {Reply(200, "{\"ok\" :true,\"result\":{\"first_name\":\"A\",\"username\":\"b\"}}"), other,
         L"Telegram authorization. Telegram returned an error. (HTTP 200)"},
    };
    for (const Row& row : rows) {
        ScriptedTransport transport;
        transport.Queue(row.response);
        const BotInfo info = GetBotInfo(transport.AsTransport(), L"1:A");
        EXPECT_FALSE(info.ok) << WideToUtf8(row.text);
        EXPECT_EQ(info.kind, row.kind) << WideToUtf8(row.text);
        EXPECT_EQ(info.errorText, L"Telegram bot check failed at stage: " + row.text);
    }
}

TEST(BotCheckWorker, AnAuthorizationFailureIsFinalAtOnce) {
    ScriptedTransport transport;
    FakeClock clock;
    const auto before = clock.SteadyNow();
    const BotCheckResult result =
        Check({Reply(401, "{\"ok\":false,\"description\":\"Unauthorized\"}")}, 7, transport, clock);
    EXPECT_EQ(transport.Requests().size(), 1u);
    EXPECT_EQ(clock.SteadyNow(), before);
    EXPECT_FALSE(result.retried);
    EXPECT_EQ(result.errorKind, kBotCheckAuthorization);
    EXPECT_EQ(result.generation, 7u);
    EXPECT_EQ(result.token, L"1:A");
    const auto shown = PresentBotCheckResult(result, false);
    EXPECT_TRUE(shown.forgetToken);
    EXPECT_EQ(shown.log,
              (std::vector<LogEntry>{{LogLevel::Error, result.errorText + L"\r\nRequest ID: 7"}}));
}

TEST(BotCheckWorker, OtherFailuresAreRetriedOnceAfter750MillisecondsAndCanRecover) {
    ScriptedTransport transport;
    FakeClock clock;
    const auto before = clock.SteadyNow();
    const BotCheckResult result =
        Check({TransportFailure(HttpStage::Send, 12007), TransportFailure(HttpStage::Send, 12029)},
              3, transport, clock);
    EXPECT_EQ(transport.Requests().size(), 2u);
    EXPECT_EQ(clock.SteadyNow() - before, std::chrono::milliseconds(750));
    EXPECT_TRUE(result.retried);
    EXPECT_FALSE(result.success);
    EXPECT_EQ(result.errorKind, kBotCheckOtherFailure);
    EXPECT_NE(result.firstAttemptError.find(L"12007"), std::wstring::npos);
    EXPECT_EQ(result.errorText, result.secondAttemptError);
    // Both attempts reach the log, each with the request id.
    const auto shown = PresentBotCheckResult(result, false);
    EXPECT_EQ(shown.log, (std::vector<LogEntry>{
                             {LogLevel::Warning,
                              L"Attempt: 1\r\n" + result.firstAttemptError + L"\r\nRequest ID: 3"},
                             {LogLevel::Error, L"Attempt: 2\r\n" + result.secondAttemptError +
                                                   L"\r\nRequest ID: 3"}}));
    EXPECT_FALSE(shown.forgetToken || shown.enableBotLinks);

    const BotCheckResult recovered =
        Check({Reply(502, "<html></html>"), Reply(200, kBotOk)}, 9, transport, clock);
    EXPECT_TRUE(recovered.success && recovered.retried && recovered.secondAttemptError.empty());
    const auto ok = PresentBotCheckResult(recovered, false);
    ASSERT_EQ(ok.log.size(), 3u);
    EXPECT_EQ(ok.log[1].text, L"Telegram GetMe recovered on attempt 2\r\nRequest ID: 9");
    EXPECT_EQ(ok.botUsernameField, L"@wren_bot");
    EXPECT_TRUE(ok.enableBotLinks && ok.rememberToken);
    // A token another instance claimed first is forgotten with the duplicate message.
    const auto refused = PresentBotCheckResult(recovered, true);
    EXPECT_TRUE(refused.showDuplicatePrompt && refused.forgetToken);
    EXPECT_FALSE(refused.enableBotLinks);
    EXPECT_TRUE(refused.prompt.text.ends_with(L"\n\nBot:\nWren \u0412\u0440"));
}

TEST(TestSend, CountsEachAllowedRecipientInOrder) {
    ScriptedTransport transport;
    transport.Queue(Reply(200, "{\"ok\":true}"));
    transport.Queue(Reply(400, "{\"ok\":false,\"description\":\"Bad Request: chat not found\"}"));
    transport.Queue(Reply(200, "{\"ok\":true}"));
    std::vector<RecipientEntry> recipients(4);
    for (std::size_t i = 0; i < recipients.size(); ++i) {
        recipients[i].ChatId = std::to_wstring(i);
    }
    recipients[1].Allowed = false;
    const auto ids = AllowedChatIds(recipients);
    EXPECT_EQ(ids, (std::vector<std::wstring>{L"0", L"2", L"3"}));
    const TestSendResult result =
        RunTestSend(TelegramProviderFactory(transport.AsTransport()), L"1:A", ids);
    EXPECT_EQ(result.total, 3u);
    EXPECT_EQ(result.succeeded, 2u);
    EXPECT_EQ(result.failed, 1u);
    EXPECT_EQ(testing::RequestParameters(transport.Requests().at(1)).at("chat_id"), "2");
}

TEST(TestSend, AllSomeOrNoneSucceeded) {
    struct Row {
        TestSendResult result;
        LogLevel level;
        const wchar_t* status;
        PromptIcon icon;
    };
    for (const Row& row :
         {Row{{2, 2, 0}, LogLevel::Info, L"Status: Test Sent", PromptIcon::Information},
          Row{{3, 0, 3}, LogLevel::Error, L"Status: Test Failed", PromptIcon::Error},
          Row{{3, 1, 2}, LogLevel::Error, L"Status: Test Partially Sent", PromptIcon::Warning}}) {
        const auto shown = PresentTestSendResult(row.result);
        EXPECT_EQ(shown.log.level, row.level);
        EXPECT_EQ(shown.statusLine, row.status);
        EXPECT_EQ(shown.prompt.icon, row.icon);
    }
}

}  // namespace
}  // namespace wrenpost
