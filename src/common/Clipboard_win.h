// Unicode text onto the clipboard.
#pragma once

#include <windows.h>

#include <string>

namespace wrenpost {

// A secret (a token, a recovery key, a verification text) is marked so that Windows keeps it
// out of the clipboard history, the cloud clipboard and clipboard monitors.
enum class ClipboardPrivacy { Ordinary, Secret };

// False when the clipboard could not be opened (another program holds it).
bool CopyToClipboard(HWND owner, const std::wstring& text,
                     ClipboardPrivacy privacy = ClipboardPrivacy::Ordinary);

}  // namespace wrenpost
