// The first <ProfileName>Monitor.json of a session, before the monitor writes its own.
#pragma once

#include <filesystem>
#include <string_view>

namespace wrenpost {

// Creates the folder when needed and writes the "Stopped" status atomically; false when the
// folder or the file cannot be written.
[[nodiscard]] bool WriteInitialMonitorStatus(const std::filesystem::path& path,
                                             std::wstring_view profileName);

}  // namespace wrenpost
