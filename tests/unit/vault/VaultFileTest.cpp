// The two byte layouts of TokenVault.dat: where every field sits, and which files count as
// whole.
#include <gtest/gtest.h>

#include <string>

#include "support/TempDir.h"
#include "vault/VaultFile.h"

namespace wrenpost {
namespace {

template <std::size_t N>
std::array<unsigned char, N> Filled(unsigned char value) {
    std::array<unsigned char, N> field;
    field.fill(value);
    return field;
}

VaultHeader DistinctHeader(VaultVersion version) {
    VaultHeader header;
    header.version = version;
    header.passwordSalt = Filled<32>(0x11);
    header.dataIv = Filled<16>(0x1A);
    header.passwordVerifier = Filled<32>(0x13);
    if (version == VaultVersion::V2) {
        header.passwordIv = Filled<16>(0x12);
        header.passwordWrappedKey = Filled<48>(0x14);
        header.recoverySalt = Filled<32>(0x15);
        header.recoveryIv = Filled<16>(0x16);
        header.recoveryVerifier = Filled<32>(0x17);
        header.recoveryWrappedKey = Filled<48>(0x18);
    }
    return header;
}

// The byte expected at each offset, built from the documented table.
std::string Layout(std::initializer_list<std::pair<std::size_t, unsigned char>> runs) {
    std::string out;
    for (const auto& [size, value] : runs) {
        out.append(size, static_cast<char>(value));
    }
    return out;
}

TEST(VaultFileLayout, PlacesEverySecondVersionFieldAtItsOffset) {
    const std::string file = SerializeVaultFile(DistinctHeader(VaultVersion::V2), "CIPHER");
    ASSERT_EQ(file.size(), 284u + 6u);
    const std::string expected = "WPVLT002" +
                                 Layout({{32, 0x11},
                                         {16, 0x12},
                                         {32, 0x13},
                                         {48, 0x14},
                                         {32, 0x15},
                                         {16, 0x16},
                                         {32, 0x17},
                                         {48, 0x18},
                                         {16, 0x1A}}) +
                                 std::string("\x06\x00\x00\x00", 4) + "CIPHER";
    EXPECT_EQ(file, expected);
}

TEST(VaultFileLayout, PlacesEveryFirstVersionFieldAtItsOffset) {
    const std::string file = SerializeVaultFile(DistinctHeader(VaultVersion::V1), "AB");
    const std::string expected = "WPVLT001" + Layout({{32, 0x11}, {16, 0x1A}, {32, 0x13}}) +
                                 std::string("\x02\x00\x00\x00", 4) + "AB";
    EXPECT_EQ(file, expected);
}

TEST(VaultFileLayout, WritesTheLengthLittleEndian) {
    const std::string ciphertext(0x010203, 'x');
    const std::string file = SerializeVaultFile(DistinctHeader(VaultVersion::V2), ciphertext);
    EXPECT_EQ(file.substr(280, 4), std::string("\x03\x02\x01\x00", 4));
}

TEST(VaultFileParse, ReadsBackWhatWasWritten) {
    for (const VaultVersion version : {VaultVersion::V1, VaultVersion::V2}) {
        VaultHeader header = DistinctHeader(version);
        const std::string file = SerializeVaultFile(header, "0123456789abcdef");
        header.ciphertextLength = 16;
        VaultHeader parsed;
        ASSERT_TRUE(ParseVaultHeader(file, parsed));
        EXPECT_EQ(parsed, header);
        std::string_view ciphertext;
        ASSERT_TRUE(SliceVaultCiphertext(file, parsed, ciphertext));
        EXPECT_EQ(ciphertext, "0123456789abcdef");
    }
}

TEST(VaultFileParse, KnowsOnlyTheTwoMagics) {
    EXPECT_EQ(VaultVersionOf("WPVLT001rest"), VaultVersion::V1);
    EXPECT_EQ(VaultVersionOf("WPVLT002"), VaultVersion::V2);
    EXPECT_FALSE(VaultVersionOf("WPVLT00"));
    EXPECT_FALSE(VaultVersionOf("WPVLT003"));
    EXPECT_FALSE(VaultVersionOf("wpvlt002"));
    EXPECT_FALSE(VaultVersionOf(""));
}

TEST(VaultFileParse, RefusesATruncatedHeader) {
    for (const VaultVersion version : {VaultVersion::V1, VaultVersion::V2}) {
        const std::string file = SerializeVaultFile(DistinctHeader(version), "x");
        const std::size_t headerSize = VaultHeaderSize(version);
        VaultHeader parsed;
        EXPECT_FALSE(ParseVaultHeader(file.substr(0, headerSize - 1), parsed));
        EXPECT_TRUE(ParseVaultHeader(file.substr(0, headerSize), parsed));
    }
}

TEST(VaultFileParse, AcceptsCiphertextLengthsFromOneByteToTenMebibytes) {
    VaultHeader header = DistinctHeader(VaultVersion::V2);
    const std::string body(kMaxVaultCiphertextSize + 1, 'c');
    const std::string file = SerializeVaultFile(header, body);
    std::string_view ciphertext;

    header.ciphertextLength = 0;
    EXPECT_FALSE(SliceVaultCiphertext(file, header, ciphertext));
    header.ciphertextLength = 1;
    EXPECT_TRUE(SliceVaultCiphertext(file, header, ciphertext));
    header.ciphertextLength = kMaxVaultCiphertextSize;
    EXPECT_TRUE(SliceVaultCiphertext(file, header, ciphertext));
    EXPECT_EQ(ciphertext.size(), kMaxVaultCiphertextSize);
    header.ciphertextLength = kMaxVaultCiphertextSize + 1;
    EXPECT_FALSE(SliceVaultCiphertext(file, header, ciphertext));
    header.ciphertextLength = 0xFFFFFFFFu;
    EXPECT_FALSE(SliceVaultCiphertext(file, header, ciphertext));
}

TEST(VaultFileParse, RefusesACiphertextShorterThanAnnounced) {
    VaultHeader header = DistinctHeader(VaultVersion::V1);
    const std::string file = SerializeVaultFile(header, std::string(32, 'c'));
    ASSERT_TRUE(ParseVaultHeader(file, header));
    std::string_view ciphertext;
    EXPECT_FALSE(SliceVaultCiphertext(file.substr(0, file.size() - 1), header, ciphertext));
    const std::string longer = file + "trailing";
    EXPECT_TRUE(SliceVaultCiphertext(longer, header, ciphertext));
    EXPECT_EQ(ciphertext, std::string(32, 'c'));
}

TEST(VaultFileRead, ReadsNoMoreThanAVaultCanHold) {
    testing::TempDir dir;
    std::string bytes;
    EXPECT_FALSE(ReadVaultFileStart(dir / L"missing.dat", bytes));

    const std::string big(kVaultHeaderSizeV2 + kMaxVaultCiphertextSize + 5000, 'z');
    testing::WriteAllBytes(dir / L"big.dat", big);
    ASSERT_TRUE(ReadVaultFileStart(dir / L"big.dat", bytes));
    EXPECT_EQ(bytes.size(), kVaultHeaderSizeV2 + kMaxVaultCiphertextSize);

    testing::WriteAllBytes(dir / L"small.dat", "WPVLT0");
    ASSERT_TRUE(ReadVaultFileStart(dir / L"small.dat", bytes));
    EXPECT_EQ(bytes, "WPVLT0");
}

}  // namespace
}  // namespace wrenpost
