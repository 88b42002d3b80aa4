// Command-line front of the driver:
//   wrenpost-driver wait-window <class> <title> <timeout-ms>   exit 0 when the window is there
//   wrenpost-driver close-window <class> <title>               posts WM_CLOSE to each match
#include <windows.h>

#include <cstdio>
#include <string>

#include "support/Driver_win.h"

using namespace wrenpost;
using namespace wrenpost::testing;

int wmain(int argc, wchar_t** argv) {
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"wait-window" && argc == 5) {
        return WaitForWindow(argv[2], argv[3], 0, milliseconds(std::stol(argv[4]))) ? 0 : 1;
    }
    if (command == L"close-window" && argc == 4) {
        const auto windows = FindWindows(argv[2], argv[3]);
        for (HWND window : windows) {
            PostMessageW(window, WM_CLOSE, 0, 0);
        }
        return windows.empty() ? 1 : 0;
    }
    std::fprintf(stderr, "usage: wrenpost-driver wait-window|close-window ...\n");
    return 2;
}
