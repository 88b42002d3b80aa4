// A scripted HTTP server on 127.0.0.1 (port chosen by the system) for tests that go through the
// real WinHTTP client: getMe answers with a bot and every other request with an ok result, unless
// a reply was queued for its method (or, outside /bot<token>/, its path, such as the update
// service's). It records every request; a scripted reply can carry any status, body and content
// type, a delay, no Content-Length, or no answer at all.
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
    std::string verb;
    std::string token;                              // from "/bot<token>/<method>"
    std::string method;                             // e.g. "sendMessage"; other addresses: path
    std::map<std::string, std::string> parameters;  // decoded query and form body (UTF-8)
    std::string contentType;
    std::string userAgent;
};

class FakeBotApiServer {
public:
    FakeBotApiServer() = default;
    ~FakeBotApiServer() { Stop(); }
    FakeBotApiServer(const FakeBotApiServer&) = delete;
    FakeBotApiServer& operator=(const FakeBotApiServer&) = delete;

    [[nodiscard]] bool Start();
    void Stop();  // afterwards the endpoint names a port nobody listens on

    std::wstring BaseUrl() const;  // "http://127.0.0.1:<port>"
    Endpoint ServerEndpoint() const { return Endpoint{false, L"127.0.0.1", port_, L""}; }

    void QueueReply(const std::string& method, FakeBotApiReply reply);  // FIFO per method
    std::vector<FakeBotApiRequest> Requests(const std::string& method = "") const;

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
};

}  // namespace wrenpost::testing
