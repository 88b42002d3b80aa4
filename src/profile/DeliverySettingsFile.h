// The profile members that shape delivery, kept in Config.json after the older members: the
// message options and the recipients' forum topics. Each is written only when it differs from
// its default, so a file without them saves back unchanged and older readers ignore them.
#pragma once

#include <string>
#include <string_view>

#include "profile/ProfileConfig.h"

namespace wrenpost {

// The members as file lines ("  \"Key\": value", joined by ",\n", ending in "\n"); empty when
// every one is at its default.
std::wstring FormatDeliverySettings(const ProfileConfig& config);

// Reads them from a whole Config.json text; what is absent or unreadable keeps its default and
// values out of range are clamped.
void ReadDeliverySettings(std::wstring_view text, ProfileConfig& config);

}  // namespace wrenpost
