// One HTTP exchange as the program sees it, whatever carries it (WinHTTP on Windows, scripted
// doubles in tests): the request with its time-outs and body cap, and the response with the step
// that failed.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace wrenpost {

class HttpCancellation;

// The step of a request that failed at transport level.
enum class HttpStage {
    None,         // the response arrived (its body may still be partial, see Read)
    Session,      // opening the session or applying its time-outs
    Connect,      // naming the server
    OpenRequest,  // creating the request
    Send,         // sending (name resolution and connecting happen here)
    Receive,      // waiting for the response head
    Read,         // reading the body failed part-way; status and the bytes read are kept
    TooLarge,     // the body exceeds the request's cap; status kept, body dropped
    Deadline,     // the request outlived its deadline; a status and bytes that arrived are kept
};

// Milliseconds. WinHTTP's defaults leave name resolution unbounded and, in wine, the wait for
// the response head too, so every request states all five.
struct HttpTimeouts {
    int resolve = 30'000;
    int connect = 60'000;
    int send = 30'000;
    int receive = 30'000;
    int responseHead = 90'000;  // Windows' own default, which wine lacks
    bool operator==(const HttpTimeouts&) const = default;
};

// Sized for the largest honest Bot API answer: getUpdates with 100 messages of 4,096 non-Latin
// characters, each written as \uXXXX, is about 2.5 MB.
inline constexpr std::size_t kDefaultMaxBodyBytes = 8u << 20;

// The time-outs bound each wait, not the whole: a server that trickles a byte now and then, or
// stalls after the head, would hold a request without end. A deadline bounds the whole request.
inline constexpr std::chrono::milliseconds kDefaultHttpDeadline{60'000};

struct HttpRequest {
    std::wstring method = L"GET";
    std::wstring path;         // appended to the endpoint's base path
    std::string body;          // only for POST
    std::wstring contentType;  // only for POST
    HttpTimeouts timeouts;
    std::size_t maxBodyBytes = kDefaultMaxBodyBytes;  // a larger body is a failure (TooLarge)
    std::chrono::milliseconds deadline = kDefaultHttpDeadline;  // from opening to the last byte
    std::shared_ptr<HttpCancellation> cancellation;  // null: runs to its end or its deadline
};

struct HttpResponse {
    HttpStage failedStage = HttpStage::None;
    std::uint32_t errorCode = 0;            // WinHTTP error number of the failed stage
    std::uint32_t status = 0;               // 0 when the status could not be read
    std::string contentType;                // the Content-Type header as sent; empty when absent
    std::string body;                       // raw bytes
    std::chrono::milliseconds deadline{0};  // the deadline that ended the request (Deadline)
};

// Whole seconds of a deadline, as the failure texts name it (rounded up, at least 1).
inline std::int64_t DeadlineSeconds(std::chrono::milliseconds deadline) {
    const std::int64_t seconds = (deadline.count() + 999) / 1000;
    return seconds < 1 ? 1 : seconds;
}

using HttpTransport = std::function<HttpResponse(const HttpRequest&)>;

}  // namespace wrenpost
