// Hand-written JSON text helpers shared by every hand-written file (profile, rules, packages,
// status). The readers search by key anywhere in the text and accept exactly the texts of the
// ECMAScript patterns noted beside them; they are scanners, not regular expressions, so a huge
// value costs linear time and no stack.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wrenpost {

// Backslash, double quote, LF, CR and tab only; everything else is copied unchanged.
std::wstring JsonEscape(std::wstring_view text);

// The one JSON string decoder; each reader picks what its format needs.
enum class JsonEscapes {
    // \n \r \t, and backslash + X -> X for any other X (the hand-written files' own layout).
    FileLayout,
    // \" \\ \/ \b \f \n \r \t and \uXXXX, a surrogate pair as one character and a lone
    // surrogate as U+FFFD.
    Standard,
};
struct JsonStringOptions {
    JsonEscapes escapes = JsonEscapes::Standard;
    // When not 0, each \uXXXX above U+007F becomes this character on its own (so a surrogate
    // pair gives two), keeping escapes ASCII-only.
    char nonAsciiStandIn = 0;
    // Off: a malformed escape and a trailing backslash are kept as written, and the whole text is
    // decoded. On: they and raw control characters are errors, and decoding ends at the first
    // unescaped '"', which must come.
    bool strict = false;
};
template <typename Char>
struct DecodedJsonString {
    std::basic_string<Char> text;
    // Strict: just after the closing quote, or where the error is. Otherwise the text's size.
    std::size_t end = 0;
    const char* error = nullptr;  // strict only
};
// Byte strings are decoded byte by byte; a \u character they keep is appended as UTF-8.
DecodedJsonString<wchar_t> UnescapeJsonString(std::wstring_view text,
                                              const JsonStringOptions& options);
DecodedJsonString<char> UnescapeJsonString(std::string_view text, const JsonStringOptions& options);
// The hand-written files' decoding: FileLayout escapes, nothing refused.
std::wstring JsonUnescape(std::wstring_view text);

// "key"\s*:\s*"([^"\\]*(?:\\.[^"\\]*)*)"  -> unescaped group 1, empty when absent.
std::wstring ReadJsonStringField(std::wstring_view text, std::wstring_view key);
// "key"\s*:\s*(\d+)  -> the number; 10 when absent or beyond the signed 32-bit range.
std::int32_t ReadJsonIntField(std::wstring_view text, std::wstring_view key);
// "key"\s*:\s*(true|false)  -> the word; `fallback` when absent.
bool ReadJsonBoolField(std::wstring_view text, std::wstring_view key, bool fallback);

// ---- building blocks for the readers (also used by other file readers)

// ECMAScript \s: white space and line terminators.
bool IsJsonPatternSpace(wchar_t c);
// ECMAScript '.': anything but a line terminator.
bool IsJsonPatternAnyChar(wchar_t c);
std::size_t SkipPatternSpace(std::wstring_view text, std::size_t pos);

// From `open` (an opening bracket), the position of the bracket that closes it, counting the
// brackets of `opens` and `closes` outside string literals (a backslash in a string skips the
// next character); npos when it is never closed.
std::size_t FindClosingBracket(std::wstring_view text, std::size_t open, std::wstring_view opens,
                               std::wstring_view closes);

// At `pos` (which must hold '"'), matches "([^"\\]*(?:\\.[^"\\]*)*)" and returns the position
// after the closing quote, with the raw (still escaped) content in `raw`.
std::optional<std::size_t> MatchQuotedRaw(std::wstring_view text, std::size_t pos,
                                          std::wstring_view* raw);

// The shape of one array object: '{', then for each member  \s*"Key"\s*:\s*<value>  separated
// by \s*,  and finally \s*'}'. Values are quoted strings or the words true/false.
enum class JsonValueKind { String, Bool };
struct JsonObjectMember {
    std::wstring_view key;
    JsonValueKind kind;
};

// Every non-overlapping match of the object shape in text order; each match gives the member
// values in order (strings unescaped, booleans as "true"/"false").
std::vector<std::vector<std::wstring>> FindJsonObjects(std::wstring_view text,
                                                       const std::vector<JsonObjectMember>& shape);

}  // namespace wrenpost
