// Store operations over the file layout and the sealing steps. The order of the steps (and so
// which text a failure gives) is part of the contract with the vault window.
#include "vault/VaultStore_win.h"

#include <mutex>
#include <random>
#include <system_error>

#include "app/AppPaths_win.h"
#include "common/TextFile.h"
#include "vault/RecoveryKey.h"
#include "vault/VaultSealing_win.h"

namespace wrenpost {
namespace {

std::mutex g_folderMutex;
std::function<std::filesystem::path()> g_folderProvider;

bool WriteVault(const std::string& bytes, std::wstring& error) {
    const std::filesystem::path path = VaultPath();
    if (path.empty() || !WriteFileAtomically(path, bytes)) {
        return VaultFail(error, L"Failed to write vault file.");
    }
    return true;
}

// An earlier build cannot read version 3 and offers to delete it: the file as it was stays
// beside it until a password change makes it the only file the old password opens.
bool KeepUpgradeBackup(const LoadedVault& vault, std::wstring& error) {
    if (vault.header.version == VaultVersion::V3) {
        return true;
    }
    if (!WriteFileAtomically(VaultBackupPath(), vault.bytes)) {
        return VaultFail(error, L"Failed to write the vault backup.");
    }
    return true;
}

void RemoveUpgradeBackup() {
    std::error_code ignored;
    std::filesystem::remove(VaultBackupPath(), ignored);
}

// The recovery slot of a new vault: a fresh key, shown once, wrapping `master`.
bool SetRecoverySlot(VaultHeader& header, const VaultMasterKey& master, std::wstring& grouped,
                     std::wstring& error) {
    WipedBytes<kRecoveryKeyRandomBytes> keyRandom;
    if (!VaultRandomBytes(keyRandom.data(), keyRandom.bytes.size())) {
        return VaultFail(error, L"Failed to generate random bytes.");
    }
    grouped = FormatRecoveryKey(keyRandom.bytes);
    // The recovery slot is made like a password slot, then moved into place.
    VaultHeader slot;
    std::wstring normalized = NormalizeRecoveryKey(grouped);
    const bool made = SetVaultPasswordSlot(slot, normalized, master, error);
    WipeWide(normalized);
    if (!made) {
        return false;
    }
    header.recoveryIterations = slot.passwordIterations;
    header.recoverySalt = slot.passwordSalt;
    header.recoveryIv = slot.passwordIv;
    header.recoveryVerifier = slot.passwordVerifier;
    header.recoveryWrappedKey = slot.passwordWrappedKey;
    return true;
}

// Opens a slot, reads the document as it is, gives the file a new password slot and writes it
// as version 3 under the same master key (a version 1 file gets its first).
bool Rekey(std::wstring_view secret, VaultSlot slot, const wchar_t* mismatchText,
           std::wstring_view newPassword, VaultKeys& keys, std::wstring& error) {
    LoadedVault vault;
    if (!LoadVaultFile(vault, L"Cannot open vault file.", error)) {
        return false;
    }
    VaultKeys opened;
    if (!OpenVaultSlot(vault.header, slot, secret, mismatchText, opened, error)) {
        return false;
    }
    std::vector<VaultEntry> entries;
    VaultSecrets secrets;
    WipedString plaintext;
    if (!ReadVaultDocumentWith(vault, opened, entries, secrets, &plaintext, error)) {
        return false;
    }
    VaultHeader header =
        vault.header.version == VaultVersion::V3 ? vault.header : UpgradedVaultHeader(vault.header);
    std::string file;
    if (!SetVaultPasswordSlot(header, newPassword, opened.master, error) ||
        !SealVaultFile(header, opened, plaintext.get(), file, error) || !WriteVault(file, error)) {
        return false;
    }
    RemoveUpgradeBackup();
    keys.master.bytes = opened.master.bytes;
    keys.macKey.bytes = opened.macKey.bytes;
    keys.legacy = false;
    return true;
}

}  // namespace

void SetVaultFolderProvider(std::function<std::filesystem::path()> folder) {
    std::lock_guard lock(g_folderMutex);
    g_folderProvider = std::move(folder);
}

std::filesystem::path VaultPath() {
    std::filesystem::path folder;
    {
        std::lock_guard lock(g_folderMutex);
        folder = g_folderProvider ? g_folderProvider() : AppDataFolder();
    }
    if (folder.empty()) {
        return {};
    }
    return folder / L"TokenVault.dat";
}

std::filesystem::path VaultBackupPath() {
    std::filesystem::path path = VaultPath();
    return path.empty() ? path : path += L".bak";
}

bool VaultExists() {
    const std::filesystem::path path = VaultPath();
    std::error_code ignored;
    return !path.empty() && std::filesystem::exists(path, ignored);
}

bool VaultHasRecoveryKey() {
    std::string bytes;
    VaultHeader header;
    return ReadVaultFileStart(VaultPath(), bytes) && ParseVaultHeader(bytes, header) &&
           header.recoveryIterations != 0;
}

std::wstring NewVaultEntryId() {
    VaultEntryIdRandom random{};
    if (!VaultRandomBytes(random.data(), random.size())) {
        // The system RNG does not fail in practice; an id only has to be unique, not secret.
        std::random_device device;
        for (unsigned char& byte : random) {
            byte = static_cast<unsigned char>(device());
        }
    }
    return FormatVaultEntryId(random);
}

VaultCreateResult CreateVault(std::wstring_view password, std::wstring& recoveryKey,
                              VaultKeys& keys, std::wstring& error) {
    if (!VaultRandomBytes(keys.master.data(), keys.master.bytes.size())) {
        VaultFail(error, L"Failed to generate master key.");
        return VaultCreateResult::Failed;
    }
    keys.legacy = false;
    VaultHeader header;
    std::wstring grouped;
    const VaultSecrets noSecrets;
    std::string file;
    if (!DeriveVaultMacKey(keys.master, keys.macKey) ||
        !SetVaultPasswordSlot(header, password, keys.master, error) ||
        !SetRecoverySlot(header, keys.master, grouped, error) ||
        !SealVaultFile(header, keys, WriteVaultDocument({}, &noSecrets), file, error)) {
        return VaultCreateResult::Failed;
    }
    const std::filesystem::path path = VaultPath();
    const NewFileResult written =
        path.empty() ? NewFileResult::Failed : WriteNewFileAtomically(path, file);
    if (written != NewFileResult::Written) {
        VaultFail(error, written == NewFileResult::NameTaken
                             ? L"Another Wrenpost window created a vault meanwhile."
                             : L"Failed to write vault file.");
        return written == NewFileResult::NameTaken ? VaultCreateResult::Exists
                                                   : VaultCreateResult::Failed;
    }
    recoveryKey = grouped;
    return VaultCreateResult::Created;
}

bool UnlockVault(std::wstring_view password, VaultKeys& keys, std::vector<VaultEntry>& entries,
                 std::wstring& error) {
    LoadedVault vault;
    VaultSecrets secrets;
    if (!LoadVaultFile(vault, L"Cannot open vault file.", error) ||
        !OpenVaultSlot(vault.header, VaultSlot::Password, password, kVaultWrongPasswordText, keys,
                       error) ||
        !ReadVaultDocumentWith(vault, keys, entries, secrets, nullptr, error)) {
        return false;
    }
    if (keys.legacy) {
        keys.upgrade = UpgradedVaultHeader(vault.header);
        return SetVaultPasswordSlot(keys.upgrade, password, keys.master, error);
    }
    return true;
}

bool ReloadVault(const VaultKeys& keys, std::vector<VaultEntry>& entries, std::wstring& error) {
    LoadedVault vault;
    VaultSecrets secrets;
    return LoadVaultFile(vault, L"Cannot open vault file.", error) &&
           ReadVaultDocumentWith(vault, keys, entries, secrets, nullptr, error);
}

bool VerifyVaultPassword(std::wstring_view password) {
    LoadedVault vault;
    VaultKeys keys;
    std::wstring ignored;
    return LoadVaultFile(vault, L"", ignored) &&
           OpenVaultSlot(vault.header, VaultSlot::Password, password, L"", keys, ignored);
}

bool SaveVault(VaultKeys& keys, const std::vector<VaultEntry>& entries, std::wstring& error) {
    LoadedVault vault;
    std::vector<VaultEntry> oldEntries;
    VaultSecrets secrets;
    if (!LoadVaultFile(vault, L"Vault file not found.", error) ||
        !ReadVaultDocumentWith(vault, keys, oldEntries, secrets, nullptr, error)) {
        return false;
    }
    const bool upgrading = vault.header.version != VaultVersion::V3;
    WipedString plaintext(WriteVaultDocument(entries, &secrets));
    std::string file;
    if (!SealVaultFile(upgrading ? keys.upgrade : vault.header, keys, plaintext.get(), file,
                       error) ||
        !KeepUpgradeBackup(vault, error) || !WriteVault(file, error)) {
        return false;
    }
    keys.legacy = false;
    return true;
}

bool ChangeVaultPassword(std::wstring_view oldPassword, std::wstring_view newPassword,
                         VaultKeys& keys, std::wstring& error) {
    return Rekey(oldPassword, VaultSlot::Password, kOldPasswordIncorrect, newPassword, keys, error);
}

bool RecoverVaultPassword(std::wstring_view recoveryKey, std::wstring_view newPassword,
                          VaultKeys& keys, std::wstring& error) {
    std::string bytes;
    if (!ReadVaultFileStart(VaultPath(), bytes)) {
        return VaultFail(error, L"Cannot open vault file.");
    }
    VaultHeader header;
    if (!VaultVersionOf(bytes) ||
        (ParseVaultHeader(bytes, header) && header.recoveryIterations == 0)) {
        return VaultFail(error, L"This vault does not have a recovery key configured.");
    }
    return Rekey(recoveryKey, VaultSlot::Recovery, L"Invalid recovery key.", newPassword, keys,
                 error);
}

}  // namespace wrenpost
