// The loopback fake update service: plain Winsock, one connection at a time.
#include "FakeUpdateService.h"

#include <ws2tcpip.h>

namespace wrenpost::testing {
namespace {

// Waits up to 50 ms for a socket to become readable, so the serving loop notices a stop request.
bool Readable(SOCKET socket) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(socket, &set);
    timeval wait{0, 50'000};
    return select(0, &set, nullptr, nullptr, &wait) > 0;
}

bool SendAll(SOCKET socket, const std::string& data) {
    std::size_t sent = 0;
    while (sent < data.size()) {
        const int n = send(socket, data.data() + sent, static_cast<int>(data.size() - sent), 0);
        if (n <= 0) {
            return false;
        }
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

FakeUpdateService::FakeUpdateService() {
    WSADATA data;
    wsaStarted_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

FakeUpdateService::~FakeUpdateService() {
    stop_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
    if (listener_ != INVALID_SOCKET) {
        closesocket(listener_);
    }
    if (wsaStarted_) {
        WSACleanup();
    }
}

bool FakeUpdateService::Start(std::string& error) {
    if (!wsaStarted_) {
        error = "WSAStartup failed";
        return false;
    }
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (listener_ == INVALID_SOCKET) {
        error = "socket failed: " + std::to_string(WSAGetLastError());
        return false;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(listener_, 8) != 0) {
        error = "bind/listen failed: " + std::to_string(WSAGetLastError());
        return false;
    }
    int length = sizeof(address);
    if (getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        error = "getsockname failed: " + std::to_string(WSAGetLastError());
        return false;
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
    return true;
}

std::wstring FakeUpdateService::BaseUrl() const {
    return L"http://127.0.0.1:" + std::to_wstring(port_);
}

void FakeUpdateService::SetReply(FakeReply reply) {
    std::lock_guard lock(mutex_);
    reply_ = std::move(reply);
}

std::vector<std::string> FakeUpdateService::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

void FakeUpdateService::Serve() {
    while (!stop_) {
        if (!Readable(listener_)) {
            continue;
        }
        const SOCKET client = accept(listener_, nullptr, nullptr);
        if (client == INVALID_SOCKET) {
            continue;
        }
        Answer(client);
        closesocket(client);
    }
}

void FakeUpdateService::Answer(SOCKET client) {
    std::string head;
    while (!stop_ && head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
        if (!Readable(client)) {
            continue;
        }
        char buffer[4096];
        const int n = recv(client, buffer, sizeof(buffer), 0);
        if (n <= 0) {
            return;
        }
        head.append(buffer, static_cast<std::size_t>(n));
    }
    FakeReply reply;
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(head.substr(0, head.find("\r\n\r\n")));
        reply = reply_;
    }
    if (reply.neverAnswer) {
        while (!stop_) {
            if (Readable(client)) {
                char buffer[256];
                if (recv(client, buffer, sizeof(buffer), 0) <= 0) {
                    return;  // the client gave up
                }
            }
        }
        return;
    }
    std::string response = "HTTP/1.1 " + std::to_string(reply.status) + " " + reply.reason + "\r\n";
    for (const auto& [name, value] : reply.headers) {
        response += name + ": " + value + "\r\n";
    }
    if (reply.sendContentLength) {
        response += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
    }
    response += "Connection: close\r\n\r\n" + reply.body;
    SendAll(client, response);
    shutdown(client, SD_SEND);
    // Let the client read everything before the socket goes away.
    for (int i = 0; i < 40 && !stop_; ++i) {
        if (Readable(client)) {
            char buffer[256];
            if (recv(client, buffer, sizeof(buffer), 0) <= 0) {
                break;
            }
        }
    }
}

}  // namespace wrenpost::testing
