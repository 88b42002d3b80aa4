// The command-line switches the program reads: a start from the token vault, and a start by
// Windows at log-on.
#pragma once

#include <string>
#include <string_view>

namespace wrenpost {

inline constexpr std::wstring_view kVaultLaunchSwitch = L"--new-instance-from-vault";
inline constexpr std::wstring_view kStartupSwitch = L"--startup";

// The hand-off identifier after the switch (searched anywhere, white space skipped, then the run
// of non-white-space characters); empty when this is an ordinary start.
std::wstring ParseVaultLaunchId(std::wstring_view commandLine);

// Whether one of the white-space separated arguments is exactly the start-up switch.
bool HasStartupSwitch(std::wstring_view commandLine);

}  // namespace wrenpost
