// Where a profile's files live: finding the profile in a folder, and choosing the folder of a
// profile for SAVE and START. A profile named N keeps NConfig.json, NRules.json, N.token and
// NMonitor.json in its folder.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace wrenpost {

struct FoundProfileConfig {
    std::wstring ProfileName;
    std::filesystem::path Path;
};

// The first regular file, in directory order, named <N>Config.json with a non-empty N (suffix
// case exact). Nothing when none qualifies or the folder cannot be listed.
std::optional<FoundProfileConfig> FindProfileConfig(const std::filesystem::path& folder);

// Whether a regular file directly in the folder is named <N>Config.json or <N>Rules.json with a
// non-empty N.
bool FolderHasProfileFiles(const std::filesystem::path& folder);

// Profile names compared as Windows compares file names: per character, upper-cased.
bool SameProfileName(std::wstring_view a, std::wstring_view b);

// START's folder: the current profile folder when it holds <name>Config.json, otherwise
// <profiles>\<name>. Nothing is created: START only looks for a saved profile there, and a
// folder made for a refused or unsaved start would be left behind empty.
std::filesystem::path ProfileFolderFor(const std::filesystem::path& profilesFolder,
                                       const std::filesystem::path& currentFolder,
                                       std::wstring_view name);

// SAVE's folder for a picked one: the picked folder itself when its last component is the
// profile's name or it already holds that profile's Config.json, otherwise its sub-folder of
// that name (not created here).
std::filesystem::path SaveFolderFor(const std::filesystem::path& picked, std::wstring_view name);

// SAVE's conflict check: the name of a different profile that already owns the folder.
std::optional<std::wstring> ConflictingProfile(const std::filesystem::path& folder,
                                               std::wstring_view name);

}  // namespace wrenpost
