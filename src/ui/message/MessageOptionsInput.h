// What the Message Options dialog reads from its fields and shows in them, kept apart from the
// window so the rules for what is accepted are the same everywhere and testable on Linux.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "monitor/NotificationText.h"

namespace wrenpost {

// A whole number from `minimum` to `maximum`, surrounding blanks allowed; anything else (signs,
// fractions, digit groups, values out of range) is refused rather than clamped.
std::optional<std::int32_t> ParseWholeNumber(std::wstring_view text, std::int32_t minimum,
                                             std::int32_t maximum);

// A 24-hour local time "H:MM" or "HH:MM" as minutes after midnight.
std::optional<std::int32_t> ParseClockTime(std::wstring_view text);
std::wstring FormatClockTime(std::int32_t minutes);

// The mail the dialog's preview is built from: invented, so nothing of the user's mailbox is read
// on the UI thread, and long enough that the preview level shows its cut.
NotificationMail SampleNotificationMail(std::int64_t deliveryUtcTicks);

}  // namespace wrenpost
