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
    "{\"ok\":true,\"result\":{\"id\":1,\"is_bot\":true,\"first_name\":\"Wren Bot\","
    "\"username\":\"wren_bot\"}}";

BotInfo CheckOnce(HttpResponse response) {
    ScriptedTransport transport;
    transport.Queue(std::move(response));
    return GetBotInfo(transport.AsTransport(), L"1:A");
}

TEST(GetBotInfo, ReadsTheBotsNamesFromAnOkAnswer) {
    ScriptedTransport transport;
    transport.Queue(Reply(200, kBotOk));
    const BotInfo info = GetBotInfo(transport.AsTransport(), L"1:A");
    EXPECT_TRUE(info.ok);
    EXPECT_EQ(info.kind, kBotCheckNoError);
    EXPECT_EQ(info.firstName, L"Wren Bot");
    EXPECT_EQ(info.username, L"wren_bot");
    const auto requests = transport.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].path, L"/bot1:A/getMe");
    EXPECT_EQ(requests[0].method, L"GET");
    EXPECT_FALSE(requests[0].shortTimeouts);
}

TEST(GetBotInfo, DecodesEscapedNames) {
    const BotInfo info = CheckOnce(Reply(
        200, "{\"ok\":true,\"result\":{\"first_name\":\"\\u0412\\u0440\",\"username\":\"\"}}"));
    EXPECT_TRUE(info.ok);
    EXPECT_EQ(info.firstName, L"\u0412\u0440");
    EXPECT_EQ(info.username, L"");
}

TEST(GetBotInfo, ClassifiesEveryFailure) {
    struct Row {
        HttpResponse response;
        BotCheckErrorKind kind;
        std::wstring text;
    };
    const std::vector<Row> rows = {
        {TransportFailure(HttpStage::Session, 12001), kBotCheckOtherFailure,
         L"Telegram bot check failed at stage: Session creation. Network error. (WinHTTP error "
         L"12001)"},
        {TransportFailure(HttpStage::Connect, 12007), kBotCheckOtherFailure,
         L"Telegram bot check failed at stage: Connect. DNS resolution failed. (WinHTTP error "
         L"12007)"},
        {TransportFailure(HttpStage::OpenRequest, 12005), kBotCheckOtherFailure,
         L"Telegram bot check failed at stage: Connect. Network error. (WinHTTP error 12005)"},
        {TransportFailure(HttpStage::Send, 12029), kBotCheckOtherFailure,
         L"Telegram bot check failed at stage: Send. Failed to connect to Telegram API. (WinHTTP "
         L"error 12029)"},
        {TransportFailure(HttpStage::Receive, 12002), kBotCheckOtherFailure,
         L"Telegram bot check failed at stage: Receive. Connection timeout. (WinHTTP error 12002)"},
        {TransportFailure(HttpStage::Read, 12030), kBotCheckOtherFailure,
         L"Telegram bot check failed at stage: Receive. Connection error. (WinHTTP error 12030)"},
        {Reply(0, ""), kBotCheckOtherFailure,
         L"Telegram bot check failed at stage: Receive. Empty response from Telegram API."},
        {Reply(200, ""), kBotCheckOtherFailure,
         L"Telegram bot check failed at stage: Receive. Empty response from Telegram API. (HTTP "
         L"200)"},
        {Reply(200, "{\"ok\":true,\"result\":{\"first_name\":\"A\"}}"), kBotCheckOtherFailure,
         L"Telegram bot check failed at stage: JSON parsing. Response did not contain the expected "
         L"bot fields. (HTTP 200)"},
        {Reply(401, "{\"ok\":false,\"error_code\":401,\"description\":\"Unauthorized\"}"),
         kBotCheckAuthorization,
         L"Telegram bot check failed at stage: Telegram authorization. Unauthorized. (HTTP 401)"},
        {Reply(401, "<html>nope</html>"), kBotCheckAuthorization,
         L"Telegram bot check failed at stage: Telegram authorization. Telegram returned an error. "
         L"(HTTP 401)"},
        {Reply(403, "{\"ok\":false,\"description\":\"Forbidden: bot was blocked\"}"),
         kBotCheckAuthorization,
         L"Telegram bot check failed at stage: Telegram authorization. Forbidden: bot was blocked. "
         L"(HTTP 403)"},
        {Reply(403, "{\"ok\":false,\"description\":\"INVALID token\"}"), kBotCheckAuthorization,
         L"Telegram bot check failed at stage: Telegram authorization. INVALID token. (HTTP 403)"},
        {Reply(403, "{\"ok\":false,\"description\":\"Too many requests\"}"), kBotCheckOtherFailure,
         L"Telegram bot check failed at stage: Telegram authorization. Too many requests. (HTTP "
         L"403)"},
        {Reply(403, "{\"ok\":false}"), kBotCheckOtherFailure,
         L"Telegram bot check failed at stage: Telegram authorization. Telegram returned an error. "
         L"(HTTP 403)"},
        {Reply(400, "{\"ok\":false,\"description\":\"Bad Request: unauthorized\"}"),
         kBotCheckOtherFailure,
         L"Telegram bot check failed at stage: Telegram authorization. Bad Request: unauthorized. "
         L"(HTTP 400)"},
        {Reply(502, "<html><body>502 Bad Gateway</body></html>"), kBotCheckOtherFailure,
         L"Telegram bot check failed at stage: Telegram authorization. Telegram returned an error. "
         L"(HTTP 502)"},
        {Reply(200, "{\"ok\" :true,\"result\":{\"first_name\":\"A\",\"username\":\"b\"}}"),
         kBotCheckOtherFailure,
         L"Telegram bot check failed at stage: Telegram authorization. Telegram returned an error. "
         L"(HTTP 200)"},
    };
    for (const Row& row : rows) {
        const BotInfo info = CheckOnce(row.response);
        EXPECT_FALSE(info.ok) << WideToUtf8(row.text);
        EXPECT_EQ(info.kind, row.kind) << WideToUtf8(row.text);
        EXPECT_EQ(info.errorText, row.text);
    }
}

TEST(BotCheckWorker, AnAuthorizationFailureIsFinalAtOnce) {
    ScriptedTransport transport;
    transport.Queue(Reply(401, "{\"ok\":false,\"description\":\"Unauthorized\"}"));
    FakeClock clock;
    const auto before = clock.SteadyNow();
    const BotCheckResult result = RunBotCheck(transport.AsTransport(), clock, L"1:A", 7);
    EXPECT_EQ(transport.Requests().size(), 1u);
    EXPECT_EQ(clock.SteadyNow(), before);
    EXPECT_FALSE(result.success);
    EXPECT_FALSE(result.retried);
    EXPECT_EQ(result.errorKind, kBotCheckAuthorization);
    EXPECT_EQ(result.generation, 7u);
    EXPECT_EQ(result.token, L"1:A");
}

TEST(BotCheckWorker, OtherFailuresAreRetriedOnceAfter750Milliseconds) {
    ScriptedTransport transport;
    transport.Queue(TransportFailure(HttpStage::Send, 12007));
    transport.Queue(TransportFailure(HttpStage::Send, 12007));
    FakeClock clock;
    const auto before = clock.SteadyNow();
    const BotCheckResult result = RunBotCheck(transport.AsTransport(), clock, L"1:A", 3);
    EXPECT_EQ(transport.Requests().size(), 2u);
    EXPECT_EQ(clock.SteadyNow() - before, std::chrono::milliseconds(750));
    EXPECT_TRUE(result.retried);
    EXPECT_FALSE(result.success);
    EXPECT_EQ(result.errorKind, kBotCheckOtherFailure);
    const std::wstring dns =
        L"Telegram bot check failed at stage: Send. DNS resolution failed. (WinHTTP error 12007)";
    EXPECT_EQ(result.firstAttemptError, dns);
    EXPECT_EQ(result.secondAttemptError, dns);
    EXPECT_EQ(result.errorText, dns);

    // Both attempts reach the log, each with the request id.
    const auto shown = PresentBotCheckResult(result, false);
    ASSERT_EQ(shown.log.size(), 2u);
    EXPECT_EQ(shown.log[0],
              (LogEntry{LogLevel::Warning, L"Attempt: 1\r\n" + dns + L"\r\nRequest ID: 3"}));
    EXPECT_EQ(shown.log[1],
              (LogEntry{LogLevel::Error, L"Attempt: 2\r\n" + dns + L"\r\nRequest ID: 3"}));
    EXPECT_EQ(shown.botNameField, L"Telegram connection failed");
    EXPECT_EQ(shown.botUsernameField, L"");
    EXPECT_FALSE(shown.forgetToken);
    EXPECT_FALSE(shown.enableBotLinks);
}

TEST(BotCheckWorker, ASecondAttemptCanRecoverOrEndInAuthorization) {
    ScriptedTransport transport;
    transport.Queue(Reply(502, "<html></html>"));
    transport.Queue(Reply(200, kBotOk));
    FakeClock clock;
    const BotCheckResult recovered = RunBotCheck(transport.AsTransport(), clock, L"1:A", 9);
    EXPECT_TRUE(recovered.success);
    EXPECT_TRUE(recovered.retried);
    EXPECT_TRUE(recovered.secondAttemptError.empty());
    const auto shown = PresentBotCheckResult(recovered, false);
    ASSERT_EQ(shown.log.size(), 3u);
    EXPECT_EQ(shown.log[0].level, LogLevel::Warning);
    EXPECT_EQ(shown.log[1], (LogEntry{LogLevel::Info,
                                      L"Telegram GetMe recovered on attempt 2\r\nRequest ID: 9"}));
    EXPECT_EQ(shown.log[2], (LogEntry{LogLevel::Info, L"Telegram bot detected: @wren_bot"}));
    EXPECT_EQ(shown.botNameField, L"Wren Bot");
    EXPECT_EQ(shown.botUsernameField, L"@wren_bot");
    EXPECT_TRUE(shown.enableBotLinks);
    EXPECT_TRUE(shown.rememberToken);

    transport.Queue(TransportFailure(HttpStage::Receive, 12002));
    transport.Queue(Reply(401, "{\"ok\":false,\"description\":\"Unauthorized\"}"));
    const BotCheckResult rejected = RunBotCheck(transport.AsTransport(), clock, L"1:A", 10);
    EXPECT_TRUE(rejected.retried);
    EXPECT_EQ(rejected.errorKind, kBotCheckAuthorization);
    const auto shownRejected = PresentBotCheckResult(rejected, false);
    EXPECT_EQ(shownRejected.botNameField, L"Invalid token");
    EXPECT_TRUE(shownRejected.forgetToken);
}

TEST(BotCheckWorker, ARefusedClaimShowsTheDuplicateMessageWithTheBotName) {
    BotCheckResult result;
    result.success = true;
    result.botFirstName = L"Wren Bot";
    result.botUsername = L"wren_bot";
    const auto shown = PresentBotCheckResult(result, true);
    EXPECT_TRUE(shown.showDuplicatePrompt);
    EXPECT_TRUE(shown.forgetToken);
    EXPECT_FALSE(shown.enableBotLinks);
    EXPECT_EQ(shown.botNameField, L"");
    EXPECT_EQ(shown.prompt.caption, L"Duplicate Bot Token");
    EXPECT_EQ(shown.prompt.icon, PromptIcon::Warning);
    EXPECT_EQ(shown.prompt.text,
              L"This Telegram Bot Token is already active in another running Wrenpost "
              L"instance.\n\nEach running instance must use a different Bot Token.\n\nPlease use "
              L"another token or close the other instance first.\n\nBot:\nWren Bot");
    EXPECT_TRUE(shown.log.empty());
}

TEST(BotCheckGenerations, OnlyTheLatestCheckIsApplied) {
    BotCheckGenerations generations;
    const auto first = generations.Next();
    const auto second = generations.Next();
    EXPECT_FALSE(generations.IsCurrent(first));
    EXPECT_TRUE(generations.IsCurrent(second));
    generations.Supersede();
    EXPECT_FALSE(generations.IsCurrent(second));
}

TEST(TestSend, CountsEachAllowedRecipientInOrder) {
    ScriptedTransport transport;
    transport.Queue(Reply(200, "{\"ok\":true}"));
    transport.Queue(Reply(400, "{\"ok\":false,\"description\":\"Bad Request: chat not found\"}"));
    transport.Queue(Reply(200, "{\"ok\":true}"));
    std::vector<RecipientEntry> recipients(4);
    recipients[0].ChatId = L"1";
    recipients[1].ChatId = L"2";
    recipients[1].Allowed = false;
    recipients[2].ChatId = L"-3";
    recipients[3].ChatId = L"4";
    const auto ids = AllowedChatIds(recipients);
    EXPECT_EQ(ids, (std::vector<std::wstring>{L"1", L"-3", L"4"}));
    const TestSendResult result =
        RunTestSend(TelegramProviderFactory(transport.AsTransport()), L"1:A", ids);
    EXPECT_EQ(result.total, 3u);
    EXPECT_EQ(result.succeeded, 2u);
    EXPECT_EQ(result.failed, 1u);
    const auto requests = transport.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(testing::RequestParameters(requests[1]).at(L"chat_id"), L"-3");
}

TEST(TestSend, ThreeOutcomesForTheWindow) {
    auto shown = PresentTestSendResult({2, 2, 0});
    EXPECT_EQ(shown.log, (LogEntry{LogLevel::Info,
                                   L"Test notification sent successfully to 2 recipient(s)."}));
    EXPECT_EQ(shown.statusLine, L"Status: Test Sent");
    EXPECT_EQ(shown.prompt.caption, L"Success");
    EXPECT_EQ(shown.prompt.icon, PromptIcon::Information);

    shown = PresentTestSendResult({3, 0, 3});
    EXPECT_EQ(shown.log, (LogEntry{LogLevel::Error,
                                   L"Failed to send test notification to all 3 recipient(s)."}));
    EXPECT_EQ(shown.statusLine, L"Status: Test Failed");
    EXPECT_EQ(shown.prompt.text, L"Failed to send test message.");
    EXPECT_EQ(shown.prompt.icon, PromptIcon::Error);

    shown = PresentTestSendResult({3, 1, 2});
    EXPECT_EQ(shown.log, (LogEntry{LogLevel::Error, L"Test notification: 1 succeeded, 2 failed."}));
    EXPECT_EQ(shown.statusLine, L"Status: Test Partially Sent");
    EXPECT_EQ(shown.prompt.caption, L"Partial Success");
    EXPECT_EQ(shown.prompt.icon, PromptIcon::Warning);
}

}  // namespace
}  // namespace wrenpost
