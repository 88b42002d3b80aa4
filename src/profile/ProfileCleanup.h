// Removal of profile folders nobody needs any more: orphans under Profiles (a session's leftovers)
// and a session's temporary profile. Both only log; neither ever asks the user anything.
#pragma once

#include <filesystem>
#include <set>
#include <string>

#include "common/ActivityLog.h"

namespace wrenpost {

// Folders a clean-up pass has already reported as kept, so the periodic pass names each of them
// once rather than every five minutes.
using KeptFolderReports = std::set<std::wstring>;

// Deletes each sub-folder of `profilesFolder` (created when missing) that holds no profile file
// (FolderHasProfileFiles) and nothing but working state this program writes: *Monitor.json,
// *.token and its own temporary files directly in it, and empty sub-folders. A folder holding
// anything else (a *Rules.bak, a user's notes) is left alone and reported once; `_Temporary` is
// never touched.
void CleanOrphanProfileFolders(const std::filesystem::path& profilesFolder, const LogFunction& log,
                               KeptFolderReports& reported);

// Deletes a session's temporary profile folder with everything in it and clears `folder`. Does
// nothing for an empty path; refuses (and logs) a folder that is not a direct sub-folder of a
// `_Temporary` folder, so a wrong record can never wipe a real profile.
void DeleteTemporaryProfile(std::filesystem::path& folder, const LogFunction& log);

}  // namespace wrenpost
