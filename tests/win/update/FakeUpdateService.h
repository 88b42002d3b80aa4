// A scripted update service on 127.0.0.1 (port chosen by the system), served from a thread of the
// test process: each connection gets the current reply, or no answer at all.
#pragma once

#include <winsock2.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace wrenpost::testing {

struct FakeReply {
    int status = 200;
    std::string reason = "OK";
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    bool sendContentLength = true;  // otherwise the body ends when the connection closes
    bool neverAnswer = false;       // read the request, then hold the connection silently
};

class FakeUpdateService {
public:
    FakeUpdateService();
    ~FakeUpdateService();
    FakeUpdateService(const FakeUpdateService&) = delete;
    FakeUpdateService& operator=(const FakeUpdateService&) = delete;

    // Listening once this returns true.
    bool Start(std::string& error);
    std::uint16_t Port() const { return port_; }
    std::wstring BaseUrl() const;

    void SetReply(FakeReply reply);
    // The head (request line and headers) of every request received so far.
    std::vector<std::string> Requests() const;

private:
    void Serve();
    void Answer(SOCKET client);

    bool wsaStarted_ = false;
    SOCKET listener_ = INVALID_SOCKET;
    std::uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    mutable std::mutex mutex_;
    FakeReply reply_;
    std::vector<std::string> requests_;
};

}  // namespace wrenpost::testing
