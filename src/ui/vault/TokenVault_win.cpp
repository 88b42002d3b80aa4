#include "ui/vault/TokenVault_win.h"

#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "ui/main/WindowPrompt_win.h"
#include "ui/vault/VaultDialogs_win.h"
#include "ui/vault/VaultWindow_win.h"
#include "vault/VaultSealing_win.h"
#include "vault/VaultStore_win.h"

namespace wrenpost {
namespace {

enum class FlowEnd { Done, Restart };

// `defaultButton` Second for the questions whose Yes deletes tokens: Enter must not.
PromptAnswer Ask(HWND owner, const wchar_t* caption, const wchar_t* text, PromptIcon icon,
                 PromptRequest::Default defaultButton = PromptRequest::Default::First) {
    return ShowPrompt({reinterpret_cast<std::uintptr_t>(owner),
                       caption,
                       text,
                       icon,
                       PromptButtons::YesNo,
                       {},
                       nullptr,
                       defaultButton});
}

void Fail(HWND owner, const std::wstring& text) {
    Tell(owner, L"Token Vault Error", text, PromptIcon::Error);
}

// With the keys a creation or recovery left: the file is read again, nothing is derived.
void OpenWindow(HWND owner, std::unique_ptr<VaultKeys> keys, const HttpTransport& transport,
                const wchar_t* failure) {
    std::vector<VaultEntry> entries;
    std::wstring error;
    if (!ReloadVault(*keys, entries, error)) {
        Fail(owner, failure + error);
        return;
    }
    RunVaultWindow(owner, std::move(keys), std::move(entries), transport);
}

// What the first bytes of the file say after a password did not verify.
enum class FileLook { OurFormat, Foreign, Unreadable };

FileLook LookAtVaultFile() {
    std::ifstream file(VaultPath(), std::ios::binary);
    if (!file) {
        return FileLook::Unreadable;
    }
    char magic[8] = {};
    file.read(magic, sizeof(magic));
    if (file.bad()) {
        return FileLook::Unreadable;
    }
    const std::string read(magic, static_cast<std::size_t>(file.gcount()));
    return VaultVersionOf(read) ? FileLook::OurFormat : FileLook::Foreign;
}

bool DeleteVaultFile(std::wstring& error) {
    std::error_code code;
    if (std::filesystem::remove(VaultPath(), code)) {
        return true;
    }
    error = L"Failed to delete the vault file.";
    return false;
}

void ResetVault(HWND owner) {
    if (Ask(owner, L"Reset Vault",
            L"This will PERMANENTLY DELETE the vault file and all stored tokens. This cannot be "
            L"undone.\n\nAre you sure you want to continue?",
            PromptIcon::Warning, PromptRequest::Default::Second) != PromptAnswer::Yes ||
        Ask(owner, L"Confirm Vault Deletion",
            L"Last chance: deleting the vault cannot be reversed and every bot token stored in "
            L"it will be lost.\n\nDelete the vault now?",
            PromptIcon::Warning, PromptRequest::Default::Second) != PromptAnswer::Yes) {
        return;
    }
    std::wstring error;
    if (DeleteVaultFile(error)) {
        Tell(owner, L"Token Vault", L"The vault has been deleted. You can create a new one now.",
             PromptIcon::Information);
    } else {
        Fail(owner, L"Failed to delete the vault:\n\n" + error);
    }
}

FlowEnd CreateFlow(HWND owner, const HttpTransport& transport) {
    if (Ask(owner, L"Create Token Vault",
            L"Do you want to create a secure vault for Telegram bot tokens?",
            PromptIcon::Question) != PromptAnswer::Yes) {
        return FlowEnd::Done;
    }
    std::wstring password;
    if (!AskNewVaultPassword(owner, password)) {
        return FlowEnd::Done;
    }
    std::wstring recoveryKey;
    std::wstring error;
    auto keys = std::make_unique<VaultKeys>();
    switch (CreateVault(password, recoveryKey, *keys, error)) {
        case VaultCreateResult::Created:
            break;
        case VaultCreateResult::Exists:
            // Another instance made one while the password was typed: never replace it.
            Tell(owner, L"Token Vault",
                 L"Another Wrenpost window has just created a Token Vault. Unlock it with its "
                 L"password.",
                 PromptIcon::Information);
            return FlowEnd::Restart;
        case VaultCreateResult::Failed:
            Fail(owner, L"Failed to create Token Vault:\n\n" + error);
            return FlowEnd::Done;
    }
    ShowRecoveryKey(owner, recoveryKey);
    Tell(owner, L"Token Vault", L"Token Vault created successfully.", PromptIcon::Information);
    OpenWindow(owner, std::move(keys), transport,
               L"Token Vault was created but could not be opened:\n\n");
    return FlowEnd::Done;
}

// True when the flow ends; false to show the unlock dialog again.
bool RecoveryFlow(HWND owner, const HttpTransport& transport) {
    if (!VaultHasRecoveryKey()) {
        const PromptAnswer answer = ShowPrompt(
            {reinterpret_cast<std::uintptr_t>(owner),
             L"No Recovery Key Available",
             L"This vault was created before recovery-key support was added, so it has no "
             L"recovery key.\n\nIf you cannot remember the password, the tokens stored in this "
             L"vault cannot be recovered.\n\nWould you like to permanently delete this vault and "
             L"start over?",
             PromptIcon::Warning,
             PromptButtons::YesNo,
             {},
             nullptr,
             PromptRequest::Default::Second});
        if (answer == PromptAnswer::Yes) {
            ResetVault(owner);
        }
        return !VaultExists();
    }
    auto keys = std::make_unique<VaultKeys>();
    switch (RecoverVaultDialog(owner, *keys)) {
        case RecoveryChoice::Recovered:
            Tell(owner, L"Token Vault",
                 L"Vault password reset successfully. Your tokens were preserved.",
                 PromptIcon::Information);
            OpenWindow(owner, std::move(keys), transport,
                       L"Password was reset but the vault could not be opened:\n\n");
            return true;
        case RecoveryChoice::ResetVault:
            ResetVault(owner);
            break;
        case RecoveryChoice::Cancel:
            break;
    }
    return !VaultExists();
}

FlowEnd UnlockFlow(HWND owner, const HttpTransport& transport) {
    for (;;) {
        std::wstring password;
        const UnlockChoice choice = AskVaultPassword(owner, password);
        if (choice == UnlockChoice::Cancel) {
            return FlowEnd::Done;
        }
        if (choice == UnlockChoice::Recover) {
            if (RecoveryFlow(owner, transport)) {
                return FlowEnd::Done;
            }
            continue;
        }
        for (;;) {
            auto keys = std::make_unique<VaultKeys>();
            std::vector<VaultEntry> entries;
            std::wstring error;
            if (UnlockVault(password, *keys, entries, error)) {
                RunVaultWindow(owner, std::move(keys), std::move(entries), transport);
                return FlowEnd::Done;
            }
            switch (LookAtVaultFile()) {
                case FileLook::OurFormat:
                    if (error == kVaultWrongPasswordText) {
                        Tell(owner, L"Token Vault", error, PromptIcon::Error);
                    } else {
                        Fail(owner, L"Failed to open Token Vault:\n\n" + error);
                    }
                    return FlowEnd::Done;
                case FileLook::Unreadable:
                    // Locked by another instance's save or a scanner: nothing here is corrupt.
                    if (Ask(owner, L"Token Vault",
                            L"TokenVault.dat could not be read. Another program may be using "
                            L"it.\n\nTry again?",
                            PromptIcon::Warning) != PromptAnswer::Yes) {
                        return FlowEnd::Done;
                    }
                    continue;
                case FileLook::Foreign:
                    break;
            }
            if (Ask(owner, L"Token Vault Corrupt",
                    L"TokenVault.dat appears to be corrupt or unreadable.\n\nWould you like to "
                    L"delete it and create a new vault?\n\nWARNING: All stored tokens will be "
                    L"permanently lost.",
                    PromptIcon::Warning, PromptRequest::Default::Second) != PromptAnswer::Yes) {
                return FlowEnd::Done;
            }
            if (!DeleteVaultFile(error)) {
                Fail(owner,
                     L"Failed to delete the corrupt vault file.\nPlease delete TokenVault.dat "
                     L"manually.");
                return FlowEnd::Done;
            }
            return FlowEnd::Restart;
        }
    }
}

}  // namespace

void OpenTokenVault(HWND owner, const HttpTransport& transport) {
    while ((VaultExists() ? UnlockFlow(owner, transport) : CreateFlow(owner, transport)) ==
           FlowEnd::Restart) {
    }
}

}  // namespace wrenpost
