// Orphan and temporary profile folder removal.
#include "profile/ProfileCleanup.h"

#include <system_error>

#include "profile/OutboxFiles.h"
#include "profile/ProfileFolders.h"

namespace wrenpost {
namespace {

constexpr wchar_t kTemporaryFolderName[] = L"_Temporary";

bool EndsWith(std::wstring_view text, std::wstring_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

bool AllDigits(std::wstring_view text) {
    if (text.empty()) {
        return false;
    }
    for (const wchar_t c : text) {
        if (c < L'0' || c > L'9') {
            return false;
        }
    }
    return true;
}

// <target>.<process id>-<counter>.tmp, as the atomic write names its temporary files.
bool IsOwnTemporaryFile(std::wstring_view name) {
    if (!EndsWith(name, L".tmp")) {
        return false;
    }
    name.remove_suffix(4);
    const std::size_t dash = name.rfind(L'-');
    const std::size_t dot = name.rfind(L'.', dash);
    return dash != std::wstring_view::npos && dot != std::wstring_view::npos && dot > 0 &&
           AllDigits(name.substr(dash + 1)) && AllDigits(name.substr(dot + 1, dash - dot - 1));
}

bool IsWorkingStateFile(std::wstring_view name) {
    return EndsWith(name, L"Monitor.json") || EndsWith(name, L".token") || IsOwnTemporaryFile(name);
}

// Working state directly in the profile folder, or the monitor's own files in its outbox.
bool IsWorkingState(const std::filesystem::path& file, int depth) {
    const std::wstring name = file.filename().wstring();
    if (depth == 0) {
        return IsWorkingStateFile(name);
    }
    return depth == 1 && IsOutboxFolderName(file.parent_path().filename().wstring()) &&
           IsOutboxFileName(name);
}

std::wstring DiscardedNotice(std::size_t waiting) {
    return waiting == 0 ? std::wstring()
                        : L" " + std::to_wstring(waiting) +
                              L" undelivered notifications in it were discarded.";
}

// True when everything below `folder` is working state or an empty folder.
bool HoldsOnlyWorkingState(const std::filesystem::path& folder) {
    std::error_code error;
    std::filesystem::recursive_directory_iterator it(folder, error);
    for (; !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        const std::filesystem::file_status status = it->symlink_status(error);
        if (error) {
            return false;
        }
        if (std::filesystem::is_directory(status)) {
            continue;
        }
        if (!std::filesystem::is_regular_file(status) || !IsWorkingState(it->path(), it.depth())) {
            return false;
        }
    }
    return !error;
}

// Windows refuses to delete a read-only file; clearing the flag first lets the removal through.
bool RemoveFolderTree(const std::filesystem::path& folder) {
    std::error_code error;
    for (std::filesystem::recursive_directory_iterator it(folder, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        std::error_code ignored;
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::add, ignored);
    }
    std::error_code ignored;
    std::filesystem::permissions(folder, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(folder, error);
    return !error;
}

}  // namespace

void CleanOrphanProfileFolders(const std::filesystem::path& profilesFolder, const LogFunction& log,
                               KeptFolderReports& reported) {
    try {
        std::error_code error;
        std::filesystem::create_directories(profilesFolder, error);
        if (!std::filesystem::is_directory(profilesFolder, error)) {
            return;
        }
        std::filesystem::directory_iterator it(profilesFolder, error);
        for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
            const std::filesystem::path folder = it->path();
            std::error_code statusError;
            if (!std::filesystem::is_directory(it->symlink_status(statusError)) ||
                folder.filename() == kTemporaryFolderName || FolderHasProfileFiles(folder)) {
                continue;
            }
            if (!HoldsOnlyWorkingState(folder)) {
                if (reported.insert(folder.wstring()).second) {
                    log(LogLevel::Info,
                        L"Kept a profile folder without a profile because it holds files this "
                        L"program did not write: " +
                            folder.wstring());
                }
                continue;
            }
            const std::size_t waiting = CountWaitingRecords(folder);
            if (RemoveFolderTree(folder)) {
                log(waiting == 0 ? LogLevel::Info : LogLevel::Warning,
                    L"Deleted orphan profile folder (no *Config.json or *Rules.json file "
                    L"found): " +
                        folder.wstring() + DiscardedNotice(waiting));
            } else {
                log(LogLevel::Error,
                    L"Failed to delete orphan profile folder: " + folder.wstring());
            }
        }
        if (error) {
            log(LogLevel::Error, L"Failed while cleaning orphan profile folders.");
        }
    } catch (...) {
        log(LogLevel::Error, L"Failed while cleaning orphan profile folders.");
    }
}

void DeleteTemporaryProfile(std::filesystem::path& folder, const LogFunction& log) {
    if (folder.empty()) {
        return;
    }
    try {
        std::filesystem::path target = folder.lexically_normal();
        if (!target.has_filename()) {
            target = target.parent_path();
        }
        if (target.parent_path().filename() != kTemporaryFolderName) {
            log(LogLevel::Error,
                L"Refused to delete a temporary profile outside _Temporary: " + folder.wstring());
        } else {
            std::error_code error;
            const bool exists = std::filesystem::exists(target, error);
            const std::size_t waiting = exists ? CountWaitingRecords(target) : 0;
            if (!error && (!exists || RemoveFolderTree(target))) {
                log(waiting == 0 ? LogLevel::Info : LogLevel::Warning,
                    L"Temporary profile deleted: " + folder.wstring() + DiscardedNotice(waiting));
            } else {
                log(LogLevel::Error, L"Failed to delete temporary profile: " + folder.wstring());
            }
        }
    } catch (...) {
        log(LogLevel::Error, L"Failed while deleting temporary profile.");
    }
    folder.clear();
}

}  // namespace wrenpost
