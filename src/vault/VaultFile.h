// The byte layout of TokenVault.dat in both versions. Pure data: the cryptography that fills
// and checks these fields lives in the Windows store.
//
//   version 2 ("WPVLT002"), 284-byte header:
//     0 magic(8) | 8 password salt(32) | 40 password IV(16) | 56 password verifier(32)
//     | 88 master key wrapped by the password(48) | 136 recovery salt(32) | 168 recovery IV(16)
//     | 184 recovery verifier(32) | 216 master key wrapped by the recovery key(48)
//     | 264 data IV(16) | 280 ciphertext length(4, little-endian) | 284 ciphertext
//   version 1 ("WPVLT001"), 92-byte header:
//     0 magic(8) | 8 password salt(32) | 40 IV(16) | 56 password verifier(32)
//     | 88 ciphertext length(4, little-endian) | 92 ciphertext
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace wrenpost {

inline constexpr std::string_view kVaultMagicV1 = "WPVLT001";
inline constexpr std::string_view kVaultMagicV2 = "WPVLT002";
inline constexpr std::size_t kVaultMagicSize = 8;
inline constexpr std::size_t kVaultHeaderSizeV1 = 92;
inline constexpr std::size_t kVaultHeaderSizeV2 = 284;
inline constexpr std::uint32_t kMaxVaultCiphertextSize = 10 * 1024 * 1024;

enum class VaultVersion { V1, V2 };

using VaultSalt = std::array<unsigned char, 32>;
using VaultIv = std::array<unsigned char, 16>;
using VaultVerifier = std::array<unsigned char, 32>;
using VaultWrappedKey = std::array<unsigned char, 48>;  // 32-byte key + one padding block

struct VaultHeader {
    VaultVersion version = VaultVersion::V2;
    VaultSalt passwordSalt{};
    VaultIv passwordIv{};  // version 2 only: wraps the master key
    VaultVerifier passwordVerifier{};
    VaultWrappedKey passwordWrappedKey{};
    VaultSalt recoverySalt{};
    VaultIv recoveryIv{};
    VaultVerifier recoveryVerifier{};
    VaultWrappedKey recoveryWrappedKey{};
    VaultIv dataIv{};  // version 1 keeps its single IV here
    std::uint32_t ciphertextLength = 0;

    bool operator==(const VaultHeader&) const = default;
};

// The version named by the first eight bytes; nothing when they are short or unknown.
std::optional<VaultVersion> VaultVersionOf(std::string_view fileStart);

std::size_t VaultHeaderSize(VaultVersion version);

// Needs a known magic and the whole header of that version.
[[nodiscard]] bool ParseVaultHeader(std::string_view file, VaultHeader& header);

// The ciphertext the header announces: its length must be 1 .. 10 MiB and wholly present.
[[nodiscard]] bool SliceVaultCiphertext(std::string_view file, const VaultHeader& header,
                                        std::string_view& ciphertext);

// Header (with the length taken from `ciphertext`) followed by the ciphertext.
std::string SerializeVaultFile(const VaultHeader& header, std::string_view ciphertext);

// Reads at most what a valid vault can hold (the largest header plus 10 MiB); more is never
// needed and a huge foreign file must not be loaded whole. False when the file cannot be opened.
[[nodiscard]] bool ReadVaultFileStart(const std::filesystem::path& path, std::string& bytes);

}  // namespace wrenpost
