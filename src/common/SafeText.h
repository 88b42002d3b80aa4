// Text from outside made safe to show in the window and the log.
#pragma once

#include <string>
#include <string_view>

namespace wrenpost {

// For names and descriptions from Telegram or the update service, and mail subjects and senders
// in the log: tab, CR, LF and the line and paragraph separators become a space, other control
// characters (C0, DEL, C1) and the bidirectional embeddings, overrides, isolates and marks are
// removed, so a name can neither forge a log line nor turn the text around it backwards.
std::wstring StripUnsafeText(std::wstring_view text);

}  // namespace wrenpost
