// Writer and scanner for the vault's plaintext document. The scanner walks string literals whole
// (so braces, brackets and key names inside values never count) and visits every character a
// bounded number of times, whatever the input.
#include "vault/VaultDocument.h"

#include <cstddef>
#include <optional>

#include "common/JsonText.h"
#include "common/Text.h"

namespace wrenpost {
namespace {

constexpr std::size_t kNone = std::wstring_view::npos;

void AppendQuoted(std::string& out, std::wstring_view text) {
    out.push_back('"');
    out += WideToUtf8(JsonEscape(text));
    out.push_back('"');
}

void AppendMember(std::string& out, std::string_view key, std::wstring_view value) {
    out.push_back('"');
    out += key;
    out += "\":";
    AppendQuoted(out, value);
}

// `pos` holds an opening quote; returns the position after the closing quote, or kNone when the
// literal never closes. A backslash always takes the next character with it.
std::size_t SkipStringLiteral(std::wstring_view text, std::size_t pos) {
    for (std::size_t i = pos + 1; i < text.size(); ++i) {
        if (text[i] == L'\\') {
            ++i;
        } else if (text[i] == L'"') {
            return i + 1;
        }
    }
    return kNone;
}

std::wstring_view LiteralContent(std::wstring_view text, std::size_t open, std::size_t end) {
    return text.substr(open + 1, end - open - 2);
}

// If the literal ending at `end` is followed by spaces and a colon, the position of its value
// (after the spaces following the colon); kNone otherwise.
std::size_t ValueAfterKey(std::wstring_view text, std::size_t end) {
    const std::size_t colon = SkipPatternSpace(text, end);
    if (colon < text.size() && text[colon] == L':') {
        return SkipPatternSpace(text, colon + 1);
    }
    return kNone;
}

// The first string literal named `key` that is followed by a colon and then by `opener`, at or
// after `from`; returns the position of the opener.
std::optional<std::size_t> FindKeyWithOpener(std::wstring_view text, std::size_t from,
                                             std::wstring_view key, wchar_t opener) {
    std::size_t pos = from;
    while (pos < text.size()) {
        if (text[pos] != L'"') {
            ++pos;
            continue;
        }
        const std::size_t end = SkipStringLiteral(text, pos);
        if (end == kNone) {
            return std::nullopt;
        }
        if (LiteralContent(text, pos, end) == key) {
            const std::size_t value = ValueAfterKey(text, end);
            if (value < text.size() && text[value] == opener) {
                return value;
            }
        }
        pos = end;
    }
    return std::nullopt;
}

// Calls `member(key, rawValue)` for each "key": "value" pair directly inside the object or array
// opened at `open` (nested containers are walked but their members not reported). Returns the
// position after the closing bracket, or kNone when it never closes.
template <typename Member>
std::size_t WalkContainer(std::wstring_view text, std::size_t open, Member&& member) {
    int depth = 0;
    std::size_t pos = open;
    while (pos < text.size()) {
        const wchar_t c = text[pos];
        if (c == L'"') {
            const std::size_t end = SkipStringLiteral(text, pos);
            if (end == kNone) {
                return kNone;
            }
            const std::size_t value = depth == 1 ? ValueAfterKey(text, end) : kNone;
            if (value < text.size() && text[value] == L'"') {
                const std::size_t valueEnd = SkipStringLiteral(text, value);
                if (valueEnd == kNone) {
                    return kNone;
                }
                member(LiteralContent(text, pos, end), LiteralContent(text, value, valueEnd));
                pos = valueEnd;
            } else {
                pos = end;
            }
            continue;
        }
        if (c == L'{' || c == L'[') {
            ++depth;
        } else if (c == L'}' || c == L']') {
            if (--depth == 0) {
                return pos + 1;
            }
        }
        ++pos;
    }
    return kNone;
}

// True when the text is one object whose brackets all close in order and after which only
// white space follows. Any cut-off document fails here, whatever the reader would make of it.
bool IsWholeObject(std::wstring_view text) {
    std::size_t pos = SkipPatternSpace(text, 0);
    if (pos >= text.size() || text[pos] != L'{') {
        return false;
    }
    std::wstring closers;
    while (pos < text.size()) {
        const wchar_t c = text[pos];
        if (c == L'"') {
            pos = SkipStringLiteral(text, pos);
            if (pos == kNone) {
                return false;
            }
            continue;
        }
        if (c == L'{' || c == L'[') {
            closers.push_back(c == L'{' ? L'}' : L']');
        } else if (c == L'}' || c == L']') {
            if (closers.back() != c) {
                return false;
            }
            closers.pop_back();
            if (closers.empty()) {
                return SkipPatternSpace(text, pos + 1) == text.size();
            }
        }
        ++pos;
    }
    return false;
}

VaultEntry ReadEntry(std::wstring_view text, std::size_t open, std::size_t& end) {
    VaultEntry entry;
    bool seen[5] = {};
    end = WalkContainer(text, open, [&](std::wstring_view key, std::wstring_view raw) {
        static constexpr std::wstring_view kKeys[5] = {L"id", L"token", L"botName", L"botUsername",
                                                       L"notes"};
        std::wstring* const fields[5] = {&entry.id, &entry.token, &entry.botName,
                                         &entry.botUsername, &entry.notes};
        for (int k = 0; k < 5; ++k) {
            if (!seen[k] && key == kKeys[k]) {
                seen[k] = true;
                *fields[k] = JsonUnescape(raw);
            }
        }
    });
    return entry;
}

// Splits the array opened at `open` into its top-level objects (only braces count, as the
// format demands); returns the position after the closing bracket or kNone.
std::size_t ReadEntries(std::wstring_view text, std::size_t open,
                        std::vector<VaultEntry>& entries) {
    std::size_t pos = open + 1;
    while (pos < text.size()) {
        const wchar_t c = text[pos];
        if (c == L']') {
            return pos + 1;
        }
        if (c == L'"') {
            pos = SkipStringLiteral(text, pos);
            if (pos == kNone) {
                return kNone;
            }
            continue;
        }
        if (c == L'{') {
            std::size_t end = kNone;
            VaultEntry entry = ReadEntry(text, pos, end);
            if (end == kNone) {
                return kNone;
            }
            if (!entry.token.empty()) {
                entries.push_back(std::move(entry));
            }
            pos = end;
            continue;
        }
        ++pos;
    }
    return kNone;
}

}  // namespace

std::string WriteVaultDocument(const std::vector<VaultEntry>& entries,
                               const VaultSecrets* secrets) {
    std::string out = "{\"entries\":[";
    bool first = true;
    for (const VaultEntry& entry : entries) {
        if (!first) {
            out.push_back(',');
        }
        first = false;
        out.push_back('{');
        AppendMember(out, "id", entry.id);
        out.push_back(',');
        AppendMember(out, "token", entry.token);
        out.push_back(',');
        AppendMember(out, "botName", entry.botName);
        out.push_back(',');
        AppendMember(out, "botUsername", entry.botUsername);
        out.push_back(',');
        AppendMember(out, "notes", entry.notes);
        out.push_back('}');
    }
    out.push_back(']');
    if (secrets != nullptr) {
        out += ",\"secrets\":{";
        first = true;
        for (const auto& [key, value] : *secrets) {
            if (!first) {
                out.push_back(',');
            }
            first = false;
            AppendQuoted(out, key);
            out.push_back(':');
            AppendQuoted(out, value);
        }
        out.push_back('}');
    }
    out.push_back('}');
    return out;
}

bool ReadVaultDocument(std::string_view utf8, std::vector<VaultEntry>& entries,
                       VaultSecrets& secrets) {
    std::wstring text;
    if (!Utf8ToWideStrict(utf8, text) || !IsWholeObject(text)) {
        return false;
    }
    const auto array = FindKeyWithOpener(text, 0, L"entries", L'[');
    if (!array) {
        return false;
    }
    std::vector<VaultEntry> readEntries;
    const std::size_t afterEntries = ReadEntries(text, *array, readEntries);
    if (afterEntries == kNone) {
        return false;
    }
    VaultSecrets readSecrets;
    if (const auto object = FindKeyWithOpener(text, afterEntries, L"secrets", L'{')) {
        const std::size_t end =
            WalkContainer(text, *object, [&](std::wstring_view key, std::wstring_view raw) {
                readSecrets.emplace(JsonUnescape(key), JsonUnescape(raw));
            });
        if (end == kNone) {
            return false;
        }
    }
    entries = std::move(readEntries);
    secrets = std::move(readSecrets);
    return true;
}

}  // namespace wrenpost
