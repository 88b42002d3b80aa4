#include "common/LocalTime.h"

#include <cstdio>
#include <cwchar>

namespace wrenpost {

bool ToLocalCalendar(std::time_t time, std::tm& out) {
#ifdef _WIN32
    return localtime_s(&out, &time) == 0;
#else
    return localtime_r(&time, &out) != nullptr;
#endif
}

bool ToUtcCalendar(std::time_t time, std::tm& out) {
#ifdef _WIN32
    return gmtime_s(&out, &time) == 0;
#else
    return gmtime_r(&time, &out) != nullptr;
#endif
}

std::wstring FormatLocalTimestamp(std::time_t secondsSince1970) {
    std::tm calendar{};
    if (!ToLocalCalendar(secondsSince1970, calendar)) {
        return std::wstring();
    }
    wchar_t buffer[64];
    const std::size_t length = std::wcsftime(buffer, 64, L"%Y-%m-%d %H:%M:%S", &calendar);
    return std::wstring(buffer, length);
}

std::wstring FormatLocalTimestamp() { return FormatLocalTimestamp(std::time(nullptr)); }

bool ParseLocalTimestamp(std::wstring_view text, std::int64_t& secondsSince1970) {
    const std::wstring copy(text);
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (std::swscanf(copy.c_str(), L"%d-%d-%d %d:%d:%d", &year, &month, &day, &hour, &minute,
                     &second) != 6) {
        return false;
    }
    std::tm calendar{};
    calendar.tm_year = year - 1900;
    calendar.tm_mon = month - 1;
    calendar.tm_mday = day;
    calendar.tm_hour = hour;
    calendar.tm_min = minute;
    calendar.tm_sec = second;
    calendar.tm_isdst = -1;
    const std::time_t result = std::mktime(&calendar);
    if (result == static_cast<std::time_t>(-1)) {
        return false;
    }
    secondsSince1970 = static_cast<std::int64_t>(result);
    return true;
}

}  // namespace wrenpost
