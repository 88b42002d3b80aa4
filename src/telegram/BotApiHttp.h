// The request shapes shared by every Bot API method, over the HTTP seam of common/HttpClient.h.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/HttpClient.h"

namespace wrenpost {

// sendMessage waits at most 5 s to resolve, connect and send and 10 s for the answer, so a
// monitor cycle is never held long by one recipient; the other methods keep the general values.
inline constexpr HttpTimeouts kSendMessageTimeouts{5000, 5000, 5000, 10000, 10000};
// The whole of one sendMessage; the other methods keep the general kDefaultHttpDeadline.
inline constexpr std::chrono::milliseconds kSendMessageDeadline{20'000};

// "Telegram did not answer within N s." for a request its deadline ended.
std::wstring NoAnswerText(const HttpResponse& response);

// Request addresses above this many bytes are sent as a form POST instead: long GET addresses
// are refused by servers and proxies (414).
inline constexpr std::size_t kMaxGetAddressBytes = 8000;

// "/bot<token>/<method>" with the already encoded query; a GET unless the address would be too
// long, then a POST of the same parameters as application/x-www-form-urlencoded.
HttpRequest MakeBotApiRequest(std::wstring_view token, std::wstring_view method,
                              std::wstring_view encodedQuery);

struct TelegramGetResult {
    bool ok = false;
    std::wstring body;         // decoded from UTF-8
    std::wstring error;        // one text per failing step
    std::uint32_t status = 0;  // 0 when no answer arrived
};

// The plain request helper of getUpdates and deleteMessage: the HTTP status is not examined;
// an empty body is a failure.
TelegramGetResult TelegramGet(const HttpTransport& transport, const HttpRequest& request);

}  // namespace wrenpost
