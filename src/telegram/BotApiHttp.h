// The HTTP seam between the Bot API logic and the transport (WinHTTP on Windows, scripted
// doubles in tests), and the request shapes shared by every Bot API method.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace wrenpost {

// The step of a request that failed at transport level.
enum class HttpStage {
    None,         // the response arrived (its body may still be partial, see Read)
    Session,      // opening the session or setting its time-outs
    Connect,      // naming the server
    OpenRequest,  // creating the request
    Send,         // sending (name resolution and connecting happen here)
    Receive,      // waiting for the response head
    Read,         // reading the body failed part-way; status and the bytes read are kept
};

struct HttpRequest {
    std::wstring method = L"GET";
    std::wstring path;         // "/bot<token>/<method>?..."; appended to the endpoint's base path
    std::string body;          // only for POST
    std::wstring contentType;  // only for POST
    // sendMessage sets resolve/connect/send 5 s and receive 10 s; the other methods leave the
    // transport's defaults.
    bool shortTimeouts = false;
};

struct HttpResponse {
    HttpStage failedStage = HttpStage::None;
    std::uint32_t errorCode = 0;  // WinHTTP error number of the failed stage
    std::uint32_t status = 0;     // 0 when the status could not be read
    std::string body;             // raw bytes
};

using HttpTransport = std::function<HttpResponse(const HttpRequest&)>;

// Request addresses above this many bytes are sent as a form POST instead: long GET addresses
// are refused by servers and proxies (414).
inline constexpr std::size_t kMaxGetAddressBytes = 8000;

// "/bot<token>/<method>" with the already encoded query; a GET unless the address would be too
// long, then a POST of the same parameters as application/x-www-form-urlencoded.
HttpRequest MakeBotApiRequest(std::wstring_view token, std::wstring_view method,
                              std::wstring_view encodedQuery);

struct TelegramGetResult {
    bool ok = false;
    std::wstring body;   // decoded from UTF-8
    std::wstring error;  // one text per failing step
};

// The plain request helper of getUpdates and deleteMessage: the HTTP status is not examined;
// an empty body is a failure.
TelegramGetResult TelegramGet(const HttpTransport& transport, const HttpRequest& request);

}  // namespace wrenpost
