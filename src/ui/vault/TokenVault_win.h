// The way into the Token Vault from the main window: creates the vault, or unlocks or recovers
// it, and then shows the vault window.
#pragma once

#include <windows.h>

#include "common/HttpClient.h"

namespace wrenpost {

// Returns when the flow ends or the vault window is closed.
void OpenTokenVault(HWND owner, const HttpTransport& transport);

}  // namespace wrenpost
