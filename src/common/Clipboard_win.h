// Unicode text onto the clipboard.
#pragma once

#include <windows.h>

#include <string>

namespace wrenpost {

// False when the clipboard could not be opened (another program holds it).
bool CopyToClipboard(HWND owner, const std::wstring& text);

}  // namespace wrenpost
