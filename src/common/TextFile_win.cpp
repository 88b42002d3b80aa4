// The Windows side of the atomic write: an exclusively created temporary file flushed to the
// disk, then MoveFileExW with write-through, so neither the data nor the rename is still in a
// cache when we report success.
#include <windows.h>

#include <algorithm>

#include "common/TextFile.h"
#include "common/UniqueHandle_win.h"
#include "common/WinError_win.h"

namespace wrenpost {
namespace {

void SetError(std::wstring* error, const wchar_t* what, const std::filesystem::path& path,
              DWORD code) {
    if (error) {
        *error = what + path.wstring() + L" (" + DescribeWindowsError(code) + L")";
    }
}

}  // namespace

NewFileResult WriteNewFile(const std::filesystem::path& path, std::string_view bytes,
                           std::wstring* error) {
    UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD code = GetLastError();
        // A folder of that name gives "access denied", not "exists".
        if (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS ||
            GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
            return NewFileResult::NameTaken;
        }
        SetError(error, L"Could not create ", path, code);
        return NewFileResult::Failed;
    }
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file.get(), bytes.data(), chunk, &written, nullptr) || written == 0) {
            SetError(error, L"Could not write ", path, GetLastError());
            return NewFileResult::Failed;
        }
        bytes.remove_prefix(written);
    }
    if (!FlushFileBuffers(file.get())) {
        SetError(error, L"Could not flush ", path, GetLastError());
        return NewFileResult::Failed;
    }
    return NewFileResult::Written;
}

bool ReplaceFileWith(const std::filesystem::path& source, const std::filesystem::path& target,
                     std::wstring* error) {
    // Another writer replacing the same target, or a reader, may hold it for a moment.
    constexpr int kAttempts = 5;
    for (int attempt = 1;; ++attempt) {
        if (MoveFileExW(source.c_str(), target.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return true;
        }
        const DWORD code = GetLastError();
        if (attempt == kAttempts ||
            (code != ERROR_ACCESS_DENIED && code != ERROR_SHARING_VIOLATION)) {
            SetError(error, L"Could not replace ", target, code);
            return false;
        }
        Sleep(20);
    }
}

unsigned long CurrentProcessId() {
    return GetCurrentProcessId();
}

}  // namespace wrenpost
