// The token hand-off from the vault window to a new instance of the program: the token,
// protected for the current user and valid for a minute, in a single-use hidden file in the
// temporary folder, so that only its identifier appears on the new instance's command line.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "common/Clock.h"

namespace wrenpost {

// <temporary folder>\VaultLaunch_<id>.tmp; empty when the id is not valid.
std::filesystem::path HandoffPath(std::wstring_view identifier);

[[nodiscard]] bool CreateHandoff(std::wstring_view token, std::wstring& identifier,
                                 std::wstring& error, const Clock& clock = SystemClock());

// Reads and deletes the file whatever it holds, then checks it.
[[nodiscard]] bool ReadHandoff(std::wstring_view identifier, std::wstring& token,
                               std::wstring& error, const Clock& clock = SystemClock());

// For a launch that failed after CreateHandoff: removes the file; false when the id is not
// valid or nothing was removed.
bool DeleteHandoff(std::wstring_view identifier);

}  // namespace wrenpost
