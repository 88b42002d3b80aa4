// Sending one notification: the text as it is composed, capped and encoded, the switch to a form
// POST for long addresses, and the result record of every way a send can end.
#include <gtest/gtest.h>

#include "ScriptedTransport.h"
#include "telegram/BotApiText.h"
#include "telegram/TelegramProvider.h"

namespace wrenpost {
namespace {

using testing::Reply;
using testing::RequestParameters;
using testing::ScriptedTransport;
using testing::TransportFailure;

TEST(TelegramSend, SendsTitleBlankLineAndBodyCappedAtTelegramsLimit) {
    const std::wstring emoji = Utf8ToWide("\xF0\x9F\x98\x80");
    const std::wstring mixed = L"a&b=c#d+e \u0418\u0432\u0430\u043d " + emoji + L"\r\n%";
    struct Row {
        std::wstring title, body, sent;
    };
    const Row rows[] = {
        {L"Title", mixed, L"Title\n\n" + mixed},
        {L"T", std::wstring(4093, L'y'), L"T\n\n" + std::wstring(4093, L'y')},  // exactly 4,096
        {L"T", std::wstring(6000, L'x'), L"T\n\n" + std::wstring(4092, L'x') + L"\u2026"},
        // An emoji straddling the cut is dropped whole, never split.
        {L"", std::wstring(4092, L'c') + emoji + L"dd",
         L"\n\n" + std::wstring(4092, L'c') + L"\u2026"},
        {L"", std::wstring(4091, L'c') + emoji + L"dd",
         L"\n\n" + std::wstring(4091, L'c') + emoji + L"\u2026"},
    };
    for (const Row& row : rows) {
        ScriptedTransport transport;
        transport.Queue(Reply(200, "{\"ok\":true}"));
        TelegramProvider provider(L"123:ABC", L"-100123", transport.AsTransport());
        EXPECT_TRUE(provider.Send(row.title, row.body).ok);
        const HttpRequest request = transport.Requests().at(0);
        EXPECT_TRUE(request.path.starts_with(L"/bot123:ABC/sendMessage"));
        EXPECT_EQ(request.timeouts, kSendMessageTimeouts);
        EXPECT_EQ(RequestParameters(request),
                  (std::map<std::string, std::string>{{"chat_id", "-100123"},
                                                      {"text", WideToUtf8(row.sent)}}))
            << row.body.size();
    }
}

TEST(TelegramSend, LongAddressesBecomeAFormPostOfTheSameParameters) {
    const std::wstring prefix = L"/bot1:A/sendMessage?";
    const std::wstring fits(kMaxGetAddressBytes - prefix.size(), L'a');
    // 2,600 Cyrillic letters are 5,200 bytes, 15,600 bytes encoded.
    const std::wstring cyrillic = L"text=" + UrlEncode(std::wstring(2600, L'\u0418'));
    for (const std::wstring& query : {fits, fits + L"a", cyrillic, std::wstring(L"x=1")}) {
        const HttpRequest request = MakeBotApiRequest(L"1:A", L"sendMessage", query);
        const bool post = query.size() > fits.size();
        EXPECT_EQ(request.method, post ? L"POST" : L"GET") << query.size();
        EXPECT_EQ(request.path, post ? L"/bot1:A/sendMessage" : prefix + query);
        EXPECT_EQ(request.body, post ? WideToUtf8(query) : "");
        EXPECT_EQ(request.contentType, post ? L"application/x-www-form-urlencoded" : L"");
    }
    EXPECT_EQ(MakeBotApiRequest(L"1:A", L"getMe", L"").path, L"/bot1:A/getMe");
}

TEST(TelegramSend, TheResultRecordsHowEachSendEnded) {
    const std::wstring timedOut =
        L"The connection to Telegram timed out. Please check your internet connection and try "
        L"again.";
    HttpResponse partial = Reply(200, "{\"ok\":tr");
    partial.failedStage = HttpStage::Read;
    HttpResponse oversized = Reply(200, "");
    oversized.failedStage = HttpStage::TooLarge;
    struct Row {
        HttpResponse response;
        SendResult expected;
    };
    const Row rows[] = {
        {Reply(200, "{\"ok\":true}"), {true, L"", 200, 0}},
        {partial, {true, L"", 200, 0}},  // the status decides, the body only explains
        {Reply(429,
               "{\"ok\":false,\"error_code\":429,\"description\":\"Too Many Requests: retry after "
               "35\",\"parameters\":{\"retry_after\":35}}"),
         {false, L"Telegram rejected the message (HTTP 429): Too Many Requests: retry after 35",
          429, 35}},
        {Reply(429, "{\"retry_after\":7,\"parameters\":{\"migrate\":1}}"),
         {false, L"Telegram returned an unexpected response (HTTP 429).", 429, 0}},
        {Reply(400, "{\"ok\":false,\"description\":\"Bad Request: chat not found\"}"),
         {false, L"Telegram rejected the message (HTTP 400): Bad Request: chat not found", 400, 0}},
        {Reply(201, "{\"ok\":true}"),
         {false, L"Telegram returned an unexpected response (HTTP 201).", 201, 0}},
        {Reply(0, ""), {false, L"Telegram returned an invalid or empty response.", 0, 0}},
        {oversized, {false, L"Telegram returned an oversized response (HTTP 200).", 200, 0}},
        {TransportFailure(HttpStage::Send, 12007),
         {false, L"Could not connect to Telegram: DNS resolution failed (WinHTTP error 12007).", 0,
          0}},
        {TransportFailure(HttpStage::Receive, 12002), {false, timedOut, 0, 0}},
        {TransportFailure(HttpStage::Session, 12345),
         {false, L"Could not connect to Telegram: Network error (WinHTTP error 12345).", 0, 0}},
    };
    for (const Row& row : rows) {
        ScriptedTransport transport;
        transport.Queue(row.response);
        const SendResult result =
            TelegramProvider(L"1:A", L"5", transport.AsTransport()).Send(L"t", L"b");
        EXPECT_EQ(std::tie(result.ok, result.reason, result.httpStatus, result.retryAfterSeconds),
                  std::tie(row.expected.ok, row.expected.reason, row.expected.httpStatus,
                           row.expected.retryAfterSeconds));
    }
}

TEST(TelegramSend, MissingTokenOrChatIdFailsWithoutARequest) {
    ScriptedTransport transport;
    for (const auto& [token, chat] : {std::pair{L"1:A", L""}, std::pair{L"", L"5"}}) {
        const SendResult result = TelegramProvider(token, chat, transport.AsTransport()).SendTest();
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.reason, L"Bot Token or recipient Chat ID is not configured.");
    }
    EXPECT_TRUE(transport.Requests().empty());
}

}  // namespace
}  // namespace wrenpost
