// Leftovers of writers that died: "<file>.<pid>-<n>.tmp" siblings (an old vault among them still
// opens with its old password) and token hand-off files nobody collected.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string_view>

#include "common/ActivityLog.h"

namespace wrenpost {

// The writer's process id of a temporary sibling name "<file>.<pid>-<n>.tmp" (as
// WriteFileAtomically names them: <file> has an extension, pid and n are decimal); nothing for
// any other name.
std::optional<std::uint32_t> TemporarySiblingWriter(std::wstring_view fileName);

// Removes the temporary siblings in `folder` (and its sub-folders down to `depth` levels) whose
// writer is not running by `isRunning`; how many were removed. Folders that cannot be listed and
// files that cannot be removed are skipped (a failed removal is logged).
std::size_t SweepStaleTemporarySiblings(const std::filesystem::path& folder, int depth,
                                        const std::function<bool(std::uint32_t)>& isRunning,
                                        const LogFunction& log);

// Removes "VaultLaunch_<id>.tmp" hand-off files in `folder` last written more than their
// lifetime before `now`, or more than 5 s after it (a stamp from the future never expires).
std::size_t SweepExpiredHandoffs(const std::filesystem::path& folder,
                                 std::filesystem::file_time_type now, const LogFunction& log);

}  // namespace wrenpost
