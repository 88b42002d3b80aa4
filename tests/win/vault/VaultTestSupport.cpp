#include "VaultTestSupport.h"

#include "common/Text.h"
#include "common/TextFile.h"
#include "vault/RecoveryKey.h"

namespace wrenpost::testing {

std::string BuildFirstVersionVault(const std::wstring& password, std::string_view document) {
    VaultHeader header;
    header.version = VaultVersion::V1;
    header.passwordSalt = Pattern<32>(0x31);
    header.dataIv = Pattern<16>(0x41);
    VaultKeyBlock block;
    EXPECT_TRUE(DeriveVaultKeyBlock(password, header.passwordSalt, block));
    header.passwordVerifier = block.Verifier();
    std::string ciphertext;
    EXPECT_TRUE(VaultEncrypt(block.WrappingKey(), header.dataIv, document, ciphertext));
    return SerializeVaultFile(header, ciphertext);
}

namespace {

VaultWrappedKey Wrap(const VaultKeyBlock& block, const VaultIv& iv, const VaultMasterKey& master) {
    std::string out;
    EXPECT_TRUE(VaultEncrypt(block.WrappingKey(), iv,
                             std::string_view(reinterpret_cast<const char*>(master.data()), 32),
                             out));
    VaultWrappedKey wrapped{};
    EXPECT_EQ(out.size(), wrapped.size());
    std::copy_n(out.begin(), std::min(out.size(), wrapped.size()), wrapped.begin());
    return wrapped;
}

}  // namespace

std::string BuildSecondVersionVault(const std::wstring& password, const std::wstring& recoveryKey,
                                    const VaultMasterKey& master, std::string_view document) {
    VaultHeader header;
    header.version = VaultVersion::V2;
    header.passwordSalt = Pattern<32>(0x51);
    header.passwordIv = Pattern<16>(0x61);
    header.recoverySalt = Pattern<32>(0x71);
    header.recoveryIv = Pattern<16>(0x81);
    header.dataIv = Pattern<16>(0x91);
    VaultKeyBlock passwordBlock;
    EXPECT_TRUE(DeriveVaultKeyBlock(password, header.passwordSalt, passwordBlock));
    header.passwordVerifier = passwordBlock.Verifier();
    header.passwordWrappedKey = Wrap(passwordBlock, header.passwordIv, master);
    VaultKeyBlock recoveryBlock;
    EXPECT_TRUE(
        DeriveVaultKeyBlock(NormalizeRecoveryKey(recoveryKey), header.recoverySalt, recoveryBlock));
    header.recoveryVerifier = recoveryBlock.Verifier();
    header.recoveryWrappedKey = Wrap(recoveryBlock, header.recoveryIv, master);
    std::string ciphertext;
    EXPECT_TRUE(VaultEncrypt(master.data(), header.dataIv, document, ciphertext));
    return SerializeVaultFile(header, ciphertext);
}

std::string DecryptSecondVersionDocument(const std::string& file, const VaultMasterKey& master) {
    VaultHeader header;
    std::string_view ciphertext;
    if (!ParseVaultHeader(file, header) || !SliceVaultCiphertext(file, header, ciphertext)) {
        ADD_FAILURE() << "not a whole vault file";
        return {};
    }
    WipedString plaintext;
    EXPECT_TRUE(VaultDecrypt(master.data(), header.dataIv, ciphertext, plaintext));
    return plaintext.get();
}

}  // namespace wrenpost::testing
