// Where the program keeps its per-user data: %LOCALAPPDATA%\Wrenpost and its Profiles folder.
#pragma once

#include <filesystem>
#include <string>

namespace wrenpost {

// %LOCALAPPDATA% itself; empty when it cannot be determined.
std::filesystem::path LocalAppDataBase();
// Empty when the per-user local application-data folder cannot be determined. Nothing is created.
std::filesystem::path AppDataFolder();
std::filesystem::path ProfilesFolder();
std::filesystem::path AppStateFilePath();

// Creates the application-data and Profiles folders with all missing parents.
[[nodiscard]] bool EnsureAppFolders(std::wstring& error);

// The warning shown when EnsureAppFolders failed (the main window logs and shows it).
std::wstring AppFolderWarningText(const std::wstring& error);

}  // namespace wrenpost
