// A scripted stand-in for the HTTP transport: answers from a queue (or a responder function)
// and records every request.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/HttpClient.h"

namespace wrenpost::testing {

inline HttpResponse Reply(std::uint32_t status, std::string body) {
    return HttpResponse{HttpStage::None, 0, status, "", std::move(body)};
}

inline HttpResponse TransportFailure(HttpStage stage, std::uint32_t code) {
    return HttpResponse{stage, code, 0, "", ""};
}

// Single-threaded: the copies AsTransport hands out share one script and one record. Without a
// queued reply the responder answers; without a responder the connection fails.
struct ScriptedTransport {
    void Queue(HttpResponse response) { state->replies.push_back(std::move(response)); }
    std::vector<HttpRequest> Requests() const { return state->requests; }
    HttpTransport AsTransport() const {
        return [state = state](const HttpRequest& request) {
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

    struct State {
        std::deque<HttpResponse> replies;
        std::function<HttpResponse(const HttpRequest&)> responder;
        std::vector<HttpRequest> requests;
    };
    std::shared_ptr<State> state = std::make_shared<State>();
};

}  // namespace wrenpost::testing
