// Message boxes and task dialogs for the prompt seam.
#include <windows.h>
// The headers below need windows.h first.
#include <commctrl.h>

#include <optional>

#include "common/Prompt.h"

namespace wrenpost {
namespace {

// A Yes/No task dialog with a verification check box. Looked up at run time: TaskDialogIndirect
// exists only in comctl32 v6, and a program without its manifest must still start. Null when it
// is not there; the caller then falls back to a message box.
std::optional<PromptAnswer> ShowTaskDialog(const PromptRequest& request) {
    using TaskDialogFunction = HRESULT(WINAPI*)(const TASKDIALOGCONFIG*, int*, int*, BOOL*);
    HMODULE comctl = GetModuleHandleW(L"comctl32.dll");
    // Through void(*)(): the one cast between function types that GCC accepts as deliberate.
    const FARPROC found =
        comctl == nullptr ? nullptr : GetProcAddress(comctl, "TaskDialogIndirect");
    const auto function = reinterpret_cast<TaskDialogFunction>(reinterpret_cast<void (*)()>(found));
    if (function == nullptr) {
        return std::nullopt;
    }
    TASKDIALOGCONFIG config{};
    config.cbSize = sizeof(config);
    config.hwndParent = reinterpret_cast<HWND>(request.owner);
    config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION;
    config.dwCommonButtons = TDCBF_YES_BUTTON | TDCBF_NO_BUTTON;
    config.pszWindowTitle = request.caption.c_str();
    config.pszMainIcon = request.icon == PromptIcon::Error         ? TD_ERROR_ICON
                         : request.icon == PromptIcon::Information ? TD_INFORMATION_ICON
                                                                   : TD_WARNING_ICON;
    config.pszContent = request.text.c_str();
    config.pszVerificationText = request.verification.c_str();
    int button = 0;
    BOOL verified = FALSE;
    if (FAILED(function(&config, &button, nullptr, &verified))) {
        return std::nullopt;
    }
    if (request.verified != nullptr) {
        *request.verified = verified != FALSE;
    }
    return button == IDYES  ? PromptAnswer::Yes
           : button == IDNO ? PromptAnswer::No
                            : PromptAnswer::Cancel;
}

}  // namespace

PromptAnswer ShowPlatformPrompt(const PromptRequest& request) {
    if (!request.verification.empty()) {
        if (const auto answer = ShowTaskDialog(request)) {
            return *answer;
        }
    }
    UINT type = 0;
    switch (request.buttons) {
        case PromptButtons::Ok:
            type = MB_OK;
            break;
        case PromptButtons::OkCancel:
            type = MB_OKCANCEL;
            break;
        case PromptButtons::YesNo:
            type = MB_YESNO;
            break;
        case PromptButtons::YesNoCancel:
            type = MB_YESNOCANCEL;
            break;
    }
    switch (request.icon) {
        case PromptIcon::None:
            break;
        case PromptIcon::Information:
            type |= MB_ICONINFORMATION;
            break;
        case PromptIcon::Warning:
            type |= MB_ICONWARNING;
            break;
        case PromptIcon::Error:
            type |= MB_ICONERROR;
            break;
        case PromptIcon::Question:
            type |= MB_ICONQUESTION;
            break;
    }
    if (request.defaultButton == PromptRequest::Default::Second) {
        type |= MB_DEFBUTTON2;
    }
    const int result = MessageBoxW(reinterpret_cast<HWND>(request.owner), request.text.c_str(),
                                   request.caption.c_str(), type);
    switch (result) {
        case IDOK:
            return PromptAnswer::Ok;
        case IDYES:
            return PromptAnswer::Yes;
        case IDNO:
            return PromptAnswer::No;
        default:
            return PromptAnswer::Cancel;
    }
}

}  // namespace wrenpost
