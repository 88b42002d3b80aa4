// UTF-8 <-> wide conversion written out by hand: codecvt is deprecated and differs between
// runtimes.
#include "common/Text.h"

#include <cstdint>
#include <utility>

namespace wrenpost {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

void AppendWide(std::wstring& out, char32_t cp) {
    if constexpr (sizeof(wchar_t) == 2) {
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
            return;
        }
    }
    out.push_back(static_cast<wchar_t>(cp));
}

}  // namespace

std::string WideToUtf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = static_cast<char32_t>(text[i]);
        if constexpr (sizeof(wchar_t) == 2) {
            if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size()) {
                const char32_t low = static_cast<char32_t>(text[i + 1]);
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                    ++i;
                }
            }
        }
        if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) {
            cp = kReplacement;
        }
        AppendUtf8(out, cp);
    }
    return out;
}

namespace {

// Decodes `text`; each invalid sequence becomes U+FFFD, or ends the decoding with false when
// `strict`.
bool DecodeUtf8(std::string_view text, std::wstring& out, bool strict) {
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        int extra = 0;
        char32_t cp = 0;
        char32_t minimum = 0;
        if (lead < 0x80) {
            cp = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1, cp = lead & 0x1F, minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2, cp = lead & 0x0F, minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3, cp = lead & 0x07, minimum = 0x10000;
        } else {
            if (strict) {
                return false;
            }
            AppendWide(out, kReplacement);
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        bool valid = true;
        for (int k = 0; k < extra; ++k, ++j) {
            if (j >= text.size() || (static_cast<unsigned char>(text[j]) & 0xC0) != 0x80) {
                valid = false;
                break;
            }
            cp = (cp << 6) | (static_cast<unsigned char>(text[j]) & 0x3F);
        }
        if (!valid || cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            if (strict) {
                return false;
            }
            AppendWide(out, kReplacement);
            i = valid ? j : i + 1;
            continue;
        }
        AppendWide(out, cp);
        i = j;
    }
    return true;
}

}  // namespace

std::wstring Utf8ToWide(std::string_view text) {
    std::wstring out;
    DecodeUtf8(text, out, false);
    return out;
}

bool Utf8ToWideStrict(std::string_view text, std::wstring& out) {
    std::wstring decoded;
    if (!DecodeUtf8(text, decoded, true)) {
        return false;
    }
    out = std::move(decoded);
    return true;
}

std::wstring Latin1ToWide(std::string_view text) {
    std::wstring out;
    out.reserve(text.size());
    for (const char c : text) {
        out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    }
    return out;
}

std::wstring TrimWhitespace(std::wstring_view text) {
    const auto isSpace = [](wchar_t c) {
        return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n';
    };
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isSpace(text[begin])) {
        ++begin;
    }
    while (end > begin && isSpace(text[end - 1])) {
        --end;
    }
    return std::wstring(text.substr(begin, end - begin));
}

std::wstring ToWideDecimal(long long value) {
    const std::string digits = std::to_string(value);
    return Latin1ToWide(digits);
}

std::size_t Utf16Length(std::wstring_view text) {
    std::size_t units = text.size();
    if constexpr (sizeof(wchar_t) == 4) {
        for (const wchar_t c : text) {
            units += (static_cast<std::uint32_t>(c) >> 16) != 0 ? 1 : 0;
        }
    }
    return units;
}

std::size_t Utf16FittingPrefix(std::wstring_view text, std::size_t maxUnits) {
    std::size_t units = 0;
    std::size_t keep = 0;
    while (keep < text.size()) {
        const auto c = static_cast<std::uint32_t>(text[keep]);
        const bool pair = sizeof(wchar_t) == 2 && c >= 0xD800 && c <= 0xDBFF &&
                          keep + 1 < text.size() &&
                          static_cast<std::uint32_t>(text[keep + 1]) - 0xDC00u < 0x400u;
        const std::size_t width = pair || (c >> 16) != 0 ? 2 : 1;
        if (units + width > maxUnits) {
            break;
        }
        units += width;
        keep += pair ? 2 : 1;
    }
    return keep;
}

}  // namespace wrenpost
