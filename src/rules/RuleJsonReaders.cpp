// Scanners for the rules-file readers; see the header for the patterns they stand for.
#include "rules/RuleJsonReaders.h"

#include <limits>

#include "common/JsonText.h"

namespace wrenpost {
namespace {

// Position just past  "KEY"\s*:\s*  for the occurrence of "KEY" at or after `from`, trying each
// occurrence in turn as a regex search would; `keyPos` is where that occurrence starts.
bool FindKeyValue(std::wstring_view text, std::wstring_view quotedKey, std::size_t& from,
                  std::size_t& valuePos) {
    while (from <= text.size()) {
        const std::size_t at = text.find(quotedKey, from);
        if (at == std::wstring_view::npos) {
            return false;
        }
        from = at + 1;  // the next attempt starts after this occurrence's opening quote
        const std::size_t colon = SkipPatternSpace(text, at + quotedKey.size());
        if (colon < text.size() && text[colon] == L':') {
            valuePos = SkipPatternSpace(text, colon + 1);
            return true;
        }
    }
    return false;
}

std::wstring Quoted(std::wstring_view key) {
    std::wstring quoted;
    quoted.reserve(key.size() + 2);
    quoted.push_back(L'"');
    quoted.append(key);
    quoted.push_back(L'"');
    return quoted;
}

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// Shared walk over string literals: returns true when `c` at `i` was consumed as part of a
// string (entering, inside, or leaving it).
struct StringTracker {
    bool inString = false;
    bool escaped = false;

    bool Consume(wchar_t c) {
        if (inString) {
            if (escaped) {
                escaped = false;
            } else if (c == L'\\') {
                escaped = true;
            } else if (c == L'"') {
                inString = false;
            }
            return true;
        }
        if (c == L'"') {
            inString = true;
            return true;
        }
        return false;
    }
};

}  // namespace

IntFieldRead ReadSignedIntField(std::wstring_view text, std::wstring_view key, std::int32_t& value) {
    const std::wstring quotedKey = Quoted(key);
    std::size_t from = 0;
    std::size_t pos = 0;
    while (FindKeyValue(text, quotedKey, from, pos)) {
        bool negative = false;
        if (pos < text.size() && text[pos] == L'-') {
            negative = true;
            ++pos;
        }
        if (pos >= text.size() || !IsDigit(text[pos])) {
            continue;
        }
        // Magnitude limit: 2147483647, or 2147483648 for a negative number.
        const std::int64_t limit =
            static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::max()) + (negative ? 1 : 0);
        std::int64_t magnitude = 0;
        bool outOfRange = false;
        for (; pos < text.size() && IsDigit(text[pos]); ++pos) {
            if (!outOfRange) {
                magnitude = magnitude * 10 + (text[pos] - L'0');
                outOfRange = magnitude > limit;
            }
        }
        if (outOfRange) {
            return IntFieldRead::OutOfRange;
        }
        value = static_cast<std::int32_t>(negative ? -magnitude : magnitude);
        return IntFieldRead::Read;
    }
    return IntFieldRead::Absent;
}

std::wstring_view ReadJsonArrayField(std::wstring_view text, std::wstring_view key) {
    const std::wstring quotedKey = Quoted(key);
    std::size_t from = 0;
    std::size_t pos = 0;
    while (FindKeyValue(text, quotedKey, from, pos)) {
        if (pos >= text.size() || text[pos] != L'[') {
            continue;
        }
        const std::size_t close = FindClosingBracket(text, pos, L"[", L"]");
        if (close == std::wstring_view::npos) {
            return {};  // the first match decides, even when its array is never closed
        }
        return text.substr(pos + 1, close - pos - 1);
    }
    return {};
}

std::vector<std::wstring_view> SplitJsonObjects(std::wstring_view arrayText) {
    std::vector<std::wstring_view> objects;
    std::size_t depth = 0;
    std::size_t start = 0;
    StringTracker strings;
    for (std::size_t i = 0; i < arrayText.size(); ++i) {
        const wchar_t c = arrayText[i];
        if (strings.Consume(c)) {
            continue;
        }
        if (c == L'{') {
            if (depth++ == 0) {
                start = i;
            }
        } else if (c == L'}' && depth > 0 && --depth == 0) {
            objects.push_back(arrayText.substr(start, i - start + 1));
        }
    }
    return objects;
}

bool HasBalancedBrackets(std::wstring_view text) {
    std::size_t braces = 0;
    std::size_t brackets = 0;
    StringTracker strings;
    for (const wchar_t c : text) {
        if (strings.Consume(c)) {
            continue;
        }
        switch (c) {
            case L'{': ++braces; break;
            case L'[': ++brackets; break;
            case L'}':
                if (braces == 0) return false;
                --braces;
                break;
            case L']':
                if (brackets == 0) return false;
                --brackets;
                break;
            default: break;
        }
    }
    return braces == 0 && brackets == 0 && !strings.inString;
}

std::wstring OwnMembersOf(std::wstring_view objectText) {
    std::wstring own;
    own.reserve(objectText.size());
    std::size_t depth = 0;
    StringTracker strings;
    for (const wchar_t c : objectText) {
        const bool wasNested = depth > 1;
        if (!strings.Consume(c)) {
            if (c == L'{' || c == L'[') {
                ++depth;
            } else if ((c == L'}' || c == L']') && depth > 0) {
                --depth;
            }
        }
        if (!wasNested && depth <= 1) {
            own.push_back(c);
        }
    }
    return own;
}

bool IsBlankFileText(std::wstring_view text) {
    for (const wchar_t c : text) {
        if (c != L' ' && c != L'\t' && c != L'\r' && c != L'\n') {
            return false;
        }
    }
    return true;
}

}  // namespace wrenpost
