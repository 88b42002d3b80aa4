// The platform-free half of the token hand-off between the vault window and a new instance:
// identifier rules, the file name and the protected text (timestamp + "|" + token).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace wrenpost {

inline constexpr std::int64_t kHandoffLifetimeSeconds = 61;  // refused from 61 s on
// Clocks of one machine barely differ; a stamp further ahead would otherwise never expire.
inline constexpr std::int64_t kHandoffFutureToleranceSeconds = 5;

// 1 to 64 characters, each an ASCII letter or digit: the id becomes part of a file name, so
// nothing that could leave the temporary folder (a backslash, a dot) ever gets that far.
[[nodiscard]] bool IsValidHandoffId(std::wstring_view id);

// "VaultLaunch_" + id + ".tmp"
std::wstring HandoffFileName(std::wstring_view id);

// Whole seconds since 1970 (UTC) in decimal, "|", the token.
std::wstring BuildHandoffText(std::int64_t createdUnixSeconds, std::wstring_view token);

enum class HandoffTextResult { Ok, Malformed, Expired };

// `text` is the decrypted text; it ends at its first zero character. The token is given only
// with Ok.
HandoffTextResult ParseHandoffText(std::wstring_view text, std::int64_t nowUnixSeconds,
                                   std::wstring& token);

}  // namespace wrenpost
