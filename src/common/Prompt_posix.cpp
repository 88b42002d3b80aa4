// Without a desktop nobody can answer: take the answer that changes nothing.
#include "common/Prompt.h"

namespace wrenpost {

PromptAnswer ShowPlatformPrompt(const PromptRequest& request) {
    switch (request.buttons) {
        case PromptButtons::Ok:
            return PromptAnswer::Ok;
        case PromptButtons::OkCancel:
        case PromptButtons::YesNoCancel:
            return PromptAnswer::Cancel;
        case PromptButtons::YesNo:
            return PromptAnswer::No;
    }
    return PromptAnswer::Cancel;
}

}  // namespace wrenpost
