// The Token Vault's seven small modal dialogs. Each returns what the user chose; those that
// change the vault file (recovery, password change) do so themselves and stay open on failure.
#pragma once

#include <windows.h>

#include <string>

#include "common/HttpClient.h"
#include "vault/VaultKeys_win.h"

namespace wrenpost {

// New passwords are refused below this many characters: the vault file can be copied away and
// attacked offline, where the KDF only multiplies the cost of each guess.
inline constexpr std::size_t kMinVaultPasswordLength = 12;

// "Set Vault Password": false when cancelled.
bool AskNewVaultPassword(HWND owner, std::wstring& password);

enum class UnlockChoice { Unlock, Recover, Cancel };
UnlockChoice AskVaultPassword(HWND owner, std::wstring& password);

// Refuses to close until the user confirms having saved the key.
void ShowRecoveryKey(HWND owner, const std::wstring& recoveryKey);

enum class RecoveryChoice { Recovered, ResetVault, Cancel };
// On Recovered `keys` hold the vault open.
RecoveryChoice RecoverVaultDialog(HWND owner, VaultKeys& keys);

// "Reset Vault Password": true when the password was changed; `keys` then hold the file written.
bool ChangeVaultPasswordDialog(HWND owner, VaultKeys& keys);

struct NewVaultToken {
    std::wstring token;
    std::wstring botName;
    std::wstring botUsername;  // without "@"
};
// "Add Token": checks the token with getMe on a worker; false when cancelled.
bool AskVaultToken(HWND owner, const HttpTransport& transport, NewVaultToken& added);

// "Notes": false when cancelled.
bool EditVaultNotes(HWND owner, std::wstring& notes);

}  // namespace wrenpost
