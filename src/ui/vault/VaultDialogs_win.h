// The Token Vault's seven small modal dialogs. Each returns what the user chose; those that
// change the vault file (recovery, password change) do so themselves and stay open on failure.
#pragma once

#include <windows.h>

#include <string>

#include "common/HttpClient.h"

namespace wrenpost {

// "Set Vault Password": false when cancelled.
bool AskNewVaultPassword(HWND owner, std::wstring& password);

enum class UnlockChoice { Unlock, Recover, Cancel };
UnlockChoice AskVaultPassword(HWND owner, std::wstring& password);

// Refuses to close until the user confirms having saved the key.
void ShowRecoveryKey(HWND owner, const std::wstring& recoveryKey);

enum class RecoveryChoice { Recovered, ResetVault, Cancel };
// On Recovered `newPassword` opens the vault.
RecoveryChoice RecoverVaultDialog(HWND owner, std::wstring& newPassword);

// "Reset Vault Password": true when the password was changed; `password` is then the new one.
bool ChangeVaultPasswordDialog(HWND owner, std::wstring& password);

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
