// Sending one notification: the request shape, the length cap, the switch to a form POST for
// long addresses, and every way a send can fail with its text.
#include <gtest/gtest.h>

#include <thread>

#include "ScriptedTransport.h"
#include "common/Text.h"
#include "telegram/TelegramProvider.h"

namespace wrenpost {
namespace {

using testing::Reply;
using testing::RequestParameters;
using testing::ScriptedTransport;
using testing::TransportFailure;

struct SendOutcome {
    bool ok;
    std::wstring error;
};

SendOutcome SendWith(ScriptedTransport& transport, const std::wstring& title,
                     const std::wstring& body, const std::wstring& chatId = L"42") {
    TelegramProvider provider(L"123:ABC", chatId, transport.AsTransport());
    LastSendError() = L"stale";
    const bool ok = provider.Send(title, body);
    return {ok, LastSendError()};
}

TEST(TelegramSend, SendsTitleBlankLineAndBodyAsOneEncodedGet) {
    ScriptedTransport transport;
    transport.Queue(Reply(200, "{\"ok\":true}"));
    const std::wstring body =
        L"a&b=c#d+e \u0418\u0432\u0430\u043d " + Utf8ToWide("\xF0\x9F\x98\x80");
    const SendOutcome outcome = SendWith(transport, L"Title", body, L"-100123");
    EXPECT_TRUE(outcome.ok);
    EXPECT_TRUE(outcome.error.empty());
    const auto requests = transport.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, L"GET");
    EXPECT_TRUE(requests[0].shortTimeouts);
    EXPECT_EQ(
        requests[0].path.rfind(
            L"/bot123:ABC/sendMessage?chat_id=-100123&text=Title%0A%0Aa%26b%3Dc%23d%2Be%20", 0),
        0u)
        << WideToUtf8(requests[0].path);
    const auto parameters = RequestParameters(requests[0]);
    EXPECT_EQ(parameters.size(), 2u);
    EXPECT_EQ(parameters.at(L"chat_id"), L"-100123");
    EXPECT_EQ(parameters.at(L"text"), L"Title\n\n" + body);
}

TEST(TelegramSend, CapsTheTextAtTelegramsLimit) {
    ScriptedTransport transport;
    transport.Queue(Reply(200, "{\"ok\":true}"));
    EXPECT_TRUE(SendWith(transport, L"T", std::wstring(6000, L'x')).ok);
    const std::wstring sent = RequestParameters(transport.Requests().at(0)).at(L"text");
    EXPECT_EQ(Utf16Length(sent), 4096u);
    EXPECT_EQ(sent, L"T\n\n" + std::wstring(4092, L'x') + L"\u2026");
}

TEST(TelegramSend, LongAddressesBecomeAFormPostOfTheSameParameters) {
    ScriptedTransport transport;
    transport.Queue(Reply(200, "{\"ok\":true}"));
    transport.Queue(Reply(200, "{\"ok\":true}"));
    // 2,600 Cyrillic letters are 5,200 bytes, 15,600 bytes encoded.
    const std::wstring longBody(2600, L'\u0418');
    ASSERT_TRUE(SendWith(transport, L"T", longBody).ok);
    ASSERT_TRUE(SendWith(transport, L"T", L"short").ok);
    const auto requests = transport.Requests();
    EXPECT_EQ(requests[0].method, L"POST");
    EXPECT_EQ(requests[0].path, L"/bot123:ABC/sendMessage");
    EXPECT_EQ(requests[0].contentType, L"application/x-www-form-urlencoded");
    EXPECT_TRUE(requests[0].shortTimeouts);
    EXPECT_EQ(RequestParameters(requests[0]).at(L"text"), L"T\n\n" + longBody);
    EXPECT_EQ(RequestParameters(requests[0]).at(L"chat_id"), L"42");
    EXPECT_EQ(requests[1].method, L"GET");
    EXPECT_TRUE(requests[1].body.empty());
}

TEST(TelegramSend, AddressesUpToTheLimitStayGet) {
    const std::wstring prefix = L"/bot1:A/sendMessage?";
    const std::wstring fits(kMaxGetAddressBytes - prefix.size(), L'a');
    EXPECT_EQ(MakeBotApiRequest(L"1:A", L"sendMessage", fits).method, L"GET");
    EXPECT_EQ(MakeBotApiRequest(L"1:A", L"sendMessage", fits + L"a").method, L"POST");
}

TEST(TelegramSend, MissingTokenOrChatIdFailsWithoutARequest) {
    ScriptedTransport transport;
    TelegramProvider noChat(L"1:A", L"", transport.AsTransport());
    EXPECT_FALSE(noChat.Send(L"t", L"b"));
    EXPECT_EQ(LastSendError(), L"Bot Token or recipient Chat ID is not configured.");
    TelegramProvider noToken(L"", L"5", transport.AsTransport());
    EXPECT_FALSE(noToken.SendTest());
    EXPECT_EQ(LastSendError(), L"Bot Token or recipient Chat ID is not configured.");
    EXPECT_TRUE(transport.Requests().empty());
}

TEST(TelegramSend, TransportFailuresCarryTheWinHttpNumber) {
    ScriptedTransport transport;
    transport.Queue(TransportFailure(HttpStage::Send, 12007));
    transport.Queue(TransportFailure(HttpStage::Receive, 12002));
    transport.Queue(TransportFailure(HttpStage::Session, 12345));
    EXPECT_EQ(SendWith(transport, L"t", L"b").error,
              L"Could not connect to Telegram: DNS resolution failed (WinHTTP error 12007).");
    EXPECT_EQ(SendWith(transport, L"t", L"b").error,
              L"The connection to Telegram timed out. Please check your internet connection and "
              L"try again.");
    EXPECT_EQ(SendWith(transport, L"t", L"b").error,
              L"Could not connect to Telegram: Network error (WinHTTP error 12345).");
}

TEST(TelegramSend, StatusDecidesAndTheDescriptionExplains) {
    ScriptedTransport transport;
    transport.Queue(Reply(200, "{\"ok\":false,\"description\":\"ignored\"}"));
    transport.Queue(Reply(
        400, "{\"ok\":false,\"error_code\":400,\"description\":\"Bad Request: chat not found\"}"));
    transport.Queue(Reply(502, "<html><body>Bad Gateway</body></html>"));
    transport.Queue(Reply(0, ""));
    transport.Queue(Reply(403, ""));
    transport.Queue(Reply(201, "{\"ok\":true}"));
    EXPECT_TRUE(SendWith(transport, L"t", L"b").ok);
    EXPECT_EQ(SendWith(transport, L"t", L"b").error,
              L"Telegram rejected the message (HTTP 400): Bad Request: chat not found");
    EXPECT_EQ(SendWith(transport, L"t", L"b").error,
              L"Telegram returned an unexpected response (HTTP 502).");
    EXPECT_EQ(SendWith(transport, L"t", L"b").error,
              L"Telegram returned an invalid or empty response.");
    EXPECT_EQ(SendWith(transport, L"t", L"b").error,
              L"Telegram returned an unexpected response (HTTP 403).");
    const SendOutcome created = SendWith(transport, L"t", L"b");
    EXPECT_FALSE(created.ok);
    EXPECT_EQ(created.error, L"Telegram returned an unexpected response (HTTP 201).");
}

TEST(TelegramSend, ErrorsStayOnTheirOwnThread) {
    ScriptedTransport transport;
    transport.Queue(Reply(500, ""));
    EXPECT_FALSE(SendWith(transport, L"t", L"b").ok);
    std::wstring seenElsewhere = L"unset";
    std::thread([&] { seenElsewhere = LastSendError(); }).join();
    EXPECT_TRUE(seenElsewhere.empty());
    EXPECT_EQ(LastSendError(), L"Telegram returned an unexpected response (HTTP 500).");
}

TEST(TelegramSend, FactoryMakesOneProviderPerRecipient) {
    ScriptedTransport transport;
    transport.SetResponder([](const HttpRequest&) { return Reply(200, "{}"); });
    const auto factory = TelegramProviderFactory(transport.AsTransport());
    auto provider = factory(L"9:Z", L"77");
    EXPECT_EQ(provider->Name(), L"Telegram");
    EXPECT_TRUE(provider->SendTest());
    const auto parameters = RequestParameters(transport.Requests().at(0));
    EXPECT_EQ(parameters.at(L"chat_id"), L"77");
    EXPECT_EQ(parameters.at(L"text"),
              L"Wrenpost Test\n\nTest message sent successfully from Wrenpost.");
}

}  // namespace
}  // namespace wrenpost
