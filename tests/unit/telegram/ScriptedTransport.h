// A scripted stand-in for the HTTP transport: answers from a queue (or a responder function)
// and records every request, plus helpers to read the parameters a request carried.
#pragma once

#include <algorithm>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/Text.h"
#include "telegram/BotApiHttp.h"

namespace wrenpost::testing {

inline HttpResponse Reply(std::uint32_t status, std::string body) {
    HttpResponse response;
    response.status = status;
    response.body = std::move(body);
    return response;
}

inline HttpResponse TransportFailure(HttpStage stage, std::uint32_t code) {
    HttpResponse response;
    response.failedStage = stage;
    response.errorCode = code;
    return response;
}

class ScriptedTransport {
public:
    using Responder = std::function<HttpResponse(const HttpRequest&)>;

    void Queue(HttpResponse response) {
        std::lock_guard lock(state_->mutex);
        state_->replies.push_back(std::move(response));
    }
    // Used when the queue is empty.
    void SetResponder(Responder responder) {
        std::lock_guard lock(state_->mutex);
        state_->responder = std::move(responder);
    }
    std::vector<HttpRequest> Requests() const {
        std::lock_guard lock(state_->mutex);
        return state_->requests;
    }

    HttpTransport AsTransport() const {
        return [state = state_](const HttpRequest& request) {
            std::lock_guard lock(state->mutex);
            state->requests.push_back(request);
            if (!state->replies.empty()) {
                HttpResponse response = std::move(state->replies.front());
                state->replies.pop_front();
                return response;
            }
            return state->responder ? state->responder(request)
                                    : TransportFailure(HttpStage::Send, 12029);
        };
    }

private:
    struct State {
        mutable std::mutex mutex;
        std::deque<HttpResponse> replies;
        Responder responder;
        std::vector<HttpRequest> requests;
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

inline std::string PercentDecode(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            out.push_back(static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16)));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

// The decoded parameters of a GET query or a form POST body.
inline std::map<std::wstring, std::wstring> RequestParameters(const HttpRequest& request) {
    std::string encoded;
    if (request.method == L"POST") {
        encoded = request.body;
    } else {
        const std::string path = WideToUtf8(request.path);
        const std::size_t question = path.find('?');
        encoded = question == std::string::npos ? "" : path.substr(question + 1);
    }
    std::map<std::wstring, std::wstring> parameters;
    std::size_t pos = 0;
    while (pos < encoded.size()) {
        const std::size_t amp = std::min(encoded.find('&', pos), encoded.size());
        const std::string pair = encoded.substr(pos, amp - pos);
        const std::size_t eq = pair.find('=');
        parameters[Utf8ToWide(PercentDecode(pair.substr(0, eq)))] =
            eq == std::string::npos ? L"" : Utf8ToWide(PercentDecode(pair.substr(eq + 1)));
        pos = amp + 1;
    }
    return parameters;
}

// "/bot<token>/<method>" without the query.
inline std::wstring RequestMethodPath(const HttpRequest& request) {
    return request.path.substr(0, request.path.find(L'?'));
}

}  // namespace wrenpost::testing
