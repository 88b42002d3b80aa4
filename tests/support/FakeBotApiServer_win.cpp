#include "support/FakeBotApiServer_win.h"

#include <winsock2.h>

#include <cctype>
#include <cstdlib>

#include "common/Registry_win.h"
#include "common/Text.h"
#include "support/FormParameters.h"
#include "update/StrictJson.h"

namespace wrenpost::testing {
namespace {

// The parameters each method the program calls accepts.
const std::map<std::string, std::set<std::string>> kMethodParameters = {
    {"getMe", {}},
    {"getUpdates", {"offset", "limit", "timeout", "allowed_updates"}},
    {"deleteMessage", {"chat_id", "message_id"}},
    {"sendMessage",
     {"chat_id", "text", "message_thread_id", "disable_notification", "link_preview_options"}},
};

bool IsInteger(const std::string& text) {
    const std::size_t digits = !text.empty() && text[0] == '-' ? 1 : 0;
    return text.size() > digits &&
           text.find_first_not_of("0123456789", digits) == std::string::npos;
}

}  // namespace

std::optional<std::string> FakeBotApiServer::Refusal(const FakeBotApiRequest& request) const {
    const auto known = kMethodParameters.find(request.method);
    if (request.token.empty() || known == kMethodParameters.end()) {
        return std::nullopt;
    }
    for (const auto& [name, value] : request.parameters) {
        if (known->second.count(name) == 0) {
            return "Bad Request: unknown parameter " + name;
        }
    }
    const auto& p = request.parameters;
    if (request.method != "sendMessage") {
        return std::nullopt;
    }
    if (!p.contains("chat_id") || p.find("text") == p.end() || p.at("text").empty()) {
        return "Bad Request: message text is empty";
    }
    if (const auto silent = p.find("disable_notification");
        silent != p.end() && silent->second != "true" && silent->second != "false") {
        return "Bad Request: can't parse disable_notification as Boolean";
    }
    if (const auto preview = p.find("link_preview_options"); preview != p.end()) {
        JsonValue value;
        std::string error;
        if (!ParseStrictJson(preview->second, value, error) || value.kind != JsonKind::Object) {
            return "Bad Request: can't parse link preview options JSON object";
        }
    }
    if (const auto thread = p.find("message_thread_id"); thread != p.end()) {
        if (!IsInteger(thread->second)) {
            return "Bad Request: can't parse message_thread_id as Integer";
        }
        const std::int64_t id = std::atoll(thread->second.c_str());
        const auto chat = topics_.find(p.at("chat_id"));
        if (chat != topics_.end() && chat->second.second.count(id) != 0) {
            return "Bad Request: TOPIC_CLOSED";
        }
        if (chat == topics_.end() || chat->second.first.count(id) == 0) {
            return "Bad Request: message thread not found";
        }
    }
    return std::nullopt;
}

void FakeBotApiServer::SetTopics(const std::string& chatId, std::set<std::int64_t> open,
                                 std::set<std::int64_t> closed) {
    std::lock_guard lock(mutex_);
    topics_[chatId] = {std::move(open), std::move(closed)};
}
bool FakeBotApiServer::Start() {
    WSADATA data;
    if (thread_.joinable() || WSAStartup(MAKEWORD(2, 2), &data) != 0) {
        return thread_.joinable();
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
    port_ = ntohs(address.sin_port);
    stopping_ = false;
    thread_ = std::thread([this, listener] {
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
        closesocket(listener);
    });
    return true;
}

void FakeBotApiServer::Stop() {
    if (thread_.joinable()) {
        stopping_ = true;
        thread_.join();
        WSACleanup();
    }
}

bool FakeBotApiServer::ServeAsTelegram() const {
    const std::wstring url = BaseUrl();
    return RegSetKeyValueW(HKEY_CURRENT_USER, kWrenpostSettingsKey, L"TelegramApiBaseUrl", REG_SZ,
                           url.c_str(),
                           static_cast<DWORD>((url.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

void FakeBotApiServer::AddUpdate(std::int64_t updateId, std::string update) {
    std::lock_guard lock(mutex_);
    updates_[updateId] = std::move(update);
}

void FakeBotApiServer::QueueReply(const std::string& method, FakeBotApiReply reply) {
    std::lock_guard lock(mutex_);
    scripted_[method].push_back(std::move(reply));
}

void FakeBotApiServer::SetStandingReply(const std::string& method, FakeBotApiReply reply) {
    std::lock_guard lock(mutex_);
    standing_[method] = std::move(reply);
}

std::vector<FakeBotApiRequest> FakeBotApiServer::Requests(const std::string& method) const {
    std::lock_guard lock(mutex_);
    std::vector<FakeBotApiRequest> out = requests_;
    std::erase_if(out, [&](const auto& r) { return !method.empty() && r.method != method; });
    return out;
}

FakeBotApiReply FakeBotApiServer::Answer(FakeBotApiRequest& request) {
    FakeBotApiReply reply{200, R"({"ok":true,"result":{"message_id":1,"date":0}})"};
    if (request.method == "getMe") {
        reply.body = R"({"ok":true,"result":{"id":4242,"is_bot":true,"first_name":"Wren Test Bot",)"
                     R"("username":"wren_test_bot"}})";
    }
    std::lock_guard lock(mutex_);
    request.arrived = std::chrono::steady_clock::now();
    requests_.push_back(request);
    if (request.method == "getUpdates") {
        const auto offset = request.parameters.find("offset");
        updates_.erase(updates_.begin(),
                       updates_.lower_bound(offset == request.parameters.end()
                                                ? 0
                                                : std::atoll(offset->second.c_str())));
        reply.body = R"({"ok":true,"result":[)";
        for (const auto& [id, update] : updates_) {
            reply.body += (reply.body.back() == '[' ? "" : ",") + update;
        }
        reply.body += "]}";
    }
    if (const auto refused = Refusal(request)) {
        reply.status = 400;
        reply.body = R"({"ok":false,"error_code":400,"description":")" + *refused + "\"}";
    } else if (auto& queued = scripted_[request.method]; !queued.empty()) {
        reply = std::move(queued.front());
        queued.pop_front();
    } else if (const auto standing = standing_.find(request.method); standing != standing_.end()) {
        reply = standing->second;
    }
    return reply;
}

bool FakeBotApiServer::Linger(std::uintptr_t socket, std::chrono::milliseconds pause) const {
    const auto until = std::chrono::steady_clock::now() + pause;
    while (!stopping_ && std::chrono::steady_clock::now() < until) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(static_cast<SOCKET>(socket), &readable);
        timeval wait{0, 20 * 1000};
        char byte;
        if (select(0, &readable, nullptr, nullptr, &wait) > 0 &&
            recv(static_cast<SOCKET>(socket), &byte, 1, 0) <= 0) {
            return false;  // the client closed the connection
        }
    }
    return !stopping_;
}

void FakeBotApiServer::HandleConnection(std::uintptr_t rawSocket) {
    const auto client = static_cast<SOCKET>(rawSocket);
    const DWORD timeout = 5000;
    setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout),
               sizeof(timeout));
    std::string data;
    char buffer[16384];
    std::size_t headEnd;
    while ((headEnd = data.find("\r\n\r\n")) == std::string::npos) {
        const int got = recv(client, buffer, sizeof(buffer), 0);
        if (got <= 0 || data.size() > (1u << 20)) {
            return;
        }
        data.append(buffer, static_cast<std::size_t>(got));
    }
    const std::string head = data.substr(0, headEnd + 2);
    std::string lower = head;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::size_t lengthAt = lower.find("\r\ncontent-length:");
    const std::size_t length =
        lengthAt == std::string::npos ? 0 : std::strtoul(&lower[lengthAt + 17], nullptr, 10);
    std::string body = data.substr(headEnd + 4);
    for (int got; body.size() < length && (got = recv(client, buffer, sizeof(buffer), 0)) > 0;) {
        body.append(buffer, static_cast<std::size_t>(got));
    }

    FakeBotApiRequest request;
    const std::size_t targetAt = head.find(' ') + 1;
    const std::string target = head.substr(targetAt, head.find(' ', targetAt) - targetAt);
    const std::size_t question = target.find('?');
    request.verb = head.substr(0, targetAt - 1);

    if (question != std::string::npos) {
        AddFormParameters(target.substr(question + 1), request.parameters);
    }
    // A body counts only as a form, as the Bot API reads it.
    if (request.verb == "POST" &&
        lower.find("\r\ncontent-type: application/x-www-form-urlencoded") != std::string::npos) {
        AddFormParameters(body, request.parameters);
    }
    request.method = target.substr(0, question);
    if (const std::size_t slash = request.method.find('/', 4);
        request.method.starts_with("/bot") && slash != std::string::npos) {
        request.token = request.method.substr(4, slash - 4);
        request.method.erase(0, slash + 1);
    }

    const FakeBotApiReply reply = Answer(request);
    if (!Linger(client, reply.delay)) {
        return;
    }
    std::string response = "HTTP/1.1 " + std::to_string(reply.status) + " Status\r\n";
    if (!reply.location.empty()) {
        response += "Location: " + reply.location + "\r\n";
    }
    if (!reply.contentType.empty()) {
        response += "Content-Type: " + reply.contentType + "\r\n";
    }
    if (reply.sendContentLength) {
        response += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
    }
    response += "Connection: close\r\n\r\n";
    if (reply.bytePause.count() > 0) {
        send(client, response.data(), static_cast<int>(response.size()), 0);
        for (std::size_t i = 0; i < reply.body.size() && Linger(client, reply.bytePause); ++i) {
            send(client, &reply.body[i], 1, 0);
        }
        return;
    }
    response += reply.body;
    send(client, response.data(), static_cast<int>(response.size()), 0);  // blocks until sent
    shutdown(client, SD_SEND);
    // Let the client read everything before the socket goes away.
    while (recv(client, buffer, sizeof(buffer), 0) > 0) {
    }
}

}  // namespace wrenpost::testing
