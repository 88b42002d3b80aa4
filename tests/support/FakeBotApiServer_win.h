// A scripted HTTP server on 127.0.0.1 for tests through the real WinHTTP client. It records every
// request and answers with the reply queued for its method (outside /bot<token>/: its path), else
// getMe with a bot and anything else with an ok result.
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
    bool sendContentLength = true;  // otherwise the body ends when the connection closes
    std::string location{};         // non-empty: a Location header (a redirect)
};

struct FakeBotApiRequest {
    std::string verb;
    std::string token;                              // from "/bot<token>/<method>"
    std::string method;                             // e.g. "sendMessage"; other addresses: path
    std::map<std::string, std::string> parameters;  // decoded query and form body (UTF-8)
    std::chrono::steady_clock::time_point arrived;  // when the whole request was read
};

class FakeBotApiServer {
public:
    FakeBotApiServer() = default;
    ~FakeBotApiServer() { Stop(); }
    FakeBotApiServer(const FakeBotApiServer&) = delete;
    FakeBotApiServer& operator=(const FakeBotApiServer&) = delete;

    [[nodiscard]] bool Start();
    void Stop();  // afterwards the endpoint names a port nobody listens on

    std::wstring BaseUrl() const { return L"http://127.0.0.1:" + std::to_wstring(port_); }
    // Points the program at this server: the per-user TelegramApiBaseUrl override of the
    // (throw-away) prefix. False when the value cannot be written.
    [[nodiscard]] bool ServeAsTelegram() const;
    Endpoint ServerEndpoint() const { return Endpoint{false, L"127.0.0.1", port_, L""}; }

    void QueueReply(const std::string& method, FakeBotApiReply reply);  // FIFO per method
    // An update the bot received (one JSON object with its "update_id"), kept as Telegram keeps
    // it: an unscripted getUpdates answers every kept update from its offset on and forgets
    // those before it, so an update cannot be lost to a request that skipped it.
    void AddUpdate(std::int64_t updateId, std::string update);
    std::vector<FakeBotApiRequest> Requests(const std::string& method = "") const;

private:
    void HandleConnection(std::uintptr_t socket);

    mutable std::mutex mutex_;
    std::uint16_t port_ = 0;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::map<std::string, std::deque<FakeBotApiReply>> scripted_;
    std::map<std::int64_t, std::string> updates_;
    std::vector<FakeBotApiRequest> requests_;
};

}  // namespace wrenpost::testing
