// The check-seconds text of the main window as a number of seconds.
#pragma once

#include <cstdint>
#include <string_view>

namespace wrenpost {

constexpr std::int32_t kDefaultCheckInterval = 10;

// SAVE's reading, like a standard string-to-int: leading white space and a sign are accepted and
// the number ends at the first non-digit ("15s" is 15). No digits, or a value beyond the signed
// 32-bit range, gives the default. The range is not checked: "0" stays 0.
std::int32_t CheckIntervalFromText(std::wstring_view text);

// START's reading: as above, and a value below 1 also gives the default.
std::int32_t SessionCheckInterval(std::wstring_view text);

}  // namespace wrenpost
