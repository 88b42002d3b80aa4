#include "common/JsonText.h"

#include <limits>

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

}  // namespace

std::wstring JsonEscape(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size() + 8);
    for (const wchar_t c : text) {
        switch (c) {
            case L'\\': out += L"\\\\"; break;
            case L'"': out += L"\\\""; break;
            case L'\n': out += L"\\n"; break;
            case L'\r': out += L"\\r"; break;
            case L'\t': out += L"\\t"; break;
            default: out.push_back(c);
        }
    }
    return out;
}

std::wstring JsonUnescape(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'\\' || i + 1 == text.size()) {
            out.push_back(text[i]);
            continue;
        }
        const wchar_t next = text[++i];
        switch (next) {
            case L'n': out.push_back(L'\n'); break;
            case L'r': out.push_back(L'\r'); break;
            case L't': out.push_back(L'\t'); break;
            default: out.push_back(next);  // covers \\ and \" too
        }
    }
    return out;
}

bool IsJsonPatternSpace(wchar_t c) {
    switch (static_cast<std::uint32_t>(c)) {
        case 0x09: case 0x0A: case 0x0B: case 0x0C: case 0x0D: case 0x20:
        case 0xA0: case 0x1680: case 0x2028: case 0x2029: case 0x202F: case 0x205F:
        case 0x3000: case 0xFEFF:
            return true;
        default:
            return static_cast<std::uint32_t>(c) >= 0x2000 && static_cast<std::uint32_t>(c) <= 0x200A;
    }
}

bool IsJsonPatternAnyChar(wchar_t c) {
    return c != L'\n' && c != L'\r' && c != static_cast<wchar_t>(0x2028) &&
           c != static_cast<wchar_t>(0x2029);
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
