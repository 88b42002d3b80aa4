// Text conversions shared by every subsystem: the one place where UTF-8 meets wide strings.
#pragma once

#include <string>
#include <string_view>

namespace wrenpost {

// Works for both 16-bit (Windows) and 32-bit (Linux) wchar_t; invalid input becomes U+FFFD.
std::string WideToUtf8(std::wstring_view text);
std::wstring Utf8ToWide(std::string_view text);
// Fails, leaving `out` alone, on any byte sequence that is not well-formed UTF-8.
[[nodiscard]] bool Utf8ToWideStrict(std::string_view text, std::wstring& out);

// One byte per character, for texts known to be ASCII or Latin-1.
std::wstring Latin1ToWide(std::string_view text);

// Trims spaces, tabs, CR and LF at both ends (the rule for every text box the program reads).
std::wstring TrimWhitespace(std::wstring_view text);

// Decimal text of a signed or unsigned integer as a wide string.
std::wstring ToWideDecimal(long long value);

// Number of UTF-16 code units the text occupies on Windows (equal to size() there).
std::size_t Utf16Length(std::wstring_view text);

// How many elements of `text` make its longest start of at most `maxUnits` UTF-16 units that
// does not end inside a surrogate pair.
std::size_t Utf16FittingPrefix(std::wstring_view text, std::size_t maxUnits);

}  // namespace wrenpost
