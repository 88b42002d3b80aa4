// Command-line front of the driver:
//   wrenpost-driver wait-window <class> <title> <timeout-ms>   exit 0 when the window is there
//   wrenpost-driver close-window <class> <title>               posts WM_CLOSE to each match
//   wrenpost-driver count-windows <class>                      prints how many are visible
//   wrenpost-driver press <class> <title or ""> <control id>   clicks a button of the window
//   wrenpost-driver read-manifest <file>                       the update check's verdict on
//                                                              a manifest: version, installer
//                                                              file name, size and SHA-256
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "support/Driver_win.h"
#include "update/UpdateManifest.h"

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
    if (command == L"count-windows" && argc == 3) {
        std::printf("%zu\n", FindWindows(argv[2], nullptr).size());
        return 0;
    }
    if (command == L"press" && argc == 5) {
        // An empty title matches any.
        const auto windows = FindWindows(argv[2], *argv[3] ? argv[3] : nullptr);
        const int id = std::stoi(argv[4]);
        return !windows.empty() &&
                       PostMessageW(windows.front(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                                    reinterpret_cast<LPARAM>(GetDlgItem(windows.front(), id)))
                   ? 0
                   : 1;
    }
    if (command == L"read-manifest" && argc == 3) {
        std::ostringstream body;
        body << std::ifstream(argv[2], std::ios::binary).rdbuf();
        UpdateManifest manifest;
        std::string error;
        if (!ParseUpdateManifest(body.str(), manifest, error)) {
            std::fprintf(stderr, "manifest rejected: %s\n", error.c_str());
            return 1;
        }
        std::printf("%s %s %llu %s\n", manifest.latestVersionText.c_str(),
                    manifest.installerFileName.c_str(),
                    static_cast<unsigned long long>(manifest.installerSizeBytes),
                    manifest.installerSha256.c_str());
        return 0;
    }
    std::fprintf(stderr,
                 "usage: wrenpost-driver wait-window|close-window|count-windows|"
                 "press|read-manifest ...\n");
    return 2;
}
