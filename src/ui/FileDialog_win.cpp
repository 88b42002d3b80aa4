// The system's open and save dialogs behind the file dialog seam.
#include "ui/FileDialog_win.h"

#include <commdlg.h>

#include <algorithm>

namespace wrenpost {

bool ShowSystemFileDialog(HWND owner, const FileDialogRequest& request,
                          std::filesystem::path& picked) {
    // Pairs of NUL-terminated texts, ended by an empty one.
    std::wstring filter;
    for (const auto& [label, pattern] : request.filters) {
        filter += label + L'\0' + pattern + L'\0';
    }
    filter += L'\0';
    // Long paths are allowed; the buffer holds the proposed name and receives the choice.
    std::wstring buffer = request.fileName;
    buffer.resize(std::max<std::size_t>(buffer.size() + 1, 32768), L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = buffer.data();
    dialog.nMaxFile = static_cast<DWORD>(buffer.size());
    dialog.lpstrTitle = request.title.empty() ? nullptr : request.title.c_str();
    dialog.lpstrDefExt =
        request.defaultExtension.empty() ? nullptr : request.defaultExtension.c_str();
    dialog.Flags = OFN_EXPLORER | OFN_NOCHANGEDIR |
                   (request.save ? OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST
                                 : OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST);
    const BOOL chosen = request.save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
    if (!chosen) {
        return false;
    }
    picked = buffer.c_str();
    return true;
}

}  // namespace wrenpost
