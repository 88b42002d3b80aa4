// The pieces of reading mail that work on objects of an existing connection.
#pragma once

#include <windows.h>
// The headers below need windows.h first.
#include <ole2.h>

#include <memory>
#include <vector>

#include "outlook/FolderWalk.h"
#include "outlook/MailSnapshot.h"
#include "profile/ProfileConfig.h"

namespace wrenpost {

// One folder, opened by its entry and store identifiers through the MAPI namespace, with its
// items sorted newest first; null when it cannot be opened. The namespace must outlive it.
// `refused` (when given) is set once Outlook refuses a guarded member its snapshots read.
std::unique_ptr<FolderItems> OpenFolderItems(IDispatch* mapiNamespace, const SelectedFolder& folder,
                                             bool* refused = nullptr);

// Walks one folder (FolderWalk.h) and appends its new snapshots; a folder that cannot be opened
// contributes nothing and examines nothing.
FolderWalkOutcome ReadOneFolder(IDispatch* mapiNamespace, const FolderWalkPlan& plan,
                                const MailReadRequest& request, std::vector<MailSnapshot>& out);

}  // namespace wrenpost
