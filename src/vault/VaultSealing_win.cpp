// Encrypt-then-MAC for version 3 and the reading of every earlier version. The MAC covers every
// header byte, so a flipped IV, count or length is refused like a flipped ciphertext byte.
#include "vault/VaultSealing_win.h"

#include <algorithm>

#include "vault/RecoveryKey.h"
#include "vault/VaultStore_win.h"

namespace wrenpost {
namespace {

template <std::size_t N>
bool RandomFill(std::array<unsigned char, N>& field) {
    return VaultRandomBytes(field.data(), field.size());
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

bool DeriveForSlot(const VaultHeader& header, VaultSlot slot, std::wstring_view secret,
                   VaultKeyBlock& block) {
    if (slot == VaultSlot::Password) {
        return DeriveVaultKeyBlock(secret, header.passwordSalt, header.passwordIterations, block);
    }
    std::wstring normalized = NormalizeRecoveryKey(secret);
    const bool derived =
        DeriveVaultKeyBlock(normalized, header.recoverySalt, header.recoveryIterations, block);
    WipeWide(normalized);
    return derived;
}

}  // namespace

bool VaultFail(std::wstring& error, const wchar_t* text) {
    error = text;
    return false;
}

bool LoadVaultFile(LoadedVault& vault, const wchar_t* missingText, std::wstring& error) {
    if (!ReadVaultFileStart(VaultPath(), vault.bytes)) {
        return VaultFail(error, missingText);
    }
    if (!VaultVersionOf(vault.bytes)) {
        return VaultFail(error, L"Invalid vault file format.");
    }
    if (!ParseVaultHeader(vault.bytes, vault.header) ||
        !SliceVaultCiphertext(vault.bytes, vault.header, vault.ciphertext)) {
        return VaultFail(error, L"Vault file appears corrupt.");
    }
    return true;
}

bool OpenVaultSlot(const VaultHeader& header, VaultSlot slot, std::wstring_view secret,
                   const wchar_t* mismatchText, VaultKeys& keys, std::wstring& error) {
    VaultKeyBlock block;
    if (!DeriveForSlot(header, slot, secret, block)) {
        return VaultFail(error, L"Failed to derive key.");
    }
    const bool password = slot == VaultSlot::Password;
    if (!SameVerifier(block.Verifier(),
                      password ? header.passwordVerifier : header.recoveryVerifier)) {
        return VaultFail(error, mismatchText);
    }
    keys.legacy = header.version != VaultVersion::V3;
    keys.legacyVersion = header.version;
    keys.legacyVerifier = header.passwordVerifier;
    if (header.version == VaultVersion::V1) {
        // The password's own key encrypts a version 1 document; its upgrade needs a master key.
        std::copy_n(block.WrappingKey(), 32, keys.legacyDataKey.data());
        if (!VaultRandomBytes(keys.master.data(), keys.master.bytes.size())) {
            return VaultFail(error, L"Failed to generate master key.");
        }
    } else if (!UnwrapKey(block, password ? header.passwordIv : header.recoveryIv,
                          password ? header.passwordWrappedKey : header.recoveryWrappedKey,
                          keys.master)) {
        return VaultFail(error, L"Failed to unwrap vault key.");
    } else {
        keys.legacyDataKey.bytes = keys.master.bytes;
    }
    if (!DeriveVaultMacKey(keys.master, keys.macKey)) {
        return VaultFail(error, L"Failed to derive key.");
    }
    return true;
}

VaultHeader UpgradedVaultHeader(const VaultHeader& file) {
    VaultHeader header;
    header.version = VaultVersion::V3;
    if (file.version != VaultVersion::V1) {
        header.recoveryIterations = file.recoveryIterations;
        header.recoverySalt = file.recoverySalt;
        header.recoveryIv = file.recoveryIv;
        header.recoveryVerifier = file.recoveryVerifier;
        header.recoveryWrappedKey = file.recoveryWrappedKey;
    } else {
        header.recoveryIterations = 0;
    }
    return header;
}

bool SetVaultPasswordSlot(VaultHeader& header, std::wstring_view password,
                          const VaultMasterKey& master, std::wstring& error) {
    if (!RandomFill(header.passwordSalt) || !RandomFill(header.passwordIv)) {
        return VaultFail(error, L"Failed to generate random bytes.");
    }
    header.passwordIterations = static_cast<std::uint32_t>(NewVaultKdfIterations());
    VaultKeyBlock block;
    if (!DeriveVaultKeyBlock(password, header.passwordSalt, header.passwordIterations, block)) {
        return VaultFail(error, L"Failed to derive encryption key.");
    }
    header.passwordVerifier = block.Verifier();
    if (!WrapKey(block, header.passwordIv, master, header.passwordWrappedKey)) {
        return VaultFail(error, L"Failed to wrap master key.");
    }
    return true;
}

bool ReadVaultDocumentWith(const LoadedVault& vault, const VaultKeys& keys,
                           std::vector<VaultEntry>& entries, VaultSecrets& secrets,
                           WipedString* plaintextOut, std::wstring& error) {
    const unsigned char* dataKey = keys.master.data();
    if (vault.header.version == VaultVersion::V3) {
        VaultMac mac;
        if (!VaultHmac(keys.macKey.data(), keys.macKey.bytes.size(),
                       VaultAuthenticatedBytes(vault.bytes), mac)) {
            return VaultFail(error, L"Failed to derive key.");
        }
        if (!SameMac(mac, vault.header.mac)) {
            return VaultFail(error, kVaultDamagedText);
        }
    } else {
        // Another window re-keyed the earlier-version file since these keys were made.
        if (!keys.legacy || keys.legacyVersion != vault.header.version ||
            !SameVerifier(keys.legacyVerifier, vault.header.passwordVerifier)) {
            return VaultFail(error, kVaultWrongPasswordText);
        }
        dataKey = keys.legacyDataKey.data();
    }
    WipedString plaintext;
    if (!VaultDecrypt(dataKey, vault.header.dataIv, vault.ciphertext, plaintext)) {
        return VaultFail(error, L"Failed to decrypt vault data.");
    }
    if (!ReadVaultDocument(plaintext.get(), entries, secrets)) {
        return VaultFail(error, L"Failed to parse vault data.");
    }
    if (plaintextOut != nullptr) {
        plaintextOut->get().swap(plaintext.get());
    }
    return true;
}

bool SealVaultFile(VaultHeader header, const VaultKeys& keys, std::string_view plaintext,
                   std::string& file, std::wstring& error) {
    header.version = VaultVersion::V3;
    if (!RandomFill(header.dataIv)) {
        return VaultFail(error, L"Failed to generate IV.");
    }
    std::string ciphertext;
    if (!VaultEncrypt(keys.master.data(), header.dataIv, plaintext, ciphertext)) {
        return VaultFail(error, L"Failed to encrypt vault data.");
    }
    std::string bytes = SerializeVaultFile(header, ciphertext);
    VaultMac mac;
    if (!VaultHmac(keys.macKey.data(), keys.macKey.bytes.size(), VaultAuthenticatedBytes(bytes),
                   mac)) {
        return VaultFail(error, L"Failed to encrypt vault data.");
    }
    std::copy(mac.begin(), mac.end(), bytes.end() - static_cast<std::ptrdiff_t>(mac.size()));
    file = std::move(bytes);
    return true;
}

}  // namespace wrenpost
