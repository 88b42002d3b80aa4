// An edit that shows a secret (a recovery key, a verification code, a revealed token): whatever
// way the user copies from it goes through the secret clipboard path, so Windows keeps the text
// out of the clipboard history, the cloud clipboard and clipboard monitors.
#pragma once

#include <windows.h>

namespace wrenpost {

// Lasts as long as the edit. A masked edit (a password character set) copies nothing, as a
// standard password edit does.
void CopyOnlyAsSecret(HWND edit);

}  // namespace wrenpost
