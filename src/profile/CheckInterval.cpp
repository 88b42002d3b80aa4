// Parsing of the check-seconds text without locale or exceptions.
#include "profile/CheckInterval.h"

#include <limits>

namespace wrenpost {
namespace {

bool IsSpace(wchar_t c) {
    return c == L' ' || (c >= L'\t' && c <= L'\r');
}

}  // namespace

std::int32_t CheckIntervalFromText(std::wstring_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && IsSpace(text[pos])) {
        ++pos;
    }
    bool negative = false;
    if (pos < text.size() && (text[pos] == L'+' || text[pos] == L'-')) {
        negative = text[pos] == L'-';
        ++pos;
    }
    // Accumulated as a magnitude that may reach one past INT32_MAX (the negative limit).
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t magnitude = 0;
    const std::size_t firstDigit = pos;
    for (; pos < text.size() && text[pos] >= L'0' && text[pos] <= L'9'; ++pos) {
        magnitude = magnitude * 10 + (text[pos] - L'0');
        if (magnitude > kLimit) {
            return kDefaultCheckInterval;
        }
    }
    if (pos == firstDigit || (!negative && magnitude == kLimit)) {
        return kDefaultCheckInterval;
    }
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

std::int32_t SessionCheckInterval(std::wstring_view text) {
    const std::int32_t seconds = CheckIntervalFromText(text);
    return seconds < 1 ? kDefaultCheckInterval : seconds;
}

}  // namespace wrenpost
