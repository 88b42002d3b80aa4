// Whether a profile's quiet hours cover a moment. Decided when a notification is sent, so one
// queued before the range and sent inside it arrives silently.
#pragma once

#include <chrono>

#include "profile/MessageOptions.h"

namespace wrenpost {

// `weekday`: Monday = 0 ... Sunday = 6; `minute`: minutes after local midnight. A range belongs
// to the day it starts on: "Mon 22:00-07:00" covers Monday 22:00 until Tuesday 07:00, whether
// or not Tuesday is one of the days; an end at or before the start lies on the next day.
bool QuietHoursCover(const QuietHours& quiet, int weekday, int minute);

// The same for a wall-clock time, in the PC's time zone.
bool QuietHoursCover(const QuietHours& quiet, std::chrono::system_clock::time_point now);

}  // namespace wrenpost
