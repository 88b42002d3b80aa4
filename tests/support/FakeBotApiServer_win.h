// A scripted HTTP server on 127.0.0.1 for tests through the real WinHTTP client. It records every
// request and answers with the reply queued for its method (outside /bot<token>/: its path), else
// getMe with a bot and anything else with an ok result. A Bot API method the program calls is
// checked first, more strictly than Telegram does: a parameter name it does not know for the
// method, or a value Telegram refuses, is answered 400 "Bad Request: ...".
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <set>
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
    // Non-zero: the head at once, then each body byte after this pause (a trickle; a long one is
    // a stall after the head), until the client goes or Stop is called.
    std::chrono::milliseconds bytePause{0};
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
    // The reply for the method whenever none is queued.
    void SetStandingReply(const std::string& method, FakeBotApiReply reply);
    // An update the bot received (one JSON object with its "update_id"), kept as Telegram keeps
    // it: an unscripted getUpdates answers every kept update from its offset on and forgets
    // those before it, so an update cannot be lost to a request that skipped it.
    void AddUpdate(std::int64_t updateId, std::string update);
    std::vector<FakeBotApiRequest> Requests(const std::string& method = "") const;
    // The forum topics of a chat; a message_thread_id that is not one of them is refused, and a
    // closed one answers TOPIC_CLOSED.
    void SetTopics(const std::string& chatId, std::set<std::int64_t> open,
                   std::set<std::int64_t> closed = {});

private:
    void HandleConnection(std::uintptr_t socket);
    // Waits, watching for Stop and for the client closing; false when either came first.
    bool Linger(std::uintptr_t socket, std::chrono::milliseconds pause) const;
    // Records the request and chooses its reply.
    FakeBotApiReply Answer(FakeBotApiRequest& request);
    // Telegram's description of why it refuses the request; nothing when it is acceptable.
    std::optional<std::string> Refusal(const FakeBotApiRequest& request) const;

    mutable std::mutex mutex_;
    std::uint16_t port_ = 0;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::map<std::string, std::deque<FakeBotApiReply>> scripted_;
    std::map<std::string, FakeBotApiReply> standing_;
    std::map<std::int64_t, std::string> updates_;
    std::map<std::string, std::pair<std::set<std::int64_t>, std::set<std::int64_t>>> topics_;
    std::vector<FakeBotApiRequest> requests_;
};

}  // namespace wrenpost::testing
