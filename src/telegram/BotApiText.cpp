#include "telegram/BotApiText.h"

#include <limits>

#include "common/JsonText.h"
#include "common/SafeText.h"
#include "common/Text.h"

namespace wrenpost {
namespace {

// Positions where "<key>" followed by \s*:\s* occurs, in text order; calls `tryValue` with the
// position after the colon's spaces until it accepts. Occurrences of a quoted key cannot
// overlap (the quotes delimit it), so this visits every start the pattern could match at.
template <typename TryValue>
bool ForEachKeyValue(std::wstring_view text, std::wstring_view key, TryValue tryValue) {
    std::wstring quoted;
    quoted.reserve(key.size() + 2);
    quoted.push_back(L'"');
    quoted.append(key);
    quoted.push_back(L'"');
    std::size_t from = 0;
    while (true) {
        const std::size_t at = text.find(quoted, from);
        if (at == std::wstring_view::npos) {
            return false;
        }
        std::size_t pos = SkipPatternSpace(text, at + quoted.size());
        if (pos < text.size() && text[pos] == L':') {
            pos = SkipPatternSpace(text, pos + 1);
            if (tryValue(pos)) {
                return true;
            }
        }
        from = at + 1;
    }
}

// "([^"]*)" at pos, with at least `minLength` characters.
std::optional<std::wstring> QuotedWithoutQuotes(std::wstring_view text, std::size_t pos,
                                                std::size_t minLength) {
    if (pos >= text.size() || text[pos] != L'"') {
        return std::nullopt;
    }
    const std::size_t close = text.find(L'"', pos + 1);
    if (close == std::wstring_view::npos || close - pos - 1 < minLength) {
        return std::nullopt;
    }
    return std::wstring(text.substr(pos + 1, close - pos - 1));
}

std::vector<std::wstring> SplitTopLevelObjects(std::wstring_view array) {
    std::vector<std::wstring> items;
    bool inString = false;
    std::size_t depth = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i < array.size(); ++i) {
        const wchar_t c = array[i];
        if (inString) {
            if (c == L'\\') {
                ++i;
            } else if (c == L'"') {
                inString = false;
            }
        } else if (c == L'"') {
            inString = true;
        } else if (c == L'{') {
            if (depth++ == 0) {
                start = i;
            }
        } else if (c == L'}' && depth > 0) {
            if (--depth == 0) {
                items.emplace_back(array.substr(start, i - start + 1));
            }
        }
    }
    return items;
}

bool IsUnreserved(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

}  // namespace

std::wstring UrlEncode(std::wstring_view text) {
    static constexpr wchar_t kHex[] = L"0123456789ABCDEF";
    const std::string bytes = WideToUtf8(text);
    std::wstring out;
    out.reserve(bytes.size() * 3);
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (IsUnreserved(c)) {
            out.push_back(static_cast<wchar_t>(c));
        } else if (c == ' ') {
            out += L"%20";
        } else {
            out.push_back(L'%');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 0x0F]);
        }
    }
    return out;
}

bool ContainsOkTrue(std::wstring_view body) {
    return body.find(L"\"ok\":true") != std::wstring_view::npos ||
           body.find(L"\"ok\": true") != std::wstring_view::npos;
}

std::optional<std::wstring> FindDescription(std::wstring_view body) {
    std::optional<std::wstring> found;
    ForEachKeyValue(body, L"description", [&](std::size_t pos) {
        found = QuotedWithoutQuotes(body, pos, 1);
        return found.has_value();
    });
    if (found) {
        *found = StripUnsafeText(*found);
    }
    // A description of nothing but control characters says nothing: the caller's own text stands.
    return found && !found->empty() ? found : std::nullopt;
}

OkResult ParseOkResult(std::wstring_view body) {
    OkResult result;
    if (!ContainsOkTrue(body)) {
        result.error = FindDescription(body).value_or(L"Telegram returned an error.");
        return result;
    }
    result.ok = true;
    const std::size_t key = body.find(L"\"result\"");
    if (key == std::wstring_view::npos) {
        return result;
    }
    const std::size_t open = body.find(L'[', key);
    if (open == std::wstring_view::npos) {
        return result;
    }
    const std::size_t close = FindClosingBracket(body, open, L"[", L"]");
    if (close == std::wstring_view::npos) {
        return result;
    }
    result.items = SplitTopLevelObjects(body.substr(open + 1, close - open - 1));
    return result;
}

std::optional<std::wstring> ExtractStringField(std::wstring_view text, std::wstring_view key) {
    std::optional<std::wstring> found;
    ForEachKeyValue(text, key, [&](std::size_t pos) {
        found = QuotedWithoutQuotes(text, pos, 0);
        return found.has_value();
    });
    return found;
}

std::optional<std::int64_t> ExtractIntField(std::wstring_view text, std::wstring_view key) {
    std::optional<std::int64_t> found;
    bool overflow = false;
    ForEachKeyValue(text, key, [&](std::size_t pos) {
        const bool negative = pos < text.size() && text[pos] == L'-';
        std::size_t digit = negative ? pos + 1 : pos;
        if (digit >= text.size() || text[digit] < L'0' || text[digit] > L'9') {
            return false;
        }
        // Accumulate as a negative number so that the 64-bit minimum fits too.
        std::int64_t value = 0;
        constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
        for (; digit < text.size() && text[digit] >= L'0' && text[digit] <= L'9'; ++digit) {
            const int d = text[digit] - L'0';
            if (value < (kMin + d) / 10) {
                overflow = true;
            } else {
                value = value * 10 - d;
            }
        }
        if (!overflow) {
            if (!negative && value == kMin) {
                overflow = true;
            } else {
                found = negative ? value : -value;
            }
        }
        return true;  // the pattern matched here; an overflow still ends the search
    });
    return found;
}

std::optional<std::wstring> ExtractFlatObject(std::wstring_view text, std::wstring_view key) {
    std::optional<std::wstring> found;
    ForEachKeyValue(text, key, [&](std::size_t pos) {
        if (pos >= text.size() || text[pos] != L'{') {
            return false;
        }
        const std::size_t close = text.find(L'}', pos + 1);
        if (close == std::wstring_view::npos) {
            // No later occurrence can close either: stop, or repeated keys make the scan quadratic.
            return true;
        }
        found = std::wstring(text.substr(pos + 1, close - pos - 1));
        return true;
    });
    return found;
}

std::wstring DecodeJsonString(std::wstring_view raw) {
    return UnescapeJsonString(raw, JsonStringOptions{}).text;
}

std::wstring CapMessageText(std::wstring_view text) {
    if (Utf16Length(text) <= kTelegramMaxTextUnits) {
        return std::wstring(text);
    }
    // A surrogate pair is kept whole or not at all.
    const std::size_t keep = Utf16FittingPrefix(text, kTelegramMaxTextUnits - 1);
    std::wstring out(text.substr(0, keep));
    out.push_back(static_cast<wchar_t>(0x2026));
    return out;
}

std::wstring DescribeWinHttpError(std::uint32_t code) {
    switch (code) {
        case 12002:
            return L"Connection timeout";
        case 12007:
            return L"DNS resolution failed";
        case 12029:
            return L"Failed to connect to Telegram API";
        case 12030:
            return L"Connection error";
        case 12175:
            return L"TLS/SSL handshake failed";
        default:
            return L"Network error";
    }
}

std::wstring FormatConnectError(std::uint32_t code) {
    if (code == 12002) {
        return L"The connection to Telegram timed out. Please check your internet connection and "
               L"try again.";
    }
    return L"Could not connect to Telegram: " + DescribeWinHttpError(code) + L" (WinHTTP error " +
           ToWideDecimal(code) + L").";
}

std::wstring FormatBotCheckError(std::wstring_view stage, std::wstring_view detail,
                                 std::uint32_t winHttpCode, std::uint32_t httpStatus) {
    std::wstring text = L"Telegram bot check failed at stage: ";
    text.append(stage);
    text += L". ";
    text.append(detail);
    text += L".";
    if (winHttpCode != 0) {
        text += L" (WinHTTP error " + ToWideDecimal(winHttpCode) + L")";
    }
    if (httpStatus != 0) {
        text += L" (HTTP " + ToWideDecimal(httpStatus) + L")";
    }
    return text;
}

}  // namespace wrenpost
