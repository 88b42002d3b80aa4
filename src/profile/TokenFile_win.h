// <ProfileName>.token: the bot token encrypted with DPAPI for the current Windows user, kept as a
// hidden file.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace wrenpost {

// Encrypts the token (UTF-16 and one NUL) before anything on disk changes, then replaces the file
// in one step and marks it hidden. On failure the previous file is left byte for byte as it was
// and `error` says why.
[[nodiscard]] bool WriteTokenFile(const std::filesystem::path& path, std::wstring_view token,
                                  std::wstring* error = nullptr);

// The token, or empty on every failure with the reason in `error` (a token encrypted by another
// Windows user or on another computer cannot be decrypted here).
std::wstring ReadTokenFile(const std::filesystem::path& path, std::wstring* error = nullptr);

}  // namespace wrenpost
