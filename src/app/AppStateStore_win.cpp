#include "app/AppStateStore_win.h"

#include "app/AppPaths_win.h"

namespace wrenpost {
namespace {

template <typename Change>
bool UpdateAppState(Change change) {
    AppState state = LoadAppState();
    change(state);
    return SaveAppState(state);
}

}  // namespace

AppState LoadAppState() {
    const auto path = AppStateFilePath();
    return path.empty() ? AppState{} : LoadAppStateFile(path);
}

bool SaveAppState(const AppState& state) {
    const auto path = AppStateFilePath();
    return !path.empty() && SaveAppStateFile(path, state);
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
