// The three byte layouts of TokenVault.dat: where every field sits, and which files count as
// whole.
#include <gtest/gtest.h>

#include <string>

#include "support/TempDir.h"
#include "vault/VaultFile.h"

namespace wrenpost {
namespace {

// Every field filled with its own byte value, so a misplaced field shows in the bytes.
VaultHeader DistinctHeader(VaultVersion version) {
    VaultHeader h{.version = version};
    h.passwordSalt.fill(0x11);
    h.dataIv.fill(0x1A);
    h.passwordVerifier.fill(0x13);
    h.recoveryIterations = version == VaultVersion::V1 ? 0 : kVaultLegacyKdfIterations;
    if (version == VaultVersion::V3) {
        h.passwordIterations = 0x987654;
        h.recoveryIterations = 0x123456;
        h.mac.fill(0x1B);
    }
    if (version != VaultVersion::V1) {
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
    for (std::size_t i = 0; i < sizes.size(); ++i) out.append(sizes.begin()[i], values[i]);
    return out;
}

// The length is little-endian; a header of each version reads back and needs all its bytes.
TEST(VaultFileLayout, PlacesEveryFieldAtItsDocumentedOffsetAndReadsItBack) {
    EXPECT_EQ(
        SerializeVaultFile(DistinctHeader(VaultVersion::V2), std::string(0x010206, 'x')),
        "WPVLT002" +
            Runs("\x11\x12\x13\x14\x15\x16\x17\x18\x1A", {32, 16, 32, 48, 32, 16, 32, 48, 16}) +
            std::string("\x06\x02\x01\x00", 4) + std::string(0x010206, 'x'));
    EXPECT_EQ(SerializeVaultFile(DistinctHeader(VaultVersion::V1), "AB"),
              "WPVLT001" + Runs("\x11\x1A\x13", {32, 16, 32}) + std::string("\x02\x00\x00\x00", 4) +
                  "AB");
    EXPECT_EQ(
        SerializeVaultFile(DistinctHeader(VaultVersion::V3), "AB"),
        "WPVLT003" + std::string("\x54\x76\x98\x00\x56\x34\x12\x00", 8) +
            Runs("\x11\x12\x13\x14\x15\x16\x17\x18\x1A", {32, 16, 32, 48, 32, 16, 32, 48, 16}) +
            std::string("\x02\x00\x00\x00", 4) + "AB" + std::string(32, '\x1B'));
    for (const VaultVersion version : {VaultVersion::V1, VaultVersion::V2, VaultVersion::V3}) {
        VaultHeader header = DistinctHeader(version), parsed;
        const std::string whole = SerializeVaultFile(header, "0123456789abcdef");
        const std::string file = whole.substr(0, VaultHeaderSize(version));
        header.ciphertextLength = 16;
        ASSERT_TRUE(ParseVaultHeader(file, parsed));
        std::string_view ciphertext;
        ASSERT_TRUE(SliceVaultCiphertext(whole, parsed, ciphertext));
        EXPECT_EQ(parsed, header);
        EXPECT_FALSE(ParseVaultHeader(file.substr(0, file.size() - 1), parsed));
    }
    EXPECT_EQ(VaultVersionOf("WPVLT001rest"), VaultVersion::V1);
    for (const char* foreign : {"WPVLT00", "WPVLT004", "wpvlt002"}) {
        EXPECT_FALSE(VaultVersionOf(foreign)) << foreign;
    }
}

// A count no version writes would keep an unlock busy for hours; the MAC ends the file.
TEST(VaultFileParse, RefusesImpossibleCountsAndBytesAroundTheMac) {
    const struct {
        std::uint32_t password, recovery;
        bool valid;
    } counts[] = {{1, 0, true},
                  {kMaxVaultKdfIterations, kMaxVaultKdfIterations, true},
                  {0, 0, false},
                  {kMaxVaultKdfIterations + 1, 0, false},
                  {1, kMaxVaultKdfIterations + 1, false}};
    for (const auto& c : counts) {
        VaultHeader header = DistinctHeader(VaultVersion::V3), parsed;
        header.passwordIterations = c.password;
        header.recoveryIterations = c.recovery;
        EXPECT_EQ(ParseVaultHeader(SerializeVaultFile(header, "x"), parsed), c.valid) << c.password;
    }
    const std::string file = SerializeVaultFile(DistinctHeader(VaultVersion::V3), "0123");
    for (const std::string& wrong : {file + "z", file.substr(0, file.size() - 1)}) {
        VaultHeader parsed;
        std::string_view ciphertext;
        ASSERT_TRUE(ParseVaultHeader(wrong, parsed));
        EXPECT_FALSE(SliceVaultCiphertext(wrong, parsed, ciphertext)) << wrong.size();
    }
}

// Ciphertext lengths from one byte to 10 MiB, wholly present; reading stops at the most a vault
// can hold.
TEST(VaultFileParse, AcceptsCiphertextLengthsUpToTenMebibytesAndReadsNoMore) {
    VaultHeader header = DistinctHeader(VaultVersion::V2);
    testing::TempDir dir;
    testing::WriteAllBytes(
        dir / L"big.dat",
        SerializeVaultFile(header, std::string(kMaxVaultCiphertextSize + 5000, 'c')));
    std::string file;
    ASSERT_TRUE(ReadVaultFileStart(dir / L"big.dat", file));
    EXPECT_EQ(file.size(), kVaultHeaderSizeV3 + kMaxVaultCiphertextSize + kVaultMacSize);
    EXPECT_FALSE(ReadVaultFileStart(dir / L"missing.dat", file));
    file.push_back('c');
    for (const std::uint32_t length :
         {1u, kMaxVaultCiphertextSize, 0u, kMaxVaultCiphertextSize + 1, 0xFFFFFFFFu}) {
        header.ciphertextLength = length;
        std::string_view ciphertext;
        const bool valid = length != 0 && length <= kMaxVaultCiphertextSize;
        EXPECT_EQ(SliceVaultCiphertext(file, header, ciphertext), valid) << length;
        EXPECT_TRUE(ciphertext == std::string(valid ? length : 0u, 'c')) << length;
    }
    header.ciphertextLength = 5;
    std::string_view ciphertext;
    EXPECT_FALSE(SliceVaultCiphertext(file.substr(0, kVaultHeaderSizeV2 + 4), header, ciphertext));
}

}  // namespace
}  // namespace wrenpost
