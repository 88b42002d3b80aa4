// The prompt seam: every message box and task dialog goes through ShowPrompt, so tests can
// answer and record them instead of a person.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace wrenpost {

enum class PromptIcon { None, Information, Warning, Error, Question };
enum class PromptButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class PromptAnswer { Ok, Cancel, Yes, No };

struct PromptRequest {
    std::uintptr_t owner = 0;  // HWND of the owner window on Windows; 0 for none
    std::wstring caption;
    std::wstring text;
    PromptIcon icon = PromptIcon::None;
    PromptButtons buttons = PromptButtons::Ok;
    // Not empty: a task dialog with this verification check box, whose final state is written
    // to `verified` (may be null).
    std::wstring verification{};
    bool* verified = nullptr;
    // Second: Enter answers No (or Cancel) - for questions whose Yes loses something.
    enum class Default { First, Second } defaultButton{Default::First};
};

using PromptHandler = std::function<PromptAnswer(const PromptRequest&)>;

PromptAnswer ShowPrompt(const PromptRequest& request);

// Installs a handler (an empty one restores the platform's) and returns the previous one.
PromptHandler SetPromptHandler(PromptHandler handler);

// The platform's own prompt: a message box on Windows; elsewhere the cautious answer.
PromptAnswer ShowPlatformPrompt(const PromptRequest& request);

}  // namespace wrenpost
