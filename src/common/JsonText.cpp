#include "common/JsonText.h"

#include <limits>
#include <type_traits>

namespace wrenpost {
namespace {

// Finds the first occurrence of "key" followed by \s*:\s* at or after `from`; returns the
// position after the colon's spaces and the position to resume searching from.
struct KeyHit {
    std::size_t valuePos;
    std::size_t keyPos;
};

std::optional<KeyHit> FindKeyColon(std::wstring_view text, std::wstring_view key,
                                   std::size_t from) {
    std::wstring quotedKey;
    quotedKey.reserve(key.size() + 2);
    quotedKey.push_back(L'"');
    quotedKey.append(key);
    quotedKey.push_back(L'"');
    while (from <= text.size()) {
        const std::size_t at = text.find(quotedKey, from);
        if (at == std::wstring_view::npos) {
            return std::nullopt;
        }
        std::size_t pos = SkipPatternSpace(text, at + quotedKey.size());
        if (pos < text.size() && text[pos] == L':') {
            return KeyHit{SkipPatternSpace(text, pos + 1), at};
        }
        from = at + 1;
    }
    return std::nullopt;
}

bool StartsWithAt(std::wstring_view text, std::size_t pos, std::wstring_view word) {
    return text.size() >= pos && text.substr(pos).substr(0, word.size()) == word;
}

template <typename Char>
int HexDigit(Char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// The four hex digits at `pos`, or the position of the first one that is missing or wrong.
template <typename Char>
bool ReadHex4(std::basic_string_view<Char> text, std::size_t pos, char32_t& value,
              std::size_t& badAt) {
    value = 0;
    for (std::size_t i = pos; i < pos + 4; ++i) {
        const int digit = i < text.size() ? HexDigit(text[i]) : -1;
        if (digit < 0) {
            badAt = i;
            return false;
        }
        value = value * 16 + static_cast<char32_t>(digit);
    }
    return true;
}

bool IsSurrogate(char32_t cp, char32_t first) {
    return cp >= first && cp <= first + 0x3FF;
}

void AppendCodePoint(std::wstring& out, char32_t cp) {
    if (sizeof(wchar_t) == 2 && cp >= 0x10000) {
        cp -= 0x10000;
        out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
    } else {
        out.push_back(static_cast<wchar_t>(cp));
    }
}

void AppendCodePoint(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
        return;
    }
    char bytes[4];
    int count = 0;
    if (cp < 0x800) {
        bytes[count++] = static_cast<char>(0xC0 | (cp >> 6));
    } else if (cp < 0x10000) {
        bytes[count++] = static_cast<char>(0xE0 | (cp >> 12));
        bytes[count++] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    } else {
        bytes[count++] = static_cast<char>(0xF0 | (cp >> 18));
        bytes[count++] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        bytes[count++] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    }
    bytes[count++] = static_cast<char>(0x80 | (cp & 0x3F));
    out.append(bytes, static_cast<std::size_t>(count));
}

template <typename Char>
Char SimpleEscape(Char e, bool standard) {
    switch (e) {
        case 'n':
            return '\n';
        case 'r':
            return '\r';
        case 't':
            return '\t';
        case 'b':
            return standard ? Char('\b') : e;
        case 'f':
            return standard ? Char('\f') : e;
        default:
            return e;
    }
}

// The \uXXXX escape at text[i] (with a following low surrogate, one code point) onto `out`, and
// `i` past it; false, with `badAt` at the first non-hex digit, when it is malformed.
template <typename Char>
bool AppendUnicodeEscape(std::basic_string_view<Char> text, const JsonStringOptions& options,
                         std::size_t& i, std::basic_string<Char>& out, std::size_t& badAt) {
    char32_t cp = 0;
    if (!ReadHex4(text, i + 2, cp, badAt)) {
        return false;
    }
    i += 6;
    if (options.nonAsciiStandIn != 0 && cp >= 0x80) {
        out.push_back(static_cast<Char>(options.nonAsciiStandIn));
        return true;
    }
    char32_t low = 0;
    std::size_t ignored = 0;
    if (IsSurrogate(cp, 0xD800) && i + 6 <= text.size() && text[i] == '\\' && text[i + 1] == 'u' &&
        ReadHex4(text, i + 2, low, ignored) && IsSurrogate(low, 0xDC00)) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
        i += 6;
    } else if (IsSurrogate(cp, 0xD800) || IsSurrogate(cp, 0xDC00)) {
        cp = 0xFFFD;  // a lone surrogate cannot be represented
    }
    AppendCodePoint(out, cp);
    return true;
}

template <typename Char>
DecodedJsonString<Char> Unescape(std::basic_string_view<Char> text,
                                 const JsonStringOptions& options) {
    DecodedJsonString<Char> result;
    std::basic_string<Char>& out = result.text;
    out.reserve(text.size());
    const bool standard = options.escapes == JsonEscapes::Standard;
    const auto fail = [&result](std::size_t at, const char* what) {
        result.end = at;
        result.error = what;
        return result;
    };
    std::size_t i = 0;
    while (i < text.size()) {
        const Char c = text[i];
        if (options.strict) {
            if (c == '"') {
                result.end = i + 1;
                return result;
            }
            if (static_cast<std::make_unsigned_t<Char>>(c) < 0x20) {
                return fail(i, "control character in string");
            }
        }
        if (c != '\\') {
            out.push_back(c);
            ++i;
            continue;
        }
        if (i + 1 == text.size()) {
            if (options.strict) {
                return fail(i + 1, "unterminated escape");
            }
            out.push_back(c);
            ++i;
            continue;
        }
        const Char e = text[i + 1];
        const bool known = !standard || e == '"' || e == '\\' || e == '/' || e == 'b' || e == 'f' ||
                           e == 'n' || e == 'r' || e == 't' || e == 'u';
        if (!known) {
            if (options.strict) {
                return fail(i + 1, "invalid escape");
            }
            out.push_back(c);  // kept as written
            ++i;
            continue;
        }
        if (!standard || e != 'u') {
            out.push_back(SimpleEscape(e, standard));
            i += 2;
            continue;
        }
        std::size_t badAt = 0;
        if (!AppendUnicodeEscape(text, options, i, out, badAt)) {
            if (options.strict) {
                return fail(badAt, "invalid \\u escape");
            }
            out.push_back(c);
            ++i;
            continue;
        }
    }
    if (options.strict) {
        return fail(text.size(), "unterminated string");
    }
    result.end = text.size();
    return result;
}

}  // namespace

std::wstring JsonEscape(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size() + 8);
    for (const wchar_t c : text) {
        switch (c) {
            case L'\\':
                out += L"\\\\";
                break;
            case L'"':
                out += L"\\\"";
                break;
            case L'\n':
                out += L"\\n";
                break;
            case L'\r':
                out += L"\\r";
                break;
            case L'\t':
                out += L"\\t";
                break;
            default:
                out.push_back(c);
        }
    }
    return out;
}

std::wstring JsonUnescape(std::wstring_view text) {
    return UnescapeJsonString(text, {.escapes = JsonEscapes::FileLayout}).text;
}

DecodedJsonString<wchar_t> UnescapeJsonString(std::wstring_view text,
                                              const JsonStringOptions& options) {
    return Unescape(text, options);
}

DecodedJsonString<char> UnescapeJsonString(std::string_view text,
                                           const JsonStringOptions& options) {
    return Unescape(text, options);
}

bool IsJsonPatternSpace(wchar_t c) {
    switch (static_cast<std::uint32_t>(c)) {
        case 0x09:
        case 0x0A:
        case 0x0B:
        case 0x0C:
        case 0x0D:
        case 0x20:
        case 0xA0:
        case 0x1680:
        case 0x2028:
        case 0x2029:
        case 0x202F:
        case 0x205F:
        case 0x3000:
        case 0xFEFF:
            return true;
        default:
            return static_cast<std::uint32_t>(c) >= 0x2000 &&
                   static_cast<std::uint32_t>(c) <= 0x200A;
    }
}

bool IsJsonPatternAnyChar(wchar_t c) {
    return c != L'\n' && c != L'\r' && c != static_cast<wchar_t>(0x2028) &&
           c != static_cast<wchar_t>(0x2029);
}

std::size_t FindClosingBracket(std::wstring_view text, std::size_t open, std::wstring_view opens,
                               std::wstring_view closes) {
    std::size_t depth = 0;
    bool inString = false;
    for (std::size_t i = open; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (inString) {
            if (c == L'\\') {
                ++i;
            } else if (c == L'"') {
                inString = false;
            }
        } else if (c == L'"') {
            inString = true;
        } else if (opens.find(c) != std::wstring_view::npos) {
            ++depth;
        } else if (closes.find(c) != std::wstring_view::npos && depth > 0 && --depth == 0) {
            return i;
        }
    }
    return std::wstring_view::npos;
}

std::size_t SkipPatternSpace(std::wstring_view text, std::size_t pos) {
    while (pos < text.size() && IsJsonPatternSpace(text[pos])) {
        ++pos;
    }
    return pos;
}

std::optional<std::size_t> MatchQuotedRaw(std::wstring_view text, std::size_t pos,
                                          std::wstring_view* raw) {
    if (pos >= text.size() || text[pos] != L'"') {
        return std::nullopt;
    }
    const std::size_t start = pos + 1;
    std::size_t i = start;
    while (i < text.size()) {
        const wchar_t c = text[i];
        if (c == L'"') {
            if (raw != nullptr) {
                *raw = text.substr(start, i - start);
            }
            return i + 1;
        }
        if (c == L'\\') {
            if (i + 1 >= text.size() || !IsJsonPatternAnyChar(text[i + 1])) {
                return std::nullopt;
            }
            i += 2;
            continue;
        }
        ++i;
    }
    return std::nullopt;
}

std::wstring ReadJsonStringField(std::wstring_view text, std::wstring_view key) {
    std::size_t from = 0;
    while (const auto hit = FindKeyColon(text, key, from)) {
        std::wstring_view raw;
        if (MatchQuotedRaw(text, hit->valuePos, &raw)) {
            return JsonUnescape(raw);
        }
        from = hit->keyPos + 1;
    }
    return std::wstring();
}

std::int32_t ReadJsonIntField(std::wstring_view text, std::wstring_view key) {
    constexpr std::int32_t kAbsent = 10;
    std::size_t from = 0;
    while (const auto hit = FindKeyColon(text, key, from)) {
        std::size_t pos = hit->valuePos;
        if (pos < text.size() && text[pos] >= L'0' && text[pos] <= L'9') {
            std::int64_t value = 0;
            for (; pos < text.size() && text[pos] >= L'0' && text[pos] <= L'9'; ++pos) {
                value = value * 10 + (text[pos] - L'0');
                if (value > std::numeric_limits<std::int32_t>::max()) {
                    return kAbsent;  // beyond 32 bits: treated as absent
                }
            }
            return static_cast<std::int32_t>(value);
        }
        from = hit->keyPos + 1;
    }
    return kAbsent;
}

bool ReadJsonBoolField(std::wstring_view text, std::wstring_view key, bool fallback) {
    std::size_t from = 0;
    while (const auto hit = FindKeyColon(text, key, from)) {
        if (StartsWithAt(text, hit->valuePos, L"true")) {
            return true;
        }
        if (StartsWithAt(text, hit->valuePos, L"false")) {
            return false;
        }
        from = hit->keyPos + 1;
    }
    return fallback;
}

std::vector<std::vector<std::wstring>> FindJsonObjects(std::wstring_view text,
                                                       const std::vector<JsonObjectMember>& shape) {
    std::vector<std::vector<std::wstring>> found;
    std::size_t from = 0;
    while (from < text.size()) {
        const std::size_t open = text.find(L'{', from);
        if (open == std::wstring_view::npos) {
            break;
        }
        std::vector<std::wstring> values;
        values.reserve(shape.size());
        std::size_t pos = open + 1;
        bool matched = true;
        for (std::size_t m = 0; m < shape.size() && matched; ++m) {
            pos = SkipPatternSpace(text, pos);
            if (m > 0) {
                if (pos >= text.size() || text[pos] != L',') {
                    matched = false;
                    break;
                }
                pos = SkipPatternSpace(text, pos + 1);
            }
            const std::wstring_view key = shape[m].key;
            if (pos >= text.size() || text[pos] != L'"' || !StartsWithAt(text, pos + 1, key) ||
                pos + 1 + key.size() >= text.size() || text[pos + 1 + key.size()] != L'"') {
                matched = false;
                break;
            }
            pos = SkipPatternSpace(text, pos + key.size() + 2);
            if (pos >= text.size() || text[pos] != L':') {
                matched = false;
                break;
            }
            pos = SkipPatternSpace(text, pos + 1);
            if (shape[m].kind == JsonValueKind::String) {
                std::wstring_view raw;
                const auto end = MatchQuotedRaw(text, pos, &raw);
                if (!end) {
                    matched = false;
                    break;
                }
                values.push_back(JsonUnescape(raw));
                pos = *end;
            } else if (StartsWithAt(text, pos, L"true")) {
                values.emplace_back(L"true");
                pos += 4;
            } else if (StartsWithAt(text, pos, L"false")) {
                values.emplace_back(L"false");
                pos += 5;
            } else {
                matched = false;
            }
        }
        if (matched) {
            pos = SkipPatternSpace(text, pos);
            matched = pos < text.size() && text[pos] == L'}';
        }
        if (matched) {
            found.push_back(std::move(values));
            from = pos + 1;
        } else {
            from = open + 1;
        }
    }
    return found;
}

}  // namespace wrenpost
