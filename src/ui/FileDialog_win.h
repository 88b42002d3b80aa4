// The open/save file dialog seam: the program asks through a FileDialogFunction, which tests
// replace to answer with a path of their own.
#pragma once

#include <windows.h>

#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace wrenpost {

struct FileDialogRequest {
    bool save = false;  // a save dialog (asks before overwriting) or an open dialog
    std::wstring title;
    std::vector<std::pair<std::wstring, std::wstring>> filters;  // label, pattern
    std::wstring defaultExtension;                               // without the dot
    std::wstring fileName;                                       // proposed
};

// False when the user cancelled; otherwise `picked` holds the chosen file.
using FileDialogFunction = std::function<bool(HWND owner, const FileDialogRequest& request,
                                              std::filesystem::path& picked)>;

// The system's dialog: a save dialog asks before overwriting and needs an existing folder, an
// open dialog needs an existing file.
bool ShowSystemFileDialog(HWND owner, const FileDialogRequest& request,
                          std::filesystem::path& picked);

}  // namespace wrenpost
