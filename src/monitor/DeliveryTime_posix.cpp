// The delivery time on a system without Windows' locale formats: the C library's local date
// and hours:minutes, in the local zone.
#include <cwchar>
#include <ctime>

#include "common/LocalTime.h"
#include "monitor/NotificationText.h"

namespace wrenpost {

std::wstring FormatDeliveryTime(std::int64_t utcTicks) {
    std::tm calendar{};
    if (utcTicks < 0 || !ToLocalCalendar(static_cast<std::time_t>(utcTicks / 10000000), calendar)) {
        return {};
    }
    wchar_t buffer[64];
    const std::size_t length = std::wcsftime(buffer, 64, L"%x %H:%M", &calendar);
    return std::wstring(buffer, length);
}

}  // namespace wrenpost
