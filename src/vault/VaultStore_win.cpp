// Store operations over the file layout and the CNG primitives. The order of the steps (and so
// which text a failure gives) is part of the contract with the vault window.
#include "vault/VaultStore_win.h"

#include <fstream>
#include <mutex>
#include <random>
#include <system_error>

#include "app/AppPaths_win.h"
#include "common/TextFile.h"
#include "vault/RecoveryKey.h"
#include "vault/VaultCrypto_win.h"
#include "vault/VaultFile.h"

namespace wrenpost {
namespace {

std::mutex g_folderMutex;
std::function<std::filesystem::path()> g_folderProvider;

// The file as read for one operation.
struct LoadedVault {
    std::string bytes;
    VaultHeader header;
    std::string_view ciphertext;
};

template <std::size_t N>
bool RandomFill(std::array<unsigned char, N>& field) {
    return VaultRandomBytes(field.data(), field.size());
}

bool Fail(std::wstring& error, const wchar_t* text) {
    error = text;
    return false;
}

bool ReadWholeHeaderAndCiphertext(LoadedVault& vault) {
    return ParseVaultHeader(vault.bytes, vault.header) &&
           SliceVaultCiphertext(vault.bytes, vault.header, vault.ciphertext);
}

bool WrapKey(const VaultKeyBlock& block, const VaultIv& iv, const VaultMasterKey& master,
             VaultWrappedKey& wrapped) {
    std::string out;
    if (!VaultEncrypt(
            block.WrappingKey(), iv,
            std::string_view(reinterpret_cast<const char*>(master.data()), master.bytes.size()),
            out) ||
        out.size() != wrapped.size()) {
        return false;
    }
    std::copy(out.begin(), out.end(), wrapped.begin());
    return true;
}

bool UnwrapKey(const VaultKeyBlock& block, const VaultIv& iv, const VaultWrappedKey& wrapped,
               VaultMasterKey& master) {
    WipedString out;
    if (!VaultDecrypt(
            block.WrappingKey(), iv,
            std::string_view(reinterpret_cast<const char*>(wrapped.data()), wrapped.size()), out) ||
        out.get().size() != master.bytes.size()) {
        return false;
    }
    std::copy(out.get().begin(), out.get().end(), master.bytes.begin());
    return true;
}

// New password salt and IV, the key block of `password`, and the master key wrapped with it:
// the four password fields of a version 2 header.
bool SetPasswordFields(VaultHeader& header, std::wstring_view password,
                       const VaultMasterKey& master, std::wstring& error) {
    if (!RandomFill(header.passwordSalt) || !RandomFill(header.passwordIv)) {
        return Fail(error, L"Failed to generate random bytes.");
    }
    VaultKeyBlock block;
    if (!DeriveVaultKeyBlock(password, header.passwordSalt, block)) {
        return Fail(error, L"Failed to derive encryption key.");
    }
    header.passwordVerifier = block.Verifier();
    if (!WrapKey(block, header.passwordIv, master, header.passwordWrappedKey)) {
        return Fail(error, L"Failed to wrap master key.");
    }
    return true;
}

bool WriteVault(const std::string& bytes, std::wstring& error) {
    const std::filesystem::path path = VaultPath();
    if (path.empty() || !WriteFileAtomically(path, bytes)) {
        return Fail(error, L"Failed to write vault file.");
    }
    return true;
}

// Derives the password block with the stored salt and checks it against the stored verifier.
bool CheckPassword(const VaultHeader& header, std::wstring_view password, VaultKeyBlock& block,
                   const wchar_t* mismatchText, std::wstring& error) {
    if (!DeriveVaultKeyBlock(password, header.passwordSalt, block)) {
        return Fail(error, L"Failed to derive key.");
    }
    if (!SameVerifier(block.Verifier(), header.passwordVerifier)) {
        return Fail(error, mismatchText);
    }
    return true;
}

// Decrypts and parses the document with the data key the header's version calls for.
bool DecryptDocument(const LoadedVault& vault, const unsigned char* dataKey,
                     std::vector<VaultEntry>& entries, VaultSecrets& secrets,
                     WipedString* plaintextOut, std::wstring& error) {
    WipedString plaintext;
    if (!VaultDecrypt(dataKey, vault.header.dataIv, vault.ciphertext, plaintext)) {
        return Fail(error, L"Failed to decrypt vault data.");
    }
    if (!ReadVaultDocument(plaintext.get(), entries, secrets)) {
        return Fail(error, L"Failed to parse vault data.");
    }
    if (plaintextOut != nullptr) {
        plaintextOut->get().swap(plaintext.get());
    }
    return true;
}

bool EncryptDocument(const VaultHeader& header, const unsigned char* dataKey,
                     std::string_view plaintext, std::string& ciphertext, std::wstring& error) {
    if (!VaultEncrypt(dataKey, header.dataIv, plaintext, ciphertext)) {
        return Fail(error, L"Failed to encrypt vault data.");
    }
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

bool VaultExists() {
    const std::filesystem::path path = VaultPath();
    std::error_code ignored;
    return !path.empty() && std::filesystem::exists(path, ignored);
}

bool IsVaultV2() {
    const std::filesystem::path path = VaultPath();
    if (path.empty()) {
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    char magic[kVaultMagicSize] = {};
    if (!in || !in.read(magic, sizeof magic)) {
        return false;
    }
    return std::string_view(magic, sizeof magic) == kVaultMagicV2;
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

bool CreateVault(std::wstring_view password, std::wstring& recoveryKey, std::wstring& error) {
    VaultMasterKey master;
    if (!VaultRandomBytes(master.data(), master.bytes.size())) {
        return Fail(error, L"Failed to generate master key.");
    }
    VaultHeader header;
    header.version = VaultVersion::V2;
    if (!SetPasswordFields(header, password, master, error)) {
        return false;
    }

    WipedBytes<kRecoveryKeyRandomBytes> keyRandom;
    if (!VaultRandomBytes(keyRandom.data(), keyRandom.bytes.size())) {
        return Fail(error, L"Failed to generate random bytes.");
    }
    const std::wstring grouped = FormatRecoveryKey(keyRandom.bytes);
    if (!RandomFill(header.recoverySalt) || !RandomFill(header.recoveryIv)) {
        return Fail(error, L"Failed to generate random bytes.");
    }
    {
        VaultKeyBlock block;
        std::wstring normalized = NormalizeRecoveryKey(grouped);
        const bool derived = DeriveVaultKeyBlock(normalized, header.recoverySalt, block);
        WipeWide(normalized);
        if (!derived) {
            return Fail(error, L"Failed to derive recovery key.");
        }
        header.recoveryVerifier = block.Verifier();
        if (!WrapKey(block, header.recoveryIv, master, header.recoveryWrappedKey)) {
            return Fail(error, L"Failed to wrap recovery key.");
        }
    }

    if (!RandomFill(header.dataIv)) {
        return Fail(error, L"Failed to generate IV.");
    }
    const VaultSecrets noSecrets;
    std::string ciphertext;
    if (!EncryptDocument(header, master.data(), WriteVaultDocument({}, &noSecrets), ciphertext,
                         error)) {
        return false;
    }
    if (!WriteVault(SerializeVaultFile(header, ciphertext), error)) {
        return false;
    }
    recoveryKey = grouped;
    return true;
}

bool OpenVault(std::wstring_view password, std::vector<VaultEntry>& entries, std::wstring& error) {
    LoadedVault vault;
    if (!ReadVaultFileStart(VaultPath(), vault.bytes)) {
        return Fail(error, L"Cannot open vault file.");
    }
    if (!VaultVersionOf(vault.bytes)) {
        return Fail(error, L"Invalid vault file format.");
    }
    if (!ParseVaultHeader(vault.bytes, vault.header)) {
        return Fail(error, L"Vault file appears corrupt.");
    }
    VaultKeyBlock block;
    if (!CheckPassword(vault.header, password, block, L"Invalid vault password.", error)) {
        return false;
    }
    VaultMasterKey master;
    const unsigned char* dataKey = block.WrappingKey();
    if (vault.header.version == VaultVersion::V2) {
        if (!UnwrapKey(block, vault.header.passwordIv, vault.header.passwordWrappedKey, master)) {
            return Fail(error, L"Failed to unwrap vault key.");
        }
        dataKey = master.data();
    }
    if (!SliceVaultCiphertext(vault.bytes, vault.header, vault.ciphertext)) {
        return Fail(error, L"Vault file appears corrupt.");
    }
    VaultSecrets secrets;
    return DecryptDocument(vault, dataKey, entries, secrets, nullptr, error);
}

bool VerifyVaultPassword(std::wstring_view password) {
    LoadedVault vault;
    std::wstring ignored;
    VaultKeyBlock block;
    return ReadVaultFileStart(VaultPath(), vault.bytes) &&
           ParseVaultHeader(vault.bytes, vault.header) &&
           CheckPassword(vault.header, password, block, L"", ignored);
}

bool SaveVault(std::wstring_view password, const std::vector<VaultEntry>& entries,
               std::wstring& error) {
    LoadedVault vault;
    if (!ReadVaultFileStart(VaultPath(), vault.bytes)) {
        return Fail(error, L"Vault file not found.");
    }
    const auto version = VaultVersionOf(vault.bytes);
    if (!version) {
        return Fail(error, L"Invalid vault file format.");
    }

    if (*version == VaultVersion::V1) {
        if (!ParseVaultHeader(vault.bytes, vault.header)) {
            return Fail(error, L"Vault file appears corrupt.");
        }
        VaultHeader header = vault.header;
        if (!RandomFill(header.dataIv)) {
            return Fail(error, L"Failed to generate IV.");
        }
        // Checked although the vault window only passes the password that opened the vault:
        // deriving from an unchecked password would silently re-key the file.
        VaultKeyBlock block;
        if (!CheckPassword(header, password, block, L"Invalid vault password.", error)) {
            return false;
        }
        WipedString plaintext(WriteVaultDocument(entries, nullptr));
        std::string ciphertext;
        if (!EncryptDocument(header, block.WrappingKey(), plaintext.get(), ciphertext, error)) {
            return false;
        }
        return WriteVault(SerializeVaultFile(header, ciphertext), error);
    }

    if (!ReadWholeHeaderAndCiphertext(vault)) {
        return Fail(error, L"Vault file appears corrupt.");
    }
    VaultKeyBlock block;
    if (!CheckPassword(vault.header, password, block, L"Invalid vault password.", error)) {
        return false;
    }
    VaultMasterKey master;
    if (!UnwrapKey(block, vault.header.passwordIv, vault.header.passwordWrappedKey, master)) {
        return Fail(error, L"Failed to unwrap vault key.");
    }
    std::vector<VaultEntry> oldEntries;
    VaultSecrets secrets;
    if (!DecryptDocument(vault, master.data(), oldEntries, secrets, nullptr, error)) {
        return false;
    }
    VaultHeader header = vault.header;
    if (!RandomFill(header.dataIv)) {
        return Fail(error, L"Failed to generate IV.");
    }
    WipedString plaintext(WriteVaultDocument(entries, &secrets));
    std::string ciphertext;
    if (!EncryptDocument(header, master.data(), plaintext.get(), ciphertext, error)) {
        return false;
    }
    return WriteVault(SerializeVaultFile(header, ciphertext), error);
}

bool ChangeVaultPassword(std::wstring_view oldPassword, std::wstring_view newPassword,
                         std::wstring& error) {
    LoadedVault vault;
    if (!ReadVaultFileStart(VaultPath(), vault.bytes)) {
        return Fail(error, L"Cannot open vault file.");
    }
    const auto version = VaultVersionOf(vault.bytes);
    if (!version) {
        return Fail(error, L"Invalid vault file format.");
    }

    if (*version == VaultVersion::V1) {
        if (!ParseVaultHeader(vault.bytes, vault.header)) {
            return Fail(error, L"Vault file appears corrupt.");
        }
        VaultKeyBlock oldBlock;
        if (!CheckPassword(vault.header, oldPassword, oldBlock, L"The old password is incorrect.",
                           error)) {
            return false;
        }
        if (!SliceVaultCiphertext(vault.bytes, vault.header, vault.ciphertext)) {
            return Fail(error, L"Vault file appears corrupt.");
        }
        // The decrypted document is encrypted again as it is, so nothing in it can be lost.
        std::vector<VaultEntry> entries;
        VaultSecrets secrets;
        WipedString plaintext;
        if (!DecryptDocument(vault, oldBlock.WrappingKey(), entries, secrets, &plaintext, error)) {
            return false;
        }
        VaultHeader header = vault.header;
        if (!RandomFill(header.passwordSalt) || !RandomFill(header.dataIv)) {
            return Fail(error, L"Failed to generate random bytes.");
        }
        VaultKeyBlock newBlock;
        if (!DeriveVaultKeyBlock(newPassword, header.passwordSalt, newBlock)) {
            return Fail(error, L"Failed to derive encryption key.");
        }
        header.passwordVerifier = newBlock.Verifier();
        std::string ciphertext;
        if (!EncryptDocument(header, newBlock.WrappingKey(), plaintext.get(), ciphertext, error)) {
            return false;
        }
        return WriteVault(SerializeVaultFile(header, ciphertext), error);
    }

    if (!ReadWholeHeaderAndCiphertext(vault)) {
        return Fail(error, L"Vault file appears corrupt.");
    }
    VaultKeyBlock oldBlock;
    if (!CheckPassword(vault.header, oldPassword, oldBlock, L"The old password is incorrect.",
                       error)) {
        return false;
    }
    VaultMasterKey master;
    if (!UnwrapKey(oldBlock, vault.header.passwordIv, vault.header.passwordWrappedKey, master)) {
        return Fail(error, L"Failed to unwrap vault key.");
    }
    VaultHeader header = vault.header;
    if (!SetPasswordFields(header, newPassword, master, error)) {
        return false;
    }
    return WriteVault(SerializeVaultFile(header, vault.ciphertext), error);
}

bool RecoverVaultPassword(std::wstring_view recoveryKey, std::wstring_view newPassword,
                          std::wstring& error) {
    LoadedVault vault;
    if (!ReadVaultFileStart(VaultPath(), vault.bytes)) {
        return Fail(error, L"Cannot open vault file.");
    }
    if (VaultVersionOf(vault.bytes) != VaultVersion::V2) {
        return Fail(error, L"This vault does not have a recovery key configured.");
    }
    if (!ReadWholeHeaderAndCiphertext(vault)) {
        return Fail(error, L"Vault file appears corrupt.");
    }
    VaultKeyBlock block;
    std::wstring normalized = NormalizeRecoveryKey(recoveryKey);
    const bool derived = DeriveVaultKeyBlock(normalized, vault.header.recoverySalt, block);
    WipeWide(normalized);
    if (!derived) {
        return Fail(error, L"Failed to derive key.");
    }
    if (!SameVerifier(block.Verifier(), vault.header.recoveryVerifier)) {
        return Fail(error, L"Invalid recovery key.");
    }
    VaultMasterKey master;
    if (!UnwrapKey(block, vault.header.recoveryIv, vault.header.recoveryWrappedKey, master)) {
        return Fail(error, L"Failed to unwrap vault key.");
    }
    VaultHeader header = vault.header;
    if (!SetPasswordFields(header, newPassword, master, error)) {
        return false;
    }
    return WriteVault(SerializeVaultFile(header, vault.ciphertext), error);
}

}  // namespace wrenpost
