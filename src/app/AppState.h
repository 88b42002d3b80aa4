// The per-user application state, AppState.json: a handful of values that outlive a run. Every
// writer loads the whole record, changes its fields and saves the whole record again.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace wrenpost {

struct AppState {
    std::wstring LastProfile;
    bool SuppressMasterToggleReminder = false;
    std::wstring LastProfileFolder;
    std::wstring LastDismissedUpdateVersion;
    std::int64_t LastDismissedUpdateAtEpochSeconds = 0;

    bool operator==(const AppState&) const = default;
};

// The seven lines of the file ("\n" line ends; the file encoding adds CR). Text values are
// written verbatim, so a folder path keeps its single backslashes.
std::wstring FormatAppState(const AppState& state);

// Tolerant reading: each field that is missing or damaged keeps its default.
AppState ParseAppState(std::wstring_view text);

// Defaults when the file is missing or unreadable.
AppState LoadAppStateFile(const std::filesystem::path& path);

// Absent: nothing there (the defaults apply). Unreadable: something there that could not be read,
// with the system's reason in `reason`; `state` is then left as passed.
enum class AppStateRead { Loaded, Absent, Unreadable };
AppStateRead ReadAppStateFile(const std::filesystem::path& path, AppState& state,
                              std::wstring* reason = nullptr);

// Re-reads the file, applies `change` and writes the record back, holding the file's lock
// (profile/ConfigFileLock.h) so writers in any instance take turns. A file that exists but cannot
// be read is never replaced by defaults: nothing is written and false returned, with the reason.
[[nodiscard]] bool UpdateAppStateFile(const std::filesystem::path& path,
                                      const std::function<void(AppState&)>& change,
                                      std::wstring* error = nullptr);

// Creates the parent folder when needed and replaces the file whole. Refuses (false, file
// untouched) a record whose text values hold a double quote: written verbatim, such a value would
// end early and its remainder would be read as other fields.
[[nodiscard]] bool SaveAppStateFile(const std::filesystem::path& path, const AppState& state,
                                    std::wstring* error = nullptr);

}  // namespace wrenpost
