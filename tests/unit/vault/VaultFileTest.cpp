// The two byte layouts of TokenVault.dat: where every field sits, and which files count as
// whole.
#include <gtest/gtest.h>

#include <string>

#include "support/TempDir.h"
#include "vault/VaultFile.h"

namespace wrenpost {
namespace {

// Every field filled with its own byte value, so a misplaced field shows in the bytes.
VaultHeader DistinctHeader(VaultVersion version) {
    VaultHeader h;
    h.version = version;
    h.passwordSalt.fill(0x11);
    h.dataIv.fill(0x1A);
    h.passwordVerifier.fill(0x13);
    if (version == VaultVersion::V2) {
        h.passwordIv.fill(0x12);
        h.passwordWrappedKey.fill(0x14);
        h.recoverySalt.fill(0x15);
        h.recoveryIv.fill(0x16);
        h.recoveryVerifier.fill(0x17);
        h.recoveryWrappedKey.fill(0x18);
    }
    return h;
}

// Runs of the given sizes, the i-th filled with values[i].
std::string Runs(std::string_view values, std::initializer_list<std::size_t> sizes) {
    std::string out;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        out.append(sizes.begin()[i], values[i]);
    }
    return out;
}

TEST(VaultFileLayout, PlacesEveryFieldAtItsDocumentedOffset) {
    EXPECT_EQ(
        SerializeVaultFile(DistinctHeader(VaultVersion::V2), "CIPHER"),
        "WPVLT002" +
            Runs("\x11\x12\x13\x14\x15\x16\x17\x18\x1A", {32, 16, 32, 48, 32, 16, 32, 48, 16}) +
            std::string("\x06\x00\x00\x00", 4) + "CIPHER");
    EXPECT_EQ(SerializeVaultFile(DistinctHeader(VaultVersion::V1), "AB"),
              "WPVLT001" + Runs("\x11\x1A\x13", {32, 16, 32}) + std::string("\x02\x00\x00\x00", 4) +
                  "AB");
    const std::string big =
        SerializeVaultFile(DistinctHeader(VaultVersion::V2), std::string(0x010203, 'x'));
    EXPECT_EQ(big.substr(280, 4), std::string("\x03\x02\x01\x00", 4));
}

TEST(VaultFileParse, ReadsBackWhatWasWrittenAndRefusesTruncatedHeaders) {
    for (const VaultVersion version : {VaultVersion::V1, VaultVersion::V2}) {
        VaultHeader header = DistinctHeader(version);
        const std::string file = SerializeVaultFile(header, "0123456789abcdef");
        header.ciphertextLength = 16;
        VaultHeader parsed;
        ASSERT_TRUE(ParseVaultHeader(file, parsed));
        EXPECT_EQ(parsed, header);
        std::string_view ciphertext;
        const std::string longer = file + "trailing";
        ASSERT_TRUE(SliceVaultCiphertext(longer, parsed, ciphertext));
        EXPECT_EQ(ciphertext, "0123456789abcdef");
        EXPECT_FALSE(SliceVaultCiphertext(file.substr(0, file.size() - 1), parsed, ciphertext));
        const std::size_t headerSize = VaultHeaderSize(version);
        EXPECT_TRUE(ParseVaultHeader(file.substr(0, headerSize), parsed));
        EXPECT_FALSE(ParseVaultHeader(file.substr(0, headerSize - 1), parsed));
    }
    EXPECT_EQ(VaultVersionOf("WPVLT001rest"), VaultVersion::V1);
    EXPECT_EQ(VaultVersionOf("WPVLT002"), VaultVersion::V2);
    for (const char* foreign : {"WPVLT00", "WPVLT003", "wpvlt002", ""}) {
        EXPECT_FALSE(VaultVersionOf(foreign)) << foreign;
    }
}

TEST(VaultFileParse, AcceptsCiphertextLengthsFromOneByteToTenMebibytes) {
    VaultHeader header = DistinctHeader(VaultVersion::V2);
    const std::string file =
        SerializeVaultFile(header, std::string(kMaxVaultCiphertextSize + 1, 'c'));
    for (const std::uint32_t length :
         {1u, kMaxVaultCiphertextSize, 0u, kMaxVaultCiphertextSize + 1, 0xFFFFFFFFu}) {
        header.ciphertextLength = length;
        std::string_view ciphertext;
        const bool valid = length != 0 && length <= kMaxVaultCiphertextSize;
        EXPECT_EQ(SliceVaultCiphertext(file, header, ciphertext), valid) << length;
        EXPECT_EQ(ciphertext.size(), valid ? length : 0u) << length;
    }
}

TEST(VaultFileRead, ReadsNoMoreThanAVaultCanHold) {
    testing::TempDir dir;
    std::string bytes;
    EXPECT_FALSE(ReadVaultFileStart(dir / L"missing.dat", bytes));
    testing::WriteAllBytes(dir / L"big.dat",
                           std::string(kVaultHeaderSizeV2 + kMaxVaultCiphertextSize + 5000, 'z'));
    ASSERT_TRUE(ReadVaultFileStart(dir / L"big.dat", bytes));
    EXPECT_EQ(bytes.size(), kVaultHeaderSizeV2 + kMaxVaultCiphertextSize);
    testing::WriteAllBytes(dir / L"small.dat", "WPVLT0");
    ASSERT_TRUE(ReadVaultFileStart(dir / L"small.dat", bytes));
    EXPECT_EQ(bytes, "WPVLT0");
}

}  // namespace
}  // namespace wrenpost
