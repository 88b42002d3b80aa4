// Config.json's message settings and recipient topics: top-level members after the older ones,
// each written only when it differs from its default, so files without them save back as they
// were and older versions, which match the recipient, folder and title objects by exact shape,
// still read every object they know.
#pragma once

#include <string>
#include <string_view>

#include "profile/ProfileConfig.h"

namespace wrenpost {

// Appends ",\n  \"Key\": value" for each member that is not at its default.
void AppendMessageMembers(std::wstring& out, const ProfileConfig& config);

// Reads them back; an absent or unreadable member keeps its default, a number out of its range
// is brought into it, and a topic without a chat or a positive thread id is left out.
void ReadMessageMembers(std::wstring_view text, ProfileConfig& config);

}  // namespace wrenpost
