// Which Outlook folders are never offered for watching: calendars, contacts and other non-mail
// folders, and everything below the special mail folders (Deleted Items, Sent Items, ...).
#pragma once

#include <string>
#include <string_view>

#include "profile/ProfileConfig.h"

namespace wrenpost {

// Per-character lower case with the C runtime's wide mapping (what the exclusion lists compare).
std::wstring LowerCaseWide(std::wstring_view text);

// True for a folder that must not be offered: no name, an excluded name, or a path that contains
// an excluded fragment. Safe to call from any thread.
bool IsExcludedFolder(const SelectedFolder& folder);

}  // namespace wrenpost
