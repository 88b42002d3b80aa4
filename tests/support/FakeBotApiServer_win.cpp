#include "support/FakeBotApiServer_win.h"

#include <winsock2.h>

#include <algorithm>
#include <cctype>

#include "common/Text.h"
#include "support/FormParameters.h"

namespace wrenpost::testing {
namespace {

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

bool FakeBotApiServer::Start() {
    WSADATA data;
    if (started_ || WSAStartup(MAKEWORD(2, 2), &data) != 0) {
        return started_;
    }
    const SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof(address);
    if (listener == INVALID_SOCKET ||
        bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(listener, 16) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        closesocket(listener);
        WSACleanup();
        return false;
    }
    listener_ = listener;
    port_ = ntohs(address.sin_port);
    stopping_ = false;
    started_ = true;
    thread_ = std::thread([this] { Serve(); });
    return true;
}

void FakeBotApiServer::Stop() {
    if (!started_) {
        return;
    }
    stopping_ = true;
    thread_.join();
    closesocket(static_cast<SOCKET>(listener_));
    WSACleanup();
    started_ = false;
}

std::wstring FakeBotApiServer::BaseUrl() const {
    return L"http://127.0.0.1:" + ToWideDecimal(port_);
}

void FakeBotApiServer::QueueReply(const std::string& method, FakeBotApiReply reply) {
    std::lock_guard lock(mutex_);
    scripted_[method].push_back(std::move(reply));
}

std::vector<FakeBotApiRequest> FakeBotApiServer::Requests(const std::string& method) const {
    std::lock_guard lock(mutex_);
    std::vector<FakeBotApiRequest> out = requests_;
    std::erase_if(
        out, [&](const FakeBotApiRequest& r) { return !method.empty() && r.method != method; });
    return out;
}

void FakeBotApiServer::Serve() {
    const auto listener = static_cast<SOCKET>(listener_);
    while (!stopping_) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(listener, &readable);
        timeval wait{0, 50 * 1000};
        if (select(0, &readable, nullptr, nullptr, &wait) > 0) {
            const SOCKET client = accept(listener, nullptr, nullptr);
            if (client != INVALID_SOCKET) {
                HandleConnection(client);
                closesocket(client);
            }
        }
    }
}

void FakeBotApiServer::HandleConnection(std::uintptr_t rawSocket) {
    const auto client = static_cast<SOCKET>(rawSocket);
    DWORD timeout = 5000;
    setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout),
               sizeof(timeout));
    std::string data;
    char buffer[16384];
    while (data.find("\r\n\r\n") == std::string::npos) {
        const int got = recv(client, buffer, sizeof(buffer), 0);
        if (got <= 0 || data.size() > (1u << 20)) {
            return;
        }
        data.append(buffer, static_cast<std::size_t>(got));
    }
    const std::size_t headEnd = data.find("\r\n\r\n");
    FakeBotApiRequest request;
    std::string target;
    std::size_t contentLength = 0;
    std::size_t pos = 0;
    for (std::size_t end; pos < headEnd; pos = end + 2) {
        end = data.find("\r\n", pos);
        const std::string line = data.substr(pos, end - pos);
        if (pos == 0) {
            request.verb = line.substr(0, line.find(' '));
            target = line.substr(line.find(' ') + 1, line.rfind(' ') - line.find(' ') - 1);
            continue;
        }
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos) {
            continue;
        }
        const std::string name = Lower(line.substr(0, colon));
        std::string value = line.substr(colon + 1);
        value.erase(0, value.find_first_not_of(' '));
        if (name == "content-length") {
            contentLength = std::stoul(value);
        } else if (name == "content-type") {
            request.contentType = value;
        } else if (name == "user-agent") {
            request.userAgent = value;
        }
    }
    std::string body = data.substr(headEnd + 4);
    for (int got;
         body.size() < contentLength && (got = recv(client, buffer, sizeof(buffer), 0)) > 0;) {
        body.append(buffer, static_cast<std::size_t>(got));
    }
    const std::size_t question = target.find('?');
    const std::string path = target.substr(0, question);
    if (question != std::string::npos) {
        AddFormParameters(target.substr(question + 1), request.parameters);
    }
    if (request.verb == "POST" &&
        Lower(request.contentType).starts_with("application/x-www-form-urlencoded")) {
        AddFormParameters(body, request.parameters);
    }
    request.method = path;
    if (path.starts_with("/bot") && path.find('/', 4) != std::string::npos) {
        request.token = path.substr(4, path.find('/', 4) - 4);
        request.method = path.substr(path.find('/', 4) + 1);
    }

    const FakeBotApiReply reply = Answer(request);
    const auto until = std::chrono::steady_clock::now() + reply.delay;
    while (!stopping_ && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (reply.closeWithoutReply || stopping_) {
        return;
    }
    std::string response = "HTTP/1.1 " + std::to_string(reply.status) + " Status\r\n";
    if (!reply.contentType.empty()) {
        response += "Content-Type: " + reply.contentType + "\r\n";
    }
    if (reply.sendContentLength) {
        response += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
    }
    response += "Connection: close\r\n\r\n" + reply.body;
    for (std::size_t sent = 0; sent < response.size();) {
        const int put =
            send(client, response.data() + sent, static_cast<int>(response.size() - sent), 0);
        if (put <= 0) {
            break;
        }
        sent += static_cast<std::size_t>(put);
    }
    shutdown(client, SD_SEND);
    // Let the client read everything before the socket goes away.
    while (recv(client, buffer, sizeof(buffer), 0) > 0) {
    }
}

FakeBotApiReply FakeBotApiServer::Answer(const FakeBotApiRequest& request) {
    std::lock_guard lock(mutex_);
    requests_.push_back(request);
    auto scripted = scripted_.find(request.method);
    if (scripted != scripted_.end() && !scripted->second.empty()) {
        FakeBotApiReply reply = std::move(scripted->second.front());
        scripted->second.pop_front();
        return reply;
    }
    if (request.method == "getMe") {
        return {200, R"({"ok":true,"result":{"id":4242,"is_bot":true,"first_name":"Wren Test Bot",)"
                     R"("username":"wren_test_bot"}})"};
    }
    return {200, R"({"ok":true,"result":{"message_id":1,"date":0}})"};
}

}  // namespace wrenpost::testing
