// The Bot API and update-service addresses in use, logged when they are not the built-in ones.
#pragma once

#include "common/ActivityLog.h"

namespace wrenpost {

// At start-up and at each START: one line per accepted non-default address, a WARNING unless it
// is a loopback address (a refused one is logged with its reason where it is read).
void LogNonDefaultEndpoints(const LogFunction& log);

}  // namespace wrenpost
