// The program's run from start to exit: one ordinary instance per session, the main window and
// the message loop. wWinMain only calls this.
#pragma once

#include <windows.h>

namespace wrenpost {

// Returns the process exit code: 0 after a normal end or when another instance took over, non-zero
// when the main window could not be created (the user is told through the prompt seam).
int RunApplication(HINSTANCE instance, const wchar_t* commandLine, int showCommand);

}  // namespace wrenpost
