// Message boxes for the prompt seam.
#include <windows.h>

#include "common/Prompt.h"

namespace wrenpost {

PromptAnswer ShowPlatformPrompt(const PromptRequest& request) {
    UINT type = 0;
    switch (request.buttons) {
        case PromptButtons::Ok: type = MB_OK; break;
        case PromptButtons::OkCancel: type = MB_OKCANCEL; break;
        case PromptButtons::YesNo: type = MB_YESNO; break;
        case PromptButtons::YesNoCancel: type = MB_YESNOCANCEL; break;
    }
    switch (request.icon) {
        case PromptIcon::None: break;
        case PromptIcon::Information: type |= MB_ICONINFORMATION; break;
        case PromptIcon::Warning: type |= MB_ICONWARNING; break;
        case PromptIcon::Error: type |= MB_ICONERROR; break;
        case PromptIcon::Question: type |= MB_ICONQUESTION; break;
    }
    const int result = MessageBoxW(reinterpret_cast<HWND>(request.owner), request.text.c_str(),
                                   request.caption.c_str(), type);
    switch (result) {
        case IDOK: return PromptAnswer::Ok;
        case IDYES: return PromptAnswer::Yes;
        case IDNO: return PromptAnswer::No;
        default: return PromptAnswer::Cancel;
    }
}

}  // namespace wrenpost
