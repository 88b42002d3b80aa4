// The text of one mail's notification at the profile's message level. Plain text only: nothing
// a sender writes can break the message's formatting.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "profile/MessageOptions.h"

namespace wrenpost {

// Telegram's limit for one message, title included, in UTF-16 units.
inline constexpr std::size_t kMessageTextCap = 4096;
inline constexpr std::size_t kSummaryLineCap = 200;

struct NotificationMail {  // what could be read of one mail
    std::wstring Subject, SenderName, SenderAddress, Body;
    bool DeliveryTimeKnown = false;
    std::int64_t DeliveryUtcTicks = 0;  // 100 ns ticks since 1970 UTC
};

// Formats a delivery time as the user's locale short date + time without seconds, local zone.
using DeliveryTimeFormatter = std::function<std::wstring(std::int64_t utcTicks)>;

struct NotificationText {
    std::wstring Body;         // everything after the title's "\n\n" (the provider prepends it)
    std::wstring SummaryLine;  // the mail on one line, at most 200 UTF-16 units, no preview
    bool DisableLinkPreview = false;  // true at the Preview level
};

NotificationText BuildNotificationText(const std::wstring& title, const NotificationMail& mail,
                                       const MessageOptions& options,
                                       const DeliveryTimeFormatter& formatTime);

// The body with every run of white space made one space, trimmed, and cut to `maxUnits` UTF-16
// units at the last space within the final 20 (or at `maxUnits`), with "…" after a cut.
std::wstring BodyPreview(std::wstring_view body, std::size_t maxUnits);

// The formatter of this PC: locale short date and time without seconds, in the local zone.
std::wstring FormatDeliveryTime(std::int64_t utcTicks);

}  // namespace wrenpost
