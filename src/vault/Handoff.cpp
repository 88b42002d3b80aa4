#include "vault/Handoff.h"

#include <limits>

#include "common/Text.h"

namespace wrenpost {
namespace {

bool IsAsciiLetterOrDigit(wchar_t c) {
    return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

// An optional minus and at least one digit, nothing else, within 64 bits.
bool ParseDecimal(std::wstring_view text, std::int64_t& value) {
    bool negative = false;
    if (!text.empty() && text.front() == L'-') {
        negative = true;
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return false;
    }
    std::int64_t result = 0;
    for (const wchar_t c : text) {
        if (c < L'0' || c > L'9') {
            return false;
        }
        const int digit = c - L'0';
        if (result > (std::numeric_limits<std::int64_t>::max() - digit) / 10) {
            return false;
        }
        result = result * 10 + digit;
    }
    value = negative ? -result : result;
    return true;
}

}  // namespace

bool IsValidHandoffId(std::wstring_view id) {
    if (id.empty() || id.size() > 64) {
        return false;
    }
    for (const wchar_t c : id) {
        if (!IsAsciiLetterOrDigit(c)) {
            return false;
        }
    }
    return true;
}

std::wstring HandoffFileName(std::wstring_view id) {
    return L"VaultLaunch_" + std::wstring(id) + L".tmp";
}

std::wstring BuildHandoffText(std::int64_t createdUnixSeconds, std::wstring_view token) {
    return ToWideDecimal(createdUnixSeconds) + L"|" + std::wstring(token);
}

HandoffTextResult ParseHandoffText(std::wstring_view text, std::int64_t nowUnixSeconds,
                                   std::wstring& token) {
    text = text.substr(0, text.find(L'\0'));
    const std::size_t bar = text.find(L'|');
    std::int64_t created = 0;
    if (bar == std::wstring_view::npos || !ParseDecimal(text.substr(0, bar), created)) {
        return HandoffTextResult::Malformed;
    }
    // Compared this way round so that no timestamp, however far off, can overflow.
    // The difference is taken unsigned: it fits there even for stamps at opposite extremes.
    if (created <= nowUnixSeconds - kHandoffLifetimeSeconds ||
        (created > nowUnixSeconds &&
         static_cast<std::uint64_t>(created) - static_cast<std::uint64_t>(nowUnixSeconds) >
             static_cast<std::uint64_t>(kHandoffFutureToleranceSeconds))) {
        return HandoffTextResult::Expired;
    }
    token.assign(text.substr(bar + 1));
    return HandoffTextResult::Ok;
}

}  // namespace wrenpost
