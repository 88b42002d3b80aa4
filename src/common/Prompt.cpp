#include "common/Prompt.h"

#include <mutex>

namespace wrenpost {
namespace {

std::mutex g_handlerMutex;
PromptHandler g_handler;

}  // namespace

PromptAnswer ShowPrompt(const PromptRequest& request) {
    PromptHandler handler;
    {
        std::lock_guard lock(g_handlerMutex);
        handler = g_handler;
    }
    return handler ? handler(request) : ShowPlatformPrompt(request);
}

PromptHandler SetPromptHandler(PromptHandler handler) {
    std::lock_guard lock(g_handlerMutex);
    PromptHandler previous = std::move(g_handler);
    g_handler = std::move(handler);
    return previous;
}

}  // namespace wrenpost
