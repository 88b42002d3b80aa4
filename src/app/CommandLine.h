// The one command-line switch the program reads: a start from the token vault.
#pragma once

#include <string>
#include <string_view>

namespace wrenpost {

inline constexpr std::wstring_view kVaultLaunchSwitch = L"--new-instance-from-vault";

// The hand-off identifier after the switch (searched anywhere, white space skipped, then the run
// of non-white-space characters); empty when this is an ordinary start.
std::wstring ParseVaultLaunchId(std::wstring_view commandLine);

}  // namespace wrenpost
