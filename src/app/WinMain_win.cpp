// Process entry.
#include <windows.h>

#include "ui/main/Application_win.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int showCommand) {
    return wrenpost::RunApplication(instance, commandLine, showCommand);
}
