// "Open new instance with this token": the token goes through a hand-off file, only its id
// onto the new process's command line.
#pragma once

#include <windows.h>

#include <string>

namespace wrenpost {

// Starts this program again for `token`; failures are told to the user. False on failure.
bool LaunchInstanceWithToken(HWND owner, const std::wstring& token);

}  // namespace wrenpost
