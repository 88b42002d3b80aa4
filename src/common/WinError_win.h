// Windows error texts always carry their number.
#pragma once

#include <windows.h>

#include <string>

namespace wrenpost {

// The system's message for a Win32 error code, trimmed of its trailing line break and full stop
// handling left as the system gives it; empty when the system has none.
std::wstring SystemErrorMessage(DWORD code);

// "Windows error <code>: <message>".
std::wstring DescribeWindowsError(DWORD code);

}  // namespace wrenpost
