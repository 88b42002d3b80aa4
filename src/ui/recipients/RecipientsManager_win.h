// The modal "Manage Recipients" window: search, page through, allow or disallow and delete the
// profile's recipients, on a working copy that only OK hands back.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "common/PostedRecord_win.h"
#include "profile/ProfileConfig.h"

namespace wrenpost {

inline constexpr wchar_t kRecipientsManagerClass[] = L"WrenpostRecipientsManagerDialog";

// A delivery the monitor reported: to the main window, and forwarded to an open manager.
struct RecipientNotifiedRecord final : PostedRecord {
    std::wstring chatId;
    std::wstring when;
};

// Runs the window modally over `owner`; true (and `recipients` and `topics` replaced by the
// edited copies) on OK. A recipient's forum topic shows after its name and can be cleared.
// `opened` receives the window while it runs and null once it is gone, so deliveries can be
// forwarded to it.
bool RunRecipientsManager(HWND owner, std::vector<RecipientEntry>& recipients,
                          std::vector<RecipientTopic>& topics,
                          const std::function<void(HWND manager)>& opened);

}  // namespace wrenpost
