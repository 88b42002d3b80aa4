// Local timestamp text "%Y-%m-%d %H:%M:%S" used in log lines and profile records.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

namespace wrenpost {

// The current local time as "2025-03-07 14:05:09".
std::wstring FormatLocalTimestamp();
std::wstring FormatLocalTimestamp(std::time_t secondsSince1970);

// Reads "%d-%d-%d %d:%d:%d" as local time (daylight saving decided by the system); false when
// fewer than six numbers are present or the time cannot be represented.
[[nodiscard]] bool ParseLocalTimestamp(std::wstring_view text, std::int64_t& secondsSince1970);

// Thread-safe localtime/gmtime (the C runtimes spell these differently).
bool ToLocalCalendar(std::time_t time, std::tm& out);
bool ToUtcCalendar(std::time_t time, std::tm& out);

}  // namespace wrenpost
