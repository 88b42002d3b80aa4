// Folder discovery: the walk over every Outlook store and folder that yields the folders the
// user may watch, and the detached detection thread that hands them to the main window.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "common/AppMessages_win.h"
#include "common/PostedRecord_win.h"
#include "profile/ProfileConfig.h"

namespace wrenpost {

inline constexpr wchar_t kFolderDetectionFailedText[] =
    L"Failed to detect Outlook folders. Make sure Outlook is installed and configured.";

struct FolderDiscoveryRecord : PostedRecord {
    bool Found = false;                   // at least one folder was offered
    std::vector<SelectedFolder> Folders;  // in discovery order (depth-first, parents first)
    std::wstring Failure;                 // why the detection could not run; empty when it ran
    std::wstring Explanation = kFolderDetectionFailedText;  // told when nothing was found
};

// Connects to Outlook on the calling thread, which must be a thread of its own (a hung Outlook
// blocks it), and walks all stores depth-first. True when at least one folder is offered;
// otherwise `explanation` (when given) receives what to tell the user.
[[nodiscard]] bool DiscoverFolders(std::vector<SelectedFolder>& folders,
                                   std::wstring* explanation = nullptr);

// Starts a worker that discovers folders and posts kFolderDiscoveryMessage with the record to
// the window; a worker that cannot start or fails posts a record with Failure set. The worker
// touches nothing else; if the window is gone, the record is freed by PostRecord. False when no
// thread could be created.
bool StartFolderDetection(HWND window);

}  // namespace wrenpost
