// What the start after a crash does with its report: the crashed profile's status file says
// "Crashed", the marker is consumed, old dumps go, and the user is asked whether to open the
// folder (the dump may hold secrets, so the question says so).
#pragma once

#include <windows.h>

#include <optional>

#include "app/CrashMarker.h"

namespace wrenpost {

// The last run's crash, once: its marker is removed here. Marks the profile it names "Crashed"
// and keeps only the newest dumps. Nothing when the last run did not crash.
std::optional<CrashMarker> TakeLastCrash();

// The question, owned by `owner`; Yes opens the dump folder in Explorer.
void OfferCrashFolder(HWND owner);

}  // namespace wrenpost
