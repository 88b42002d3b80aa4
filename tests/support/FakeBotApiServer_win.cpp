#include "support/FakeBotApiServer_win.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <cctype>

#include "common/Text.h"

namespace wrenpost::testing {
namespace {

std::string PercentDecode(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out.push_back(' ');
        } else if (text[i] == '%' && i + 2 < text.size() &&
                   std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
                   std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out.push_back(static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16)));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

void AddParameters(const std::string& encoded, std::map<std::string, std::string>& out) {
    std::size_t pos = 0;
    while (pos < encoded.size()) {
        const std::size_t amp = std::min(encoded.find('&', pos), encoded.size());
        const std::string pair = encoded.substr(pos, amp - pos);
        const std::size_t eq = pair.find('=');
        if (!pair.empty()) {
            out[PercentDecode(pair.substr(0, eq))] =
                eq == std::string::npos ? "" : PercentDecode(pair.substr(eq + 1));
        }
        pos = amp + 1;
    }
}

std::string JsonString(const std::string& utf8) {
    std::string out = "\"";
    for (const char c : utf8) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                out.push_back(c);
        }
    }
    return out + "\"";
}

std::string ErrorBody(int code, const std::string& description) {
    return "{\"ok\":false,\"error_code\":" + std::to_string(code) +
           ",\"description\":" + JsonString(description) + "}";
}

FakeBotApiReply Error(int status, const std::string& description) {
    return {status, ErrorBody(status, description), "application/json", {}, false};
}

FakeBotApiReply Ok(const std::string& result) {
    return {200, "{\"ok\":true,\"result\":" + result + "}", "application/json", {}, false};
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

const char* Reason(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 400:
            return "Bad Request";
        case 401:
            return "Unauthorized";
        case 403:
            return "Forbidden";
        case 404:
            return "Not Found";
        case 414:
            return "URI Too Long";
        case 429:
            return "Too Many Requests";
        case 500:
            return "Internal Server Error";
        case 502:
            return "Bad Gateway";
        default:
            return "Status";
    }
}

std::string ChatJson(const FakeChat& chat) {
    std::string json = "{\"id\":" + std::to_string(chat.id);
    if (!chat.title.empty())
        json += ",\"title\":" + JsonString(chat.title);
    if (!chat.username.empty())
        json += ",\"username\":" + JsonString(chat.username);
    if (!chat.firstName.empty())
        json += ",\"first_name\":" + JsonString(chat.firstName);
    if (!chat.lastName.empty())
        json += ",\"last_name\":" + JsonString(chat.lastName);
    return json + ",\"type\":" + JsonString(chat.type) + "}";
}

}  // namespace

FakeBotApiServer::~FakeBotApiServer() {
    Stop();
}

bool FakeBotApiServer::Start() {
    if (started_) {
        return true;
    }
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
        return false;
    }
    const SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (listener == INVALID_SOCKET) {
        WSACleanup();
        return false;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    int length = sizeof(address);
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
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

Endpoint FakeBotApiServer::ServerEndpoint() const {
    return Endpoint{false, L"127.0.0.1", port_, L""};
}

void FakeBotApiServer::QueueReply(const std::string& method, FakeBotApiReply reply) {
    std::lock_guard lock(mutex_);
    scripted_[method].push_back(std::move(reply));
}

void FakeBotApiServer::SetValidToken(const std::string& token) {
    std::lock_guard lock(mutex_);
    validToken_ = token;
}

void FakeBotApiServer::SetBot(const std::string& firstName, const std::string& username) {
    std::lock_guard lock(mutex_);
    botFirstName_ = firstName;
    botUsername_ = username;
}

void FakeBotApiServer::SetMaxTargetBytes(std::size_t bytes) {
    std::lock_guard lock(mutex_);
    maxTargetBytes_ = bytes;
}

long long FakeBotApiServer::AddUserMessage(const FakeChat& chat, const std::string& text,
                                           long long date) {
    std::lock_guard lock(mutex_);
    const long long id = nextUpdateId_++;
    const long long messageId = nextMessageId_++;
    const std::string from = "{\"id\":" + std::to_string(chat.id > 0 ? chat.id : 777) +
                             ",\"is_bot\":false,\"first_name\":\"Sender\"}";
    const std::string json = "{\"update_id\":" + std::to_string(id) +
                             ",\"message\":{\"message_id\":" + std::to_string(messageId) +
                             ",\"from\":" + from + ",\"chat\":" + ChatJson(chat) +
                             ",\"date\":" + std::to_string(date) + ",\"text\":" + JsonString(text) +
                             "}}";
    updates_.push_back({id, json, chat.id, messageId});
    return id;
}

long long FakeBotApiServer::AddRawUpdate(const std::string& updateBodyWithoutId) {
    std::lock_guard lock(mutex_);
    const long long id = nextUpdateId_++;
    updates_.push_back(
        {id, "{\"update_id\":" + std::to_string(id) + "," + updateBodyWithoutId + "}", 0, 0});
    return id;
}

std::vector<FakeBotApiRequest> FakeBotApiServer::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

std::vector<FakeBotApiRequest> FakeBotApiServer::Requests(const std::string& method) const {
    std::lock_guard lock(mutex_);
    std::vector<FakeBotApiRequest> out;
    for (const auto& request : requests_) {
        if (request.method == method)
            out.push_back(request);
    }
    return out;
}

std::vector<std::pair<std::string, std::string>> FakeBotApiServer::Deleted() const {
    std::lock_guard lock(mutex_);
    return deleted_;
}

void FakeBotApiServer::Serve() {
    const auto listener = static_cast<SOCKET>(listener_);
    while (!stopping_) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(listener, &readable);
        timeval wait{0, 50 * 1000};
        if (select(0, &readable, nullptr, nullptr, &wait) <= 0) {
            continue;
        }
        const SOCKET client = accept(listener, nullptr, nullptr);
        if (client != INVALID_SOCKET) {
            HandleConnection(client);
        }
    }
}

void FakeBotApiServer::HandleConnection(std::uintptr_t rawSocket) {
    const auto client = static_cast<SOCKET>(rawSocket);
    DWORD timeout = 5000;
    setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout),
               sizeof(timeout));
    std::string data;
    std::size_t headerEnd = std::string::npos;
    char buffer[16384];
    while (headerEnd == std::string::npos && data.size() < (1u << 20)) {
        const int got = recv(client, buffer, sizeof(buffer), 0);
        if (got <= 0) {
            closesocket(client);
            return;
        }
        data.append(buffer, static_cast<std::size_t>(got));
        headerEnd = data.find("\r\n\r\n");
    }
    if (headerEnd == std::string::npos) {
        closesocket(client);
        return;
    }
    FakeBotApiRequest request;
    const std::string head = data.substr(0, headerEnd);
    const std::size_t lineEnd = head.find("\r\n");
    const std::string requestLine = head.substr(0, lineEnd);
    const std::size_t firstSpace = requestLine.find(' ');
    const std::size_t lastSpace = requestLine.rfind(' ');
    request.verb = requestLine.substr(0, firstSpace);
    request.target = requestLine.substr(firstSpace + 1, lastSpace - firstSpace - 1);
    std::size_t contentLength = 0;
    std::size_t pos = lineEnd == std::string::npos ? head.size() : lineEnd + 2;
    while (pos < head.size()) {
        const std::size_t end = std::min(head.find("\r\n", pos), head.size());
        const std::string line = head.substr(pos, end - pos);
        const std::size_t colon = line.find(':');
        if (colon != std::string::npos) {
            const std::string name = Lower(line.substr(0, colon));
            std::string value = line.substr(colon + 1);
            value.erase(0, value.find_first_not_of(' '));
            if (name == "content-length")
                contentLength = std::stoul(value);
            if (name == "content-type")
                request.contentType = value;
            if (name == "user-agent")
                request.userAgent = value;
        }
        pos = end + 2;
    }
    request.body = data.substr(headerEnd + 4);
    while (request.body.size() < contentLength) {
        const int got = recv(client, buffer, sizeof(buffer), 0);
        if (got <= 0)
            break;
        request.body.append(buffer, static_cast<std::size_t>(got));
    }
    const std::size_t question = request.target.find('?');
    const std::string path = request.target.substr(0, question);
    if (question != std::string::npos) {
        AddParameters(request.target.substr(question + 1), request.parameters);
    }
    if (request.verb == "POST" &&
        Lower(request.contentType).rfind("application/x-www-form-urlencoded", 0) == 0) {
        AddParameters(request.body, request.parameters);
    }
    if (path.rfind("/bot", 0) == 0) {
        const std::size_t slash = path.find('/', 4);
        request.token = path.substr(4, slash == std::string::npos ? std::string::npos : slash - 4);
        request.method = slash == std::string::npos ? "" : path.substr(slash + 1);
    }

    const FakeBotApiReply reply = Answer(request);
    if (reply.delay.count() > 0) {
        std::this_thread::sleep_for(reply.delay);
    }
    if (!reply.closeWithoutReply) {
        std::string response = "HTTP/1.1 " + std::to_string(reply.status) + " " +
                               Reason(reply.status) + "\r\nContent-Type: " + reply.contentType +
                               "\r\nContent-Length: " + std::to_string(reply.body.size()) +
                               "\r\nConnection: close\r\n\r\n" + reply.body;
        std::size_t sent = 0;
        while (sent < response.size()) {
            const int put =
                send(client, response.data() + sent, static_cast<int>(response.size() - sent), 0);
            if (put <= 0)
                break;
            sent += static_cast<std::size_t>(put);
        }
        shutdown(client, SD_SEND);
    }
    closesocket(client);
}

FakeBotApiReply FakeBotApiServer::Answer(const FakeBotApiRequest& request) {
    std::lock_guard lock(mutex_);
    requests_.push_back(request);
    if (request.target.size() > maxTargetBytes_) {
        return {414, "<html><body>414 Request-URI Too Large</body></html>", "text/html", {}, false};
    }
    auto scripted = scripted_.find(request.method);
    if (scripted != scripted_.end() && !scripted->second.empty()) {
        FakeBotApiReply reply = std::move(scripted->second.front());
        scripted->second.pop_front();
        return reply;
    }
    if (request.method.empty()) {
        return Error(404, "Not Found");
    }
    if (!validToken_.empty() && request.token != validToken_) {
        return Error(401, "Unauthorized");
    }
    const auto parameter = [&](const std::string& name) -> const std::string* {
        const auto it = request.parameters.find(name);
        return it == request.parameters.end() ? nullptr : &it->second;
    };
    if (request.method == "getMe") {
        return Ok("{\"id\":4242,\"is_bot\":true,\"first_name\":" + JsonString(botFirstName_) +
                  ",\"username\":" + JsonString(botUsername_) + "}");
    }
    if (request.method == "sendMessage") {
        const std::string* chatId = parameter("chat_id");
        const std::string* text = parameter("text");
        if (chatId == nullptr || chatId->empty())
            return Error(400, "Bad Request: chat_id is empty");
        if (text == nullptr || text->empty())
            return Error(400, "Bad Request: message text is empty");
        if (Utf16Length(Utf8ToWide(*text)) > 4096)
            return Error(400, "Bad Request: message is too long");
        const long long messageId = nextMessageId_++;
        return Ok("{\"message_id\":" + std::to_string(messageId) + ",\"chat\":{\"id\":" + *chatId +
                  "},\"date\":0,\"text\":" + JsonString(*text) + "}");
    }
    if (request.method == "getUpdates") {
        long long offset = 0;
        if (const std::string* text = parameter("offset"); text != nullptr && !text->empty()) {
            offset = std::stoll(*text);
        }
        if (offset > 0) {
            // Telegram forgets updates once a later offset confirms them.
            std::erase_if(updates_, [offset](const Update& update) { return update.id < offset; });
        }
        std::string result = "[";
        int count = 0;
        for (const Update& update : updates_) {
            if (update.id >= offset && count < 100) {
                result += (count++ ? "," : "") + update.json;
            }
        }
        return Ok(result + "]");
    }
    if (request.method == "deleteMessage") {
        const std::string* chatId = parameter("chat_id");
        const std::string* messageId = parameter("message_id");
        if (chatId == nullptr || messageId == nullptr)
            return Error(400, "Bad Request: message identifier is not specified");
        for (const auto& done : deleted_) {
            if (done.first == *chatId && done.second == *messageId) {
                return Error(400, "Bad Request: message to delete not found");
            }
        }
        deleted_.emplace_back(*chatId, *messageId);
        return Ok("true");
    }
    return Error(404, "Not Found: method not found");
}

}  // namespace wrenpost::testing
