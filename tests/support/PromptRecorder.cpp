#include "support/PromptRecorder.h"

namespace wrenpost::testing {

PromptRecorder::PromptRecorder() {
    previous_ = SetPromptHandler([this](const PromptRequest& request) { return Answer(request); });
}

PromptRecorder::~PromptRecorder() {
    SetPromptHandler(std::move(previous_));
}

void PromptRecorder::QueueAnswer(PromptAnswer answer) {
    std::lock_guard lock(mutex_);
    answers_.push_back(answer);
}

std::vector<PromptRequest> PromptRecorder::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

PromptAnswer PromptRecorder::Answer(const PromptRequest& request) {
    std::lock_guard lock(mutex_);
    requests_.push_back(request);
    if (request.verified != nullptr) {
        *request.verified = tickVerification_;
    }
    if (!answers_.empty()) {
        const PromptAnswer answer = answers_.front();
        answers_.pop_front();
        return answer;
    }
    const bool yesNo =
        request.buttons == PromptButtons::YesNo || request.buttons == PromptButtons::YesNoCancel;
    return yesNo ? PromptAnswer::Yes : PromptAnswer::Ok;
}

}  // namespace wrenpost::testing
