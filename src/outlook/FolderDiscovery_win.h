// Folder discovery: the walk over every Outlook store and folder that yields the folders the
// user may watch, and the detached detection thread that hands them to the main window.
#pragma once

#include <windows.h>

#include <vector>

#include "common/PostedRecord_win.h"
#include "profile/ProfileConfig.h"

namespace wrenpost {

// Posted by the detection thread; lParam is a FolderDiscoveryRecord (take it with AdoptRecord).
inline constexpr UINT kFolderDiscoveryMessage = WM_APP + 400;

struct FolderDiscoveryRecord : PostedRecord {
    bool Found = false;                   // at least one folder was offered
    std::vector<SelectedFolder> Folders;  // in discovery order (depth-first, parents first)
};

// Connects to Outlook on the calling thread, which must be a thread of its own (a hung Outlook
// blocks it), and walks all stores depth-first. True when at least one folder is offered.
[[nodiscard]] bool DiscoverFolders(std::vector<SelectedFolder>& folders);

// Starts a detached thread that discovers folders and posts kFolderDiscoveryMessage with the
// record to the window. The thread touches nothing else; if the window is gone, the record is
// freed by PostRecord.
void StartFolderDetection(HWND window);

}  // namespace wrenpost
