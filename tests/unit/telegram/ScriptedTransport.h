// A scripted stand-in for the HTTP transport: answers from a queue (or a responder function)
// and records every request, plus a reader of the parameters a request carried.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/HttpClient.h"
#include "common/Text.h"
#include "support/FormParameters.h"

namespace wrenpost::testing {

inline HttpResponse Reply(std::uint32_t status, std::string body) {
    return HttpResponse{HttpStage::None, 0, status, "", std::move(body)};
}

inline HttpResponse TransportFailure(HttpStage stage, std::uint32_t code) {
    return HttpResponse{stage, code, 0, "", ""};
}

// Single-threaded: the copies AsTransport hands out share one script and one record.
class ScriptedTransport {
public:
    using Responder = std::function<HttpResponse(const HttpRequest&)>;

    void Queue(HttpResponse response) { state_->replies.push_back(std::move(response)); }
    // Used when the queue is empty; without one, an empty queue fails to connect.
    void SetResponder(Responder responder) { state_->responder = std::move(responder); }
    std::vector<HttpRequest> Requests() const { return state_->requests; }

    HttpTransport AsTransport() const {
        return [state = state_](const HttpRequest& request) {
            state->requests.push_back(request);
            if (state->replies.empty()) {
                return state->responder ? state->responder(request)
                                        : TransportFailure(HttpStage::Send, 12029);
            }
            HttpResponse response = std::move(state->replies.front());
            state->replies.pop_front();
            return response;
        };
    }

private:
    struct State {
        std::deque<HttpResponse> replies;
        Responder responder;
        std::vector<HttpRequest> requests;
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

// The decoded parameters (UTF-8) of a GET query or a form POST body.
inline std::map<std::string, std::string> RequestParameters(const HttpRequest& request) {
    std::map<std::string, std::string> parameters;
    const std::string path = WideToUtf8(request.path);
    const std::size_t question = std::min(path.find('?'), path.size() - 1);
    AddFormParameters(request.method == L"POST" ? request.body : path.substr(question + 1),
                      parameters);
    return parameters;
}

}  // namespace wrenpost::testing
