// AppState.json in the application-data folder. Every writer loads the whole record, changes
// its field and saves the whole record again.
#pragma once

#include <string>

#include "app/AppState.h"

namespace wrenpost {

AppState LoadAppState();
[[nodiscard]] bool SaveAppState(const AppState& state);

bool SetLastProfile(const std::wstring& name);
bool SetLastProfileFolder(const std::wstring& path);
bool SetSuppressMasterToggleReminder(bool suppress);

}  // namespace wrenpost
