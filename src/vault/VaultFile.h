// The byte layout of TokenVault.dat in its three versions. Pure data: the cryptography that
// fills and checks these fields lives in the Windows store.
//
//   version 3 ("WPVLT003"), 292-byte header, then the ciphertext, then a 32-byte MAC over both:
//     0 magic(8) | 8 password KDF iterations(4) | 12 recovery KDF iterations(4, 0 = no recovery
//     slot) | 16 password salt(32) | 48 password IV(16) | 64 password verifier(32)
//     | 96 master key wrapped by the password(48) | 144 recovery salt(32) | 176 recovery IV(16)
//     | 192 recovery verifier(32) | 224 master key wrapped by the recovery key(48)
//     | 272 data IV(16) | 288 ciphertext length(4) | 292 ciphertext | MAC(32)
//   (every number little-endian)
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
inline constexpr std::string_view kVaultMagicV3 = "WPVLT003";
inline constexpr std::size_t kVaultMagicSize = 8;
inline constexpr std::size_t kVaultHeaderSizeV1 = 92;
inline constexpr std::size_t kVaultHeaderSizeV2 = 284;
inline constexpr std::size_t kVaultHeaderSizeV3 = 292;
inline constexpr std::size_t kVaultMacSize = 32;
inline constexpr std::uint32_t kMaxVaultCiphertextSize = 10 * 1024 * 1024;
// Versions 1 and 2 do not store the count: they were always written with this one.
inline constexpr std::uint32_t kVaultLegacyKdfIterations = 100000;
// A damaged count must not keep an unlock busy for hours; no version writes more.
inline constexpr std::uint32_t kMaxVaultKdfIterations = 10000000;

enum class VaultVersion { V1, V2, V3 };

using VaultSalt = std::array<unsigned char, 32>;
using VaultIv = std::array<unsigned char, 16>;
using VaultVerifier = std::array<unsigned char, 32>;
using VaultWrappedKey = std::array<unsigned char, 48>;  // 32-byte key + one padding block
using VaultMac = std::array<unsigned char, kVaultMacSize>;

struct VaultHeader {
    VaultVersion version = VaultVersion::V3;
    // Read from a version 3 file; implied by the version of an earlier one (0: no recovery slot).
    std::uint32_t passwordIterations = kVaultLegacyKdfIterations;
    std::uint32_t recoveryIterations = 0;
    VaultSalt passwordSalt{};
    VaultIv passwordIv{};  // from version 2: wraps the master key
    VaultVerifier passwordVerifier{};
    VaultWrappedKey passwordWrappedKey{};
    VaultSalt recoverySalt{};
    VaultIv recoveryIv{};
    VaultVerifier recoveryVerifier{};
    VaultWrappedKey recoveryWrappedKey{};
    VaultIv dataIv{};  // version 1 keeps its single IV here
    std::uint32_t ciphertextLength = 0;
    VaultMac mac{};  // version 3: the file's last 32 bytes

    bool operator==(const VaultHeader&) const = default;
};

// The version named by the first eight bytes; nothing when they are short or unknown.
std::optional<VaultVersion> VaultVersionOf(std::string_view fileStart);

std::size_t VaultHeaderSize(VaultVersion version);

// Needs a known magic and the whole header of that version; a version 3 count must be within
// 1 .. kMaxVaultKdfIterations (0 also for an absent recovery slot).
[[nodiscard]] bool ParseVaultHeader(std::string_view file, VaultHeader& header);

// The ciphertext the header announces: its length must be 1 .. 10 MiB and wholly present; a
// version 3 file must end with the MAC right after it, which is then copied into `header`.
[[nodiscard]] bool SliceVaultCiphertext(std::string_view file, VaultHeader& header,
                                        std::string_view& ciphertext);

// What a version 3 MAC covers: every byte before it.
std::string_view VaultAuthenticatedBytes(std::string_view file);

// Header (with the length taken from `ciphertext`), the ciphertext and, in version 3, the MAC.
std::string SerializeVaultFile(const VaultHeader& header, std::string_view ciphertext);

// Reads at most what a valid vault can hold (the largest header plus 10 MiB); more is never
// needed and a huge foreign file must not be loaded whole. False when the file cannot be opened.
[[nodiscard]] bool ReadVaultFileStart(const std::filesystem::path& path, std::string& bytes);

}  // namespace wrenpost
