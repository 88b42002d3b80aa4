// Launch at Windows startup: the per-user Run value "Wrenpost".
#pragma once

namespace wrenpost {

bool EnableLaunchAtStartup();
// True also when the Run key cannot be opened (the feature then counts as off).
bool DisableLaunchAtStartup();
bool IsLaunchAtStartupEnabled();

}  // namespace wrenpost
