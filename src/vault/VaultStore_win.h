// The Token Vault store: TokenVault.dat in the application-data folder. New files are version 3
// (a master key wrapped by the password and by a recovery key, the document encrypted and then
// authenticated); versions 2 and 1 are read and become version 3 at their next write. Every
// operation reads the file afresh, stops at the first failure with its text, and replaces the
// file only after all of its cryptography succeeded, through a temporary file in the same
// folder.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "vault/VaultDocument.h"
#include "vault/VaultKeys_win.h"

namespace wrenpost {

// Where TokenVault.dat lives: the application-data folder (AppDataFolder) unless a test points
// it at a folder of its own; an empty function restores the default.
void SetVaultFolderProvider(std::function<std::filesystem::path()> folder);

// The folder (created if missing) joined with "TokenVault.dat"; empty when the folder is unknown.
std::filesystem::path VaultPath();
// "TokenVault.dat.bak": the earlier-version file an upgrade replaced, kept until the next
// password change because an earlier build cannot read version 3.
std::filesystem::path VaultBackupPath();
bool VaultExists();
// The file can be read and has a recovery slot (version 2, or 3 made from one or new).
bool VaultHasRecoveryKey();

// 16 upper-case hex characters from 8 random bytes (also the hand-off identifier).
std::wstring NewVaultEntryId();

inline constexpr wchar_t kOldPasswordIncorrect[] = L"The old password is incorrect.";

enum class VaultCreateResult { Created, Exists, Failed };

// Writes a new vault only where there is none (Exists when another window made one meanwhile);
// `recoveryKey` is the grouped form, shown once and never stored; `keys` hold it open.
[[nodiscard]] VaultCreateResult CreateVault(std::wstring_view password, std::wstring& recoveryKey,
                                            VaultKeys& keys, std::wstring& error);
// Derives once (twice for an earlier version: its upgrade's password slot is made here).
[[nodiscard]] bool UnlockVault(std::wstring_view password, VaultKeys& keys,
                               std::vector<VaultEntry>& entries, std::wstring& error);
// Reads the file again with the keys of an unlock.
[[nodiscard]] bool ReloadVault(const VaultKeys& keys, std::vector<VaultEntry>& entries,
                               std::wstring& error);
bool VerifyVaultPassword(std::wstring_view password);
// Replaces the entry list, keeping the document's other secrets; an earlier-version file is
// upgraded (and kept as VaultBackupPath). Never derives.
[[nodiscard]] bool SaveVault(VaultKeys& keys, const std::vector<VaultEntry>& entries,
                             std::wstring& error);
// Both re-encrypt the document as it is and leave `keys` holding the file they wrote; the
// recovery key stays valid; the upgrade backup (which opens with an old password) is removed.
[[nodiscard]] bool ChangeVaultPassword(std::wstring_view oldPassword, std::wstring_view newPassword,
                                       VaultKeys& keys, std::wstring& error);
[[nodiscard]] bool RecoverVaultPassword(std::wstring_view recoveryKey,
                                        std::wstring_view newPassword, VaultKeys& keys,
                                        std::wstring& error);

}  // namespace wrenpost
