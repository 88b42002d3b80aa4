// Reading the newest messages of the watched folders into MailSnapshots: the seam the monitor
// engine receives as its mail reader.
#pragma once

#include "outlook/FolderWalk.h"

namespace wrenpost {

// Connects to Outlook on the calling thread (which must be a dedicated reading thread: a hung
// Outlook blocks it), walks each folder in order (FolderWalk.h) and releases everything before
// returning. Without Outlook (or on a platform without it) the result is not Ok and empty.
[[nodiscard]] MailReadResult ReadWatchedFolders(const MailReadRequest& request);
// The same for the guarded members of admitted mails: not Ok when Outlook cannot be reached; a
// mail that is gone, or a member Outlook refuses, stays empty.
[[nodiscard]] MailReadResult ReadMailDetails(const MailDetailsRequest& request);

// The text form of the MAPI property tags read through the property accessor.
inline constexpr const wchar_t* kDeliveryTimeProperty =
    L"http://schemas.microsoft.com/mapi/proptag/0x0E060040";
inline constexpr const wchar_t* kSubmitTimeProperty =
    L"http://schemas.microsoft.com/mapi/proptag/0x00390040";
inline constexpr const wchar_t* kInternetMessageIdProperty =
    L"http://schemas.microsoft.com/mapi/proptag/0x1035001F";
// PR_SENDER_SMTP_ADDRESS: an Exchange sender's SMTP address, where SenderEmailAddress holds the
// X.500 path.
inline constexpr const wchar_t* kSenderSmtpAddressProperty =
    L"http://schemas.microsoft.com/mapi/proptag/0x5D01001F";

}  // namespace wrenpost
