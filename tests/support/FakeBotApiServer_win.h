// A scripted HTTP server on 127.0.0.1 (port chosen by the system) for tests that go through the
// real WinHTTP client: the Bot API's getMe and sendMessage (with its length limit) answered like
// the service does, and scripted answers for any method or, outside /bot<token>/, any address
// such as the update service's. It records every request; a scripted reply can carry any
// status, body and content type, a delay, no Content-Length, or no answer at all.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/Endpoint.h"

namespace wrenpost::testing {

struct FakeBotApiReply {
    int status = 200;
    std::string body;
    std::string contentType = "application/json";  // empty: no Content-Type header
    std::chrono::milliseconds delay{0};            // before answering; Stop cuts it short
    bool closeWithoutReply = false;                // read the request, then close the connection
    bool sendContentLength = true;  // otherwise the body ends when the connection closes
};

struct FakeBotApiRequest {
    std::string verb;                               // "GET" or "POST"
    std::string target;                             // as sent: path and query
    std::string token;                              // from "/bot<token>/<method>"
    std::string method;                             // e.g. "sendMessage"; other addresses: path
    std::map<std::string, std::string> parameters;  // decoded query and form body (UTF-8)
    std::string contentType;
    std::string userAgent;
};

class FakeBotApiServer {
public:
    FakeBotApiServer() = default;
    ~FakeBotApiServer();
    FakeBotApiServer(const FakeBotApiServer&) = delete;
    FakeBotApiServer& operator=(const FakeBotApiServer&) = delete;

    [[nodiscard]] bool Start();
    void Stop();

    std::wstring BaseUrl() const;  // "http://127.0.0.1:<port>"
    Endpoint ServerEndpoint() const;

    // The next request for `method` (or, outside /bot<token>/, for that path) gets this reply
    // instead of the built-in answer (FIFO).
    void QueueReply(const std::string& method, FakeBotApiReply reply);

    std::vector<FakeBotApiRequest> Requests() const;
    std::vector<FakeBotApiRequest> Requests(const std::string& method) const;

private:
    void Serve();
    void HandleConnection(std::uintptr_t socket);
    FakeBotApiReply Answer(const FakeBotApiRequest& request);

    mutable std::mutex mutex_;
    std::uintptr_t listener_ = ~std::uintptr_t{0};
    std::uint16_t port_ = 0;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    bool started_ = false;

    std::map<std::string, std::deque<FakeBotApiReply>> scripted_;
    std::vector<FakeBotApiRequest> requests_;
    long long nextMessageId_ = 1;
};

}  // namespace wrenpost::testing
