// This process as other instances see it, and whether the instance that left a folder behind
// still runs.
#pragma once

#include "profile/TemporaryProfiles.h"

namespace wrenpost {

InstanceIdentity CurrentInstance();

// A process that cannot be inspected counts as running: its folder is better kept than lost.
bool IsInstanceRunning(const InstanceIdentity& instance);

// Whether the process `processId` runs this program (the same executable file name). A process
// that cannot be inspected counts as running; a process id reused by another program does not.
bool IsProgramProcessRunning(std::uint32_t processId);

// The start-up sweep of temporary files dead instances left: temporary siblings in the
// application data folder and the Profiles tree, expired hand-off files in the temporary folder.
void SweepStaleTemporaryFiles(const LogFunction& log);

// The same for one profile folder being loaded or saved (the folder and its outbox).
void SweepProfileFolderTemporaryFiles(const std::filesystem::path& folder, const LogFunction& log);

}  // namespace wrenpost
