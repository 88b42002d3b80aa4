// Shared set-up for the vault store tests: a private vault folder, a low PBKDF2 count (except
// where a test asks for the real one), a scripted random source, and vault files built
// directly from the cryptographic primitives.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/Text.h"
#include "common/TextFile.h"
#include "support/TempDir.h"
#include "vault/VaultCrypto_win.h"
#include "vault/VaultDocument.h"
#include "vault/VaultFile.h"
#include "vault/VaultStore_win.h"

namespace wrenpost::testing {

class VaultTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetVaultFolderProvider([this] { return dir_.Path() / L"AppData"; });
        SetVaultKdfIterationsForTesting(1000);
    }
    void TearDown() override {
        SetVaultFolderProvider(nullptr);
        SetVaultKdfIterationsForTesting(0);
        SetVaultRandomSourceForTesting(nullptr);
        FailNextAtomicWritesForTesting(0);
    }

    std::string FileBytes() const { return ReadAllBytes(VaultPath()); }
    void SetFileBytes(const std::string& bytes) const { WriteAllBytes(VaultPath(), bytes); }

    // A fresh version 2 vault with `entries`; returns its recovery key.
    std::wstring CreateWith(const std::wstring& password, const std::vector<VaultEntry>& entries) {
        std::wstring key;
        std::wstring error;
        EXPECT_TRUE(CreateVault(password, key, error)) << WideToUtf8(error);
        EXPECT_TRUE(SaveVault(password, entries, error)) << WideToUtf8(error);
        return key;
    }

    std::vector<VaultEntry> OpenOk(const std::wstring& password) {
        std::vector<VaultEntry> entries;
        std::wstring error;
        EXPECT_TRUE(OpenVault(password, entries, error)) << WideToUtf8(error);
        return entries;
    }

    std::wstring OpenError(const std::wstring& password) {
        std::vector<VaultEntry> entries;
        std::wstring error;
        EXPECT_FALSE(OpenVault(password, entries, error));
        return error;
    }

    TempDir dir_;
};

inline std::vector<VaultEntry> SampleEntries() {
    return {
        {L"00112233445566AA", L"111:AAA", L"First Bot", L"@first_bot", L"notes one"},
        {L"00112233445566BB", L"222:BBB", L"Second \u0411\u043e\u0442", L"@second_bot", L""},
    };
}

template <std::size_t N>
std::array<unsigned char, N> Pattern(unsigned char seed) {
    std::array<unsigned char, N> bytes;
    for (std::size_t i = 0; i < N; ++i) {
        bytes[i] = static_cast<unsigned char>(seed + 7 * i);
    }
    return bytes;
}

// A version 1 file as the first program versions wrote it: the document (entries only)
// encrypted with the password's wrapping key.
std::string BuildFirstVersionVault(const std::wstring& password, std::string_view document);

// A version 2 file with a chosen master key, recovery key and document.
std::string BuildSecondVersionVault(const std::wstring& password, const std::wstring& recoveryKey,
                                    const VaultMasterKey& master, std::string_view document);

// The document inside a version 2 file, decrypted with a known master key.
std::string DecryptSecondVersionDocument(const std::string& file, const VaultMasterKey& master);

}  // namespace wrenpost::testing
