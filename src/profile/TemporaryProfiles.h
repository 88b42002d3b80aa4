// A session's temporary profile: the copy of an unsaved form that one monitor session runs on.
// Its folder under Profiles\_Temporary names the instance that owns it, so two instances never
// share one and any instance can tell whether the owner of a left-over folder still runs.
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "common/ActivityLog.h"

namespace wrenpost {

// A running process, told apart from a later one that reuses its id by its start time.
struct InstanceIdentity {
    std::uint32_t ProcessId = 0;
    std::uint64_t StartTime = 0;  // the system's creation time of the process

    bool operator==(const InstanceIdentity&) const = default;
};

// "Session_YYYYMMDD_HHMMSS": the name of a session started without a profile name.
std::wstring SessionNameAt(const std::tm& local);

// "_Temp_" + the session's name: the temporary profile's own name and its files' prefix.
std::wstring TemporaryProfileName(std::wstring_view sessionName);

// Profiles\_Temporary\_Temp_<session>@<process id>-<start time in hex>.
std::filesystem::path TemporaryProfileFolder(const std::filesystem::path& profilesFolder,
                                             std::wstring_view sessionName,
                                             const InstanceIdentity& owner);

// The owner named by a temporary profile folder's name; nothing for any other name.
std::optional<InstanceIdentity> TemporaryProfileOwner(std::wstring_view folderName);

// Deletes the temporary profiles whose owner no longer runs (a crash or a killed process left
// them, with an encrypted token inside). Folders of running owners and folders not named by
// this program stay.
void CleanAbandonedTemporaryProfiles(const std::filesystem::path& profilesFolder,
                                     const std::function<bool(const InstanceIdentity&)>& isRunning,
                                     const LogFunction& log);

}  // namespace wrenpost
