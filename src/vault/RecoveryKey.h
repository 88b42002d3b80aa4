// Texts made from random bytes: the vault's recovery key and the ids of entries and hand-offs.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace wrenpost {

// 32 symbols without 0, 1, I and O, so a key read aloud or copied by hand is unambiguous.
inline constexpr std::wstring_view kRecoveryKeyAlphabet = L"23456789ABCDEFGHJKLMNPQRSTUVWXYZ";
inline constexpr std::size_t kRecoveryKeyRandomBytes = 24;
inline constexpr std::size_t kVaultEntryIdRandomBytes = 8;

using RecoveryKeyRandom = std::array<unsigned char, kRecoveryKeyRandomBytes>;
using VaultEntryIdRandom = std::array<unsigned char, kVaultEntryIdRandomBytes>;

// One symbol per byte (its low five bits), in six groups of four joined by "-".
std::wstring FormatRecoveryKey(const RecoveryKeyRandom& random);

// The form the key is derived from: tab, CR, LF, space and "-" removed, ASCII letters
// upper-cased, so the key may be typed in lower case, without dashes or with spaces.
std::wstring NormalizeRecoveryKey(std::wstring_view typed);

// The bytes in order as upper-case hexadecimal (16 characters).
std::wstring FormatVaultEntryId(const VaultEntryIdRandom& random);

}  // namespace wrenpost
