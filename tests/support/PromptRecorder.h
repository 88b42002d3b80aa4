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
    std::vector<PromptRequest> Requests() const;

private:
    PromptAnswer Answer(const PromptRequest& request);

    mutable std::mutex mutex_;
    std::deque<PromptAnswer> answers_;
    std::vector<PromptRequest> requests_;
    PromptHandler previous_;
};

}  // namespace wrenpost::testing
