// Reading the newest messages of the watched folders into MailSnapshots: the seam the monitor
// engine receives as its mail reader.
#pragma once

#include <vector>

#include "outlook/MailSnapshot.h"
#include "profile/ProfileConfig.h"

namespace wrenpost {

// Connects to Outlook on the calling thread (which must be a dedicated reading thread: a hung
// Outlook blocks it), reads each folder in order and releases everything before returning.
// limit is per folder (3 when below 1); includeOld selects backlog mode: the newest unread items
// among the newest 500 instead of the newest `limit` items. True exactly when `out` is non-empty.
// Without Outlook (or on a platform without it) the result is false with an empty list.
[[nodiscard]] bool ReadWatchedFolders(const std::vector<SelectedFolder>& folders, int limit,
                                      bool includeOld, std::vector<MailSnapshot>& out);

// The text form of the MAPI property tags read through the property accessor.
inline constexpr const wchar_t* kDeliveryTimeProperty =
    L"http://schemas.microsoft.com/mapi/proptag/0x0E060040";
inline constexpr const wchar_t* kSubmitTimeProperty =
    L"http://schemas.microsoft.com/mapi/proptag/0x00390040";
inline constexpr const wchar_t* kInternetMessageIdProperty =
    L"http://schemas.microsoft.com/mapi/proptag/0x1035001F";

}  // namespace wrenpost
