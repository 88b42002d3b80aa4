// AppState.json in the application-data folder. Every writer loads the whole record, changes
// its field and saves the whole record again.
#pragma once

#include <functional>
#include <string>

#include "app/AppState.h"

namespace wrenpost {

AppState LoadAppState();
// Re-read, change, write, under the file's lock; an unreadable file is left alone (false).
[[nodiscard]] bool UpdateAppState(const std::function<void(AppState&)>& change,
                                  std::wstring* error = nullptr);

bool SetLastProfile(const std::wstring& name);
bool SetLastProfileFolder(const std::wstring& path);
bool SetSuppressMasterToggleReminder(bool suppress);

}  // namespace wrenpost
