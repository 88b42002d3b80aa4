// This process as other instances see it, and whether the instance that left a folder behind
// still runs.
#pragma once

#include "profile/TemporaryProfiles.h"

namespace wrenpost {

InstanceIdentity CurrentInstance();

// A process that cannot be inspected counts as running: its folder is better kept than lost.
bool IsInstanceRunning(const InstanceIdentity& instance);

}  // namespace wrenpost
