// Vaults written by the first file version (password only, no recovery key): they open, save
// and change their password as version 1 files, and recovery refuses them.
#include <gtest/gtest.h>

#include "VaultTestSupport.h"

namespace wrenpost::testing {
namespace {

const std::wstring kPassword = L"old vault";

class FirstVersionVault : public VaultTest {
protected:
    void SetUp() override {
        VaultTest::SetUp();
        SetFileBytes(
            BuildFirstVersionVault(kPassword, WriteVaultDocument(SampleEntries(), nullptr)));
    }

    // The file is a version 1 file: its magic, its 92-byte header and its length field agree.
    void ExpectFirstVersionFile() {
        const std::string file = FileBytes();
        ASSERT_GE(file.size(), 92u);
        EXPECT_EQ(file.substr(0, 8), "WPVLT001");
        VaultHeader header;
        ASSERT_TRUE(ParseVaultHeader(file, header));
        EXPECT_EQ(header.ciphertextLength, file.size() - 92);
        EXPECT_FALSE(IsVaultV2());
    }
};

TEST_F(FirstVersionVault, OpensButRefusesAWrongPasswordAndRecoveryKeepingTheFile) {
    EXPECT_TRUE(VerifyVaultPassword(kPassword));
    EXPECT_EQ(OpenOk(kPassword), SampleEntries());
    EXPECT_EQ(OpenError(L"wrong"), L"Invalid vault password.");
    const std::string before = FileBytes();
    std::wstring error;
    EXPECT_FALSE(SaveVault(L"wrong", {}, error));
    EXPECT_EQ(error, L"Invalid vault password.");
    EXPECT_FALSE(RecoverVaultPassword(L"2345-6789-ABCD-EFGH-JKLM-NPQR", L"new", error));
    EXPECT_EQ(error, L"This vault does not have a recovery key configured.");
    EXPECT_EQ(FileBytes(), before);
}

TEST_F(FirstVersionVault, SavesAsAFirstVersionFileWithTheSameSaltAndANewIv) {
    const std::string before = FileBytes();
    std::vector<VaultEntry> entries = SampleEntries();
    entries[0].notes = L"changed \"notes\"\n\tand \\ more";
    std::wstring error;
    ASSERT_TRUE(SaveVault(kPassword, entries, error)) << WideToUtf8(error);
    ExpectFirstVersionFile();
    const std::string after = FileBytes();
    EXPECT_EQ(after.substr(8, 32), before.substr(8, 32));    // salt
    EXPECT_NE(after.substr(40, 16), before.substr(40, 16));  // IV
    EXPECT_EQ(after.substr(56, 32), before.substr(56, 32));  // verifier
    EXPECT_EQ(OpenOk(kPassword), entries);
}

TEST_F(FirstVersionVault, ChangesItsPasswordAndStaysAFirstVersionFile) {
    std::wstring error;
    EXPECT_FALSE(ChangeVaultPassword(L"wrong", L"new", error));
    EXPECT_EQ(error, L"The old password is incorrect.");

    const std::string before = FileBytes();
    ASSERT_TRUE(ChangeVaultPassword(kPassword, L"new \u00fc", error)) << WideToUtf8(error);
    ExpectFirstVersionFile();
    const std::string after = FileBytes();
    EXPECT_NE(after.substr(8, 32), before.substr(8, 32));
    EXPECT_FALSE(VerifyVaultPassword(kPassword));
    EXPECT_EQ(OpenOk(L"new \u00fc"), SampleEntries());

    ASSERT_TRUE(SaveVault(L"new \u00fc", {SampleEntries()[1]}, error)) << WideToUtf8(error);
    ExpectFirstVersionFile();
    EXPECT_EQ(OpenOk(L"new \u00fc"), std::vector<VaultEntry>{SampleEntries()[1]});
}

TEST_F(FirstVersionVault, ReportsBadLengthsAndATruncatedHeaderAsCorrupt) {
    const std::string whole = FileBytes();
    for (const std::uint32_t length : {0u, kMaxVaultCiphertextSize + 1}) {
        std::string damaged = whole;
        for (int i = 0; i < 4; ++i) {
            damaged[88 + i] = static_cast<char>((length >> (8 * i)) & 0xFF);
        }
        SetFileBytes(damaged);
        EXPECT_EQ(OpenError(kPassword), L"Vault file appears corrupt.") << length;
        std::wstring error;
        EXPECT_FALSE(ChangeVaultPassword(kPassword, L"x", error));
        EXPECT_EQ(error, L"Vault file appears corrupt.");
        EXPECT_EQ(FileBytes(), damaged);
    }
    SetFileBytes(whole.substr(0, 91));
    EXPECT_EQ(OpenError(kPassword), L"Vault file appears corrupt.");
    std::wstring error;
    EXPECT_FALSE(SaveVault(kPassword, {}, error));
    EXPECT_EQ(error, L"Vault file appears corrupt.");
}

TEST_F(FirstVersionVault, AFailedWriteKeepsTheOldFile) {
    const std::string before = FileBytes();
    std::wstring error;
    FailNextAtomicWritesForTesting(1);
    EXPECT_FALSE(SaveVault(kPassword, {}, error));
    EXPECT_EQ(error, L"Failed to write vault file.");
    FailNextAtomicWritesForTesting(1);
    EXPECT_FALSE(ChangeVaultPassword(kPassword, L"new", error));
    EXPECT_EQ(error, L"Failed to write vault file.");
    EXPECT_EQ(FileBytes(), before);
}

}  // namespace
}  // namespace wrenpost::testing
