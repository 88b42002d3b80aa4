// A scripted Bot API server on 127.0.0.1 (port chosen by the system) for tests that go through
// the real WinHTTP transport. It records every request, answers getMe, sendMessage,
// getUpdates and deleteMessage like the service does (including its length limit and a 414 for
// over-long addresses), plays users who write to the bot, and can be scripted per method with
// a status, body, delay or a connection closed without an answer.
//
// Point the program at it with the TelegramApiBaseUrl setting (BaseUrl()) or build a transport
// from Endpoint(); start and stop it in the test.
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
    std::string contentType = "application/json";
    std::chrono::milliseconds delay{0};
    bool closeWithoutReply = false;  // accept, read the request, then close the connection
};

struct FakeBotApiRequest {
    std::string verb;                               // "GET" or "POST"
    std::string target;                             // as sent: path and query
    std::string token;                              // from "/bot<token>/<method>"
    std::string method;                             // e.g. "sendMessage"
    std::map<std::string, std::string> parameters;  // decoded query and form body (UTF-8)
    std::string contentType;
    std::string userAgent;
    std::string body;
};

struct FakeChat {
    long long id = 0;
    std::string type = "private";
    std::string username;
    std::string firstName;
    std::string lastName;
    std::string title;
};

class FakeBotApiServer {
public:
    FakeBotApiServer() = default;
    ~FakeBotApiServer();
    FakeBotApiServer(const FakeBotApiServer&) = delete;
    FakeBotApiServer& operator=(const FakeBotApiServer&) = delete;

    [[nodiscard]] bool Start();
    void Stop();

    std::uint16_t Port() const { return port_; }
    std::wstring BaseUrl() const;  // "http://127.0.0.1:<port>"
    Endpoint ServerEndpoint() const;

    // The next request for `method` gets this reply instead of the built-in answer (FIFO).
    void QueueReply(const std::string& method, FakeBotApiReply reply);

    // Requests with another token are answered 401 "Unauthorized" (empty: any token works).
    void SetValidToken(const std::string& token);
    void SetBot(const std::string& firstName, const std::string& username);
    // Request targets longer than this are refused with 414 (default 8,192 bytes).
    void SetMaxTargetBytes(std::size_t bytes);

    // A user writes `text` to the bot (JSON-escaped here); returns the update id.
    long long AddUserMessage(const FakeChat& chat, const std::string& text, long long date);
    // An update without a message text (e.g. a photo).
    long long AddRawUpdate(const std::string& updateBodyWithoutId);

    std::vector<FakeBotApiRequest> Requests() const;
    std::vector<FakeBotApiRequest> Requests(const std::string& method) const;
    // (chat id, message id) pairs deleted through deleteMessage.
    std::vector<std::pair<std::string, std::string>> Deleted() const;

private:
    struct Update {
        long long id;
        std::string json;  // the whole update object
        long long chatId;
        long long messageId;
    };

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
    std::string validToken_;
    std::string botFirstName_ = "Wren Test Bot";
    std::string botUsername_ = "wren_test_bot";
    std::size_t maxTargetBytes_ = 8192;
    std::vector<Update> updates_;
    long long nextUpdateId_ = 1000;
    long long nextMessageId_ = 1;
    std::vector<std::pair<std::string, std::string>> deleted_;
};

}  // namespace wrenpost::testing
