// The Token Vault from the main window, and the token another instance's vault handed over.
#include <windows.h>

#include "telegram/BotCheck.h"
#include "ui/main/MainWindow_win.h"
#include "ui/main/WindowPrompt_win.h"
#include "ui/vault/TokenVault_win.h"
#include "vault/Handoff_win.h"

namespace wrenpost {

void MainWindow::OpenVaultWindow() {
    OpenTokenVault(Window(), TelegramHttp());
}

void MainWindow::LoadTokenFromVault(const std::wstring& handoffId) {
    std::wstring token;
    std::wstring error;
    if (!ReadHandoff(handoffId, token, error)) {
        Tell(Window(), L"Token Vault", L"Failed to load token from Token Vault.",
             PromptIcon::Error);
        return;
    }
    SetControlText(kIdAccessToken, token);
    if (TokenInUseElsewhere(token)) {
        SetControlText(kIdAccessToken, L"");
        SetStatus(L"Status: Ready");
        PromptRequest prompt = DuplicateTokenPrompt(L"");
        prompt.owner = reinterpret_cast<std::uintptr_t>(Window());
        ShowPrompt(prompt);
        return;
    }
    SetStatus(L"Status: Token loaded from Vault. Please click Check.");
    log_.Info(L"Token loaded from Token Vault via secure handoff.");
}

}  // namespace wrenpost
