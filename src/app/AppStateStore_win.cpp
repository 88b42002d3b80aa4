#include "app/AppStateStore_win.h"

#include "app/AppPaths_win.h"

namespace wrenpost {
AppState LoadAppState() {
    const auto path = AppStateFilePath();
    return path.empty() ? AppState{} : LoadAppStateFile(path);
}

bool UpdateAppState(const std::function<void(AppState&)>& change, std::wstring* error) {
    const auto path = AppStateFilePath();
    return !path.empty() && UpdateAppStateFile(path, change, error);
}

bool SetLastProfile(const std::wstring& name) {
    return UpdateAppState([&](AppState& state) { state.LastProfile = name; });
}

bool SetLastProfileFolder(const std::wstring& path) {
    return UpdateAppState([&](AppState& state) { state.LastProfileFolder = path; });
}

bool SetSuppressMasterToggleReminder(bool suppress) {
    return UpdateAppState([&](AppState& state) { state.SuppressMasterToggleReminder = suppress; });
}

}  // namespace wrenpost
