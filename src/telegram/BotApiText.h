// Bot API request and response texts: percent-encoding, the tolerant readers of Bot API JSON
// answers (scanners equivalent to the documented patterns, linear and without recursion) and
// the user-facing texts for network failures.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wrenpost {

// The text as UTF-8 bytes: A-Z a-z 0-9 - . _ ~ copied, space "%20", line feed "%0A", every
// other byte "%XX" (upper-case hex).
std::wstring UrlEncode(std::wstring_view text);

// True when the body holds "ok":true or "ok": true exactly (no other spacing counts).
bool ContainsOkTrue(std::wstring_view body);

// Group 1 of the first match of "description"\s*:\s*"([^"]+)"; nullopt when there is none.
std::optional<std::wstring> FindDescription(std::wstring_view body);

struct OkResult {
    bool ok = false;
    std::vector<std::wstring> items;  // each a complete top-level {...} of the result array
    std::wstring error;               // set when not ok
};
OkResult ParseOkResult(std::wstring_view body);

// Group 1 of the first match of "<key>"\s*:\s*"([^"]*)" (raw, still escaped).
std::optional<std::wstring> ExtractStringField(std::wstring_view text, std::wstring_view key);
// Group 1 of the first match of "<key>"\s*:\s*(-?\d+); nullopt also when the number does not fit
// in 64 bits.
std::optional<std::int64_t> ExtractIntField(std::wstring_view text, std::wstring_view key);
// Group 1 of the first match of "<key>"\s*:\s*\{([^}]*)\} (an object without nested braces).
std::optional<std::wstring> ExtractFlatObject(std::wstring_view text, std::wstring_view key);

// Full JSON string unescaping of a raw value (\" \\ \/ \b \f \n \r \t and \uXXXX with surrogate
// pairs); malformed escapes are kept as written.
std::wstring DecodeJsonString(std::wstring_view raw);

// Sent texts longer than Telegram's limit are cut on a character boundary and end in U+2026.
inline constexpr std::size_t kTelegramMaxTextUnits = 4096;
std::wstring CapMessageText(std::wstring_view text);

// Texts for WinHTTP error numbers.
std::wstring DescribeWinHttpError(std::uint32_t code);
std::wstring FormatConnectError(std::uint32_t code);
std::wstring FormatBotCheckError(std::wstring_view stage, std::wstring_view detail,
                                 std::uint32_t winHttpCode, std::uint32_t httpStatus);

}  // namespace wrenpost
