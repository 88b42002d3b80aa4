// getMe for the vault: one worker per request, its answer posted to the asking window with the
// id of the entry it is for, so that a list changed meanwhile cannot receive it at another row.
#pragma once

#include <windows.h>

#include <string>

#include "common/HttpClient.h"
#include "common/PostedRecord_win.h"
#include "telegram/BotCheck.h"

namespace wrenpost {

inline constexpr UINT kVaultBotInfoMessage = WM_APP + 910;

struct VaultBotInfoRecord : PostedRecord {
    std::wstring entryId;  // empty for a token not yet in the vault
    bool bulk = false;     // one of a "Refresh all"
    BotInfo info;
};

// A thread that cannot start still posts a failed record, so a count of answers always ends.
void StartVaultBotInfo(HWND window, HttpTransport transport, std::wstring token,
                       std::wstring entryId, bool bulk);

}  // namespace wrenpost
