// The pieces of reading mail that work on objects of an existing connection.
#pragma once

#include <windows.h>
// The headers below need windows.h first.
#include <ole2.h>

#include <vector>

#include "outlook/MailSnapshot.h"
#include "profile/ProfileConfig.h"

namespace wrenpost {

// Appends the snapshots of one folder, opened by its entry and store identifiers through the
// MAPI namespace; a folder that cannot be opened contributes nothing.
void ReadOneFolder(IDispatch* mapiNamespace, const SelectedFolder& folder, int limit,
                   bool includeOld, std::vector<MailSnapshot>& out);

}  // namespace wrenpost
