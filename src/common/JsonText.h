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
// \\ \" \n \r \t, and backslash + X -> X for any other X; a trailing backslash stays.
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
