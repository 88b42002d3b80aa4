// The delivery time as the user reads dates: the locale's short date and its time without
// seconds, in this PC's time zone.
#include <windows.h>

#include "monitor/NotificationText.h"

namespace wrenpost {
namespace {

constexpr std::int64_t kTicksFrom1601To1970 = 116444736000000000LL;

std::wstring CallFormatter(int (*format)(const SYSTEMTIME&, wchar_t*, int),
                           const SYSTEMTIME& when) {
    wchar_t buffer[128];
    const int length = format(when, buffer, 128);
    return length > 1 ? std::wstring(buffer, static_cast<std::size_t>(length - 1)) : std::wstring();
}

}  // namespace

std::wstring FormatDeliveryTime(std::int64_t utcTicks) {
    const std::uint64_t since1601 = static_cast<std::uint64_t>(utcTicks + kTicksFrom1601To1970);
    FILETIME utc{static_cast<DWORD>(since1601), static_cast<DWORD>(since1601 >> 32)};
    SYSTEMTIME universal{};
    SYSTEMTIME local{};
    if (utcTicks < 0 || !FileTimeToSystemTime(&utc, &universal) ||
        !SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local)) {
        return {};
    }
    const std::wstring date = CallFormatter(
        [](const SYSTEMTIME& t, wchar_t* out, int size) {
            return GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &t, nullptr, out,
                                   size, nullptr);
        },
        local);
    const std::wstring time = CallFormatter(
        [](const SYSTEMTIME& t, wchar_t* out, int size) {
            return GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, TIME_NOSECONDS, &t, nullptr, out,
                                   size);
        },
        local);
    if (date.empty() || time.empty()) {
        return {};
    }
    return date + L" " + time;
}

}  // namespace wrenpost
