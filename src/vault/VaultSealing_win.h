// The steps the vault store's operations are made of: reading the file, opening a key slot,
// authenticating and decrypting the document, and sealing a version 3 file.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "vault/VaultDocument.h"
#include "vault/VaultKeys_win.h"

namespace wrenpost {

inline constexpr wchar_t kVaultDamagedText[] = L"The vault file is damaged.";
inline constexpr wchar_t kVaultWrongPasswordText[] = L"Invalid vault password.";

bool VaultFail(std::wstring& error, const wchar_t* text);

// The file as read for one operation.
struct LoadedVault {
    std::string bytes;
    VaultHeader header;
    std::string_view ciphertext;
};

// Reads the file, its header and its ciphertext; `missingText` when it cannot be opened.
[[nodiscard]] bool LoadVaultFile(LoadedVault& vault, const wchar_t* missingText,
                                 std::wstring& error);

enum class VaultSlot { Password, Recovery };

// Derives once from `secret` with the slot's salt and count, checks the verifier (`mismatchText`
// when it differs) and fills `keys` for the file's version. A version 1 file gets a fresh master
// key for its upgrade.
[[nodiscard]] bool OpenVaultSlot(const VaultHeader& header, VaultSlot slot,
                                 std::wstring_view secret, const wchar_t* mismatchText,
                                 VaultKeys& keys, std::wstring& error);

// A version 3 header carrying over `file`'s recovery slot (none from version 1); the password
// slot is left for SetVaultPasswordSlot.
VaultHeader UpgradedVaultHeader(const VaultHeader& file);

// New salt and IV, the key block of `password` at the current count, and the master key
// wrapped with it.
[[nodiscard]] bool SetVaultPasswordSlot(VaultHeader& header, std::wstring_view password,
                                        const VaultMasterKey& master, std::wstring& error);

// A version 3 file must carry the MAC of `keys` (checked before anything is decrypted); an
// earlier one must be the file these keys were unlocked from.
[[nodiscard]] bool ReadVaultDocumentWith(const LoadedVault& vault, const VaultKeys& keys,
                                         std::vector<VaultEntry>& entries, VaultSecrets& secrets,
                                         WipedString* plaintext, std::wstring& error);

// Encrypts `plaintext` under a fresh data IV, appends the MAC and returns the file's bytes.
[[nodiscard]] bool SealVaultFile(VaultHeader header, const VaultKeys& keys,
                                 std::string_view plaintext, std::string& file,
                                 std::wstring& error);

}  // namespace wrenpost
