#include "monitor/QuietHours.h"

#include <algorithm>
#include <ctime>

#include "common/Clock.h"
#include "common/LocalTime.h"

namespace wrenpost {
namespace {

constexpr int kMinutesPerDay = 24 * 60;

bool OnDay(const QuietHours& quiet, int weekday) {
    return ((quiet.Days >> ((weekday % 7 + 7) % 7)) & 1) != 0;
}

}  // namespace

bool QuietHoursCover(const QuietHours& quiet, int weekday, int minute) {
    if (!quiet.Enabled) {
        return false;
    }
    // A file edited by hand may hold anything: clamp rather than cover nothing or everything.
    const int start = std::clamp<int>(quiet.StartMinute, 0, kMinutesPerDay - 1);
    const int end = std::clamp<int>(quiet.EndMinute, 0, kMinutesPerDay - 1);
    if (start < end) {
        return OnDay(quiet, weekday) && minute >= start && minute < end;
    }
    return (OnDay(quiet, weekday) && minute >= start) ||
           (OnDay(quiet, weekday - 1) && minute < end);
}

bool QuietHoursCover(const QuietHours& quiet, std::chrono::system_clock::time_point now) {
    std::tm local{};
    if (!quiet.Enabled || !ToLocalCalendar(static_cast<std::time_t>(ToUnixSeconds(now)), local)) {
        return false;
    }
    return QuietHoursCover(quiet, (local.tm_wday + 6) % 7, local.tm_hour * 60 + local.tm_min);
}

}  // namespace wrenpost
