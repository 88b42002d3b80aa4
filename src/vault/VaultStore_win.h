// The Token Vault store: TokenVault.dat in the application-data folder, version 2 (master key
// wrapped by the password and by a recovery key) or version 1 (password only). Every operation
// reads the file afresh, stops at the first failure with its text, and replaces the file only
// after all of its cryptography succeeded, through a temporary file in the same folder.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "vault/VaultDocument.h"

namespace wrenpost {

// Where TokenVault.dat lives: the application-data folder (AppDataFolder) unless a test points
// it at a folder of its own; an empty function restores the default.
void SetVaultFolderProvider(std::function<std::filesystem::path()> folder);

// The folder (created if missing) joined with "TokenVault.dat"; empty when the folder is unknown.
std::filesystem::path VaultPath();
bool VaultExists();
// The file can be opened and starts with "WPVLT002".
bool IsVaultV2();

// 16 upper-case hex characters from 8 random bytes (also the hand-off identifier).
std::wstring NewVaultEntryId();

// Always version 2; `recoveryKey` is the grouped form, shown once and never stored.
[[nodiscard]] bool CreateVault(std::wstring_view password, std::wstring& recoveryKey,
                               std::wstring& error);
[[nodiscard]] bool OpenVault(std::wstring_view password, std::vector<VaultEntry>& entries,
                             std::wstring& error);
bool VerifyVaultPassword(std::wstring_view password);
// Replaces the entry list; a version 2 vault keeps its secrets, a version 1 vault stays one.
[[nodiscard]] bool SaveVault(std::wstring_view password, const std::vector<VaultEntry>& entries,
                             std::wstring& error);
[[nodiscard]] bool ChangeVaultPassword(std::wstring_view oldPassword, std::wstring_view newPassword,
                                       std::wstring& error);
// Version 2 only; the recovery key stays valid afterwards.
[[nodiscard]] bool RecoverVaultPassword(std::wstring_view recoveryKey,
                                        std::wstring_view newPassword, std::wstring& error);

}  // namespace wrenpost
