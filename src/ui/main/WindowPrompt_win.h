// A one-button message box owned by a window of ours, through the prompt seam.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "common/Prompt.h"

namespace wrenpost {

inline PromptAnswer Tell(HWND owner, const wchar_t* caption, const std::wstring& text,
                         PromptIcon icon) {
    return ShowPrompt(
        {reinterpret_cast<std::uintptr_t>(owner), caption, text, icon, PromptButtons::Ok});
}

}  // namespace wrenpost
