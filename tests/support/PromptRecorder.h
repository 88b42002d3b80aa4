// Answers prompts with scripted answers and records what was asked, for as long as it lives.
#pragma once

#include <deque>
#include <mutex>
#include <vector>

#include "common/Prompt.h"

namespace wrenpost::testing {

class PromptRecorder {
public:
    PromptRecorder();
    ~PromptRecorder();
    PromptRecorder(const PromptRecorder&) = delete;
    PromptRecorder& operator=(const PromptRecorder&) = delete;

    // Answers given in order; when none are left, Ok / Yes is given.
    void QueueAnswer(PromptAnswer answer);
    // The state a task dialog's verification check box is left in.
    void TickVerification(bool ticked) { tickVerification_ = ticked; }
    std::vector<PromptRequest> Requests() const;

private:
    PromptAnswer Answer(const PromptRequest& request);

    mutable std::mutex mutex_;
    std::deque<PromptAnswer> answers_;
    std::vector<PromptRequest> requests_;
    PromptHandler previous_;
    bool tickVerification_ = false;
};

}  // namespace wrenpost::testing
