// The new Outlook for Windows offers no COM automation. A user who has only the new Outlook
// would otherwise see the generic "Outlook could not be reached" failures; this tells them why.
#pragma once

#include <windows.h>

#include <string>

namespace wrenpost {

inline constexpr wchar_t kNewOutlookOnlyText[] =
    L"Classic Outlook is not installed. Wrenpost needs classic Outlook; the new Outlook for "
    L"Windows cannot be automated by other programs.";

// The new Outlook's per-user app execution alias, %LOCALAPPDATA%\Microsoft\WindowsApps\olk.exe,
// exists.
bool NewOutlookInstalled();

// kNewOutlookOnlyText when connecting failed with `connectError` because classic Outlook's class
// is not registered, and the new Outlook is installed; empty otherwise.
std::wstring NewOutlookOnlyText(HRESULT connectError);

}  // namespace wrenpost
