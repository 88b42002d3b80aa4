// The WinHTTP client and the Bot API through it against the loopback fake server.
#include <gtest/gtest.h>
#include <windows.h>

#include "common/HttpClient_win.h"
#include "common/Text.h"
#include "monitor/DeliveryAnswers.h"
#include "support/FakeBotApiServer_win.h"
#include "telegram/BotCheck.h"
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
    for (const std::wstring& body : {mixed, mixed + std::wstring(3000, L'\u0436')}) {
        ASSERT_TRUE(Send(body).ok);
        const auto request = server.Requests("sendMessage").back();
        EXPECT_EQ(request.verb, body == mixed ? "GET" : "POST");  // 18,000 bytes encoded: a form
        EXPECT_EQ(request.parameters,
                  (std::map<std::string, std::string>{{"chat_id", "-1001234567890"},
                                                      {"text", WideToUtf8(L"T\n\n" + body)}}));
    }
}

TEST_F(BotApiOverWinHttp, EachSendShapeIsTakenAndWhatTelegramRefusesIsA400) {
    server.SetTopics("-1001234567890", {42}, {9});
    using Parameters = std::map<std::string, std::string>;
    const Parameters plain{{"chat_id", "-1001234567890"}, {"text", "T\n\nb"}};
    const std::string noPreview = R"({"is_disabled":true})";
    // options, parameters beyond the plain ones, Telegram's refusal (empty: delivered)
    const std::tuple<SendOptions, Parameters, std::string> rows[] = {
        {{}, {}, ""},
        {{false, 42, false}, {{"message_thread_id", "42"}}, ""},
        {{true, 42, true},
         {{"disable_notification", "true"},
          {"message_thread_id", "42"},
          {"link_preview_options", noPreview}},
         ""},
        {{false, 43, false}, {{"message_thread_id", "43"}}, "message thread not found"},
        {{false, 9, false}, {{"message_thread_id", "9"}}, "TOPIC_CLOSED"},
    };
    for (const auto& [options, extra, refusal] : rows) {
        const SendResult result =
            TelegramProvider(L"123:ABC", L"-1001234567890", Transport()).Send(L"T", L"b", options);
        EXPECT_EQ(result.reason.empty() ? "" : WideToUtf8(result.reason),
                  refusal.empty()
                      ? ""
                      : "Telegram rejected the message (HTTP 400): Bad Request: " + refusal);
        Parameters expected = plain;
        expected.insert(extra.begin(), extra.end());
        EXPECT_EQ(server.Requests("sendMessage").back().parameters, expected);
    }
    // What the program never sends, so a typo or a wrong value cannot pass unnoticed.
    for (const auto& [query, refusal] : {
             std::pair{L"chat_id=1&text=t&disable_notifications=true", "unknown parameter"},
             std::pair{L"chat_id=1&text=t&disable_notification=1", "can't parse"},
             std::pair{L"chat_id=1&text=t&message_thread_id=4x", "can't parse"},
             std::pair{L"chat_id=1&text=t&message_thread_id=42", "message thread not found"},
             std::pair{L"chat_id=1&text=t&link_preview_options=%5B%5D", "can't parse"},
             std::pair{L"offset=1&chat_id=1", "unknown parameter"},
         }) {
        const std::wstring method =
            std::wstring_view(query).starts_with(L"offset") ? L"getUpdates" : L"sendMessage";
        const HttpResponse response = Transport()(MakeBotApiRequest(L"1:A", method, query));
        EXPECT_EQ(response.status, 400u) << WideToUtf8(query);
        EXPECT_NE(response.body.find(std::string("Bad Request: ") + refusal), std::string::npos)
            << response.body;
    }
}

TEST_F(BotApiOverWinHttp, ABodyOverTheCapIsAFailureNotATruncatedAnswer) {
    constexpr std::size_t cap = 100'000;
    // size, announced by Content-Length, failed stage
    for (const auto& [size, announced, stage] :
         {std::tuple{cap, true, HttpStage::None}, std::tuple{cap, false, HttpStage::None},
          std::tuple{cap + 1, true, HttpStage::TooLarge},
          std::tuple{cap + 1, false, HttpStage::TooLarge}}) {
        FakeBotApiReply reply{200, std::string(size, 'b')};
        reply.sendContentLength = announced;
        server.QueueReply("x", reply);
        const HttpResponse response = Perform(cap);
        EXPECT_EQ(response.failedStage, stage) << size << " " << announced;
        EXPECT_EQ(response.body.size(), stage == HttpStage::None ? size : 0u);
    }
}

// A redirect is never followed: the request ends with the 3xx, whatever it points to (here the
// same server, which would answer).
TEST_F(BotApiOverWinHttp, ARedirectIsNotFollowed) {
    for (const int status : {301, 302, 307, 308}) {
        FakeBotApiReply moved{status, ""};
        moved.location = "/bot1:A/elsewhere";
        server.QueueReply("x", moved);
        server.QueueReply("elsewhere", {200, "{\"ok\":true,\"result\":[]}"});
        const HttpResponse response = Perform(kDefaultMaxBodyBytes);
        EXPECT_EQ(response.status, static_cast<std::uint32_t>(status));
        EXPECT_TRUE(server.Requests("elsewhere").empty()) << status;
    }
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

// No server holds a request past its deadline: not one that never answers, nor one that trickles
// its body or stalls after the head, whatever the time-outs of each wait allow.
TEST_F(BotApiOverWinHttp, NoServerHoldsARequestPastItsDeadline) {
    using std::chrono::milliseconds;
    const HttpTransport hurried = [inner = Transport()](HttpRequest request) {
        request.deadline = milliseconds(1000);
        return inner(request);
    };
    const std::string body = R"({"ok":true,"result":[]})" + std::string(4000, ' ');
    // the wait before the head, the pause before each body byte
    for (const auto& [delay, pause] : {std::pair{milliseconds(600'000), milliseconds(0)},
                                       std::pair{milliseconds(0), milliseconds(50)},
                                       std::pair{milliseconds(0), milliseconds(600'000)}}) {
        const FakeBotApiReply reply{200, body, "application/json", delay, true, "", pause};
        server.QueueReply("getUpdates", reply);
        server.QueueReply("sendMessage", reply);
        const TelegramGetResult got =
            TelegramGet(hurried, MakeBotApiRequest(L"1:A", L"getUpdates", L"offset=1"));
        EXPECT_EQ(got.error, L"Telegram did not answer within 1 s.") << pause.count();
        // Without a status the outcome is unknown and the outbox sends again; a 200 is delivered.
        const SendResult sent = TelegramProvider(L"1:A", L"5", hurried).Send(L"T", L"b");
        const bool answered = delay.count() == 0;
        EXPECT_EQ(ClassifySend(sent), answered ? SendVerdict::Delivered : SendVerdict::Retry);
        EXPECT_EQ(sent.reason, answered ? L"" : L"Telegram did not answer within 1 s.");
    }
}

// (A refusal's status and body arriving: EachSendShapeIsTakenAndWhatTelegramRefusesIsA400.)
TEST_F(BotApiOverWinHttp, ARefusedConnectionHasItsNumber) {
    server.Stop();  // nothing listens on its port any more
    EXPECT_EQ(Send(L"b").reason,
              L"Could not connect to Telegram: Failed to connect to Telegram "
              L"API (WinHTTP error 12029).");
}

}  // namespace
}  // namespace wrenpost
