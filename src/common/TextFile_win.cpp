// The Windows side of reading and of the atomic write: an exclusively created temporary file
// flushed to the disk, then MoveFileExW with write-through, so neither the data nor the rename is
// still in a cache when we report success.
#include <windows.h>

#include <algorithm>

#include "common/Text.h"
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

void SetReadFailure(FileReadFailure* failure, DWORD code, bool opening) {
    if (!failure) {
        return;
    }
    failure->absent = opening && (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND);
    // The text goes inside a sentence of ours, so its own closing full stop is dropped.
    std::wstring reason = SystemErrorMessage(code);
    while (!reason.empty() && reason.back() == L'.') {
        reason.pop_back();
    }
    failure->reason = reason.empty() ? L"Windows error " + ToWideDecimal(code) : reason;
}

}  // namespace

bool ReadFileBytes(const std::filesystem::path& path, std::string& bytes,
                   FileReadFailure* failure) {
    // Sharing delete too: an atomic writer may then replace the file while we read the old one.
    UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        SetReadFailure(failure, GetLastError(), true);
        return false;
    }
    constexpr DWORD kChunk = 1u << 16;
    std::string content;
    for (;;) {
        const std::size_t had = content.size();
        content.resize(had + kChunk);
        DWORD got = 0;
        if (!ReadFile(file.get(), content.data() + had, kChunk, &got, nullptr)) {
            SetReadFailure(failure, GetLastError(), false);
            return false;
        }
        content.resize(had + got);
        if (got == 0) {
            break;
        }
    }
    bytes = std::move(content);
    return true;
}

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

NewFileResult MoveFileIfAbsent(const std::filesystem::path& source,
                               const std::filesystem::path& target, std::wstring* error) {
    if (MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) {
        return NewFileResult::Written;
    }
    const DWORD code = GetLastError();
    if (code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS) {
        return NewFileResult::NameTaken;
    }
    SetError(error, L"Could not create ", target, code);
    return NewFileResult::Failed;
}

unsigned long CurrentProcessId() {
    return GetCurrentProcessId();
}

}  // namespace wrenpost
