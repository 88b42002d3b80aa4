// MoveFileExW with write-through: the rename reaches the disk before we report success.
#include <windows.h>

#include "common/TextFile.h"
#include "common/WinError_win.h"

namespace wrenpost {

bool ReplaceFileWith(const std::filesystem::path& source, const std::filesystem::path& target,
                     std::wstring* error) {
    if (!MoveFileExW(source.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD code = GetLastError();
        if (error) {
            *error = L"Could not replace " + target.wstring() + L" (" + DescribeWindowsError(code) +
                     L")";
        }
        return false;
    }
    return true;
}

}  // namespace wrenpost
