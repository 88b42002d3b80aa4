#include "app/AppPaths_win.h"

#include <windows.h>
// The headers below need windows.h first.
#include <knownfolders.h>
#include <shlobj.h>

#include "common/UniqueHandle_win.h"
#include "common/WinError_win.h"

namespace wrenpost {
namespace {

// CreateDirectoryW for each missing component; the error of the first failure is kept.
bool CreateFolderTree(const std::filesystem::path& folder, DWORD& failure) {
    if (GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES &&
        (GetFileAttributesW(folder.c_str()) & FILE_ATTRIBUTE_DIRECTORY)) {
        return true;
    }
    const auto parent = folder.parent_path();
    if (!parent.empty() && parent != folder && !CreateFolderTree(parent, failure)) {
        return false;
    }
    if (CreateDirectoryW(folder.c_str(), nullptr)) {
        return true;
    }
    const DWORD code = GetLastError();
    if (code == ERROR_ALREADY_EXISTS &&
        (GetFileAttributesW(folder.c_str()) & FILE_ATTRIBUTE_DIRECTORY) &&
        GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES) {
        return true;
    }
    failure = code == ERROR_ALREADY_EXISTS ? ERROR_FILE_EXISTS : code;
    return false;
}

}  // namespace

std::filesystem::path LocalAppDataBase() {
    PWSTR known = nullptr;
    std::wstring base;
    // The folder text is the caller's to free, also when the call fails.
    const HRESULT found = SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &known);
    const UniqueCoTaskMemory owned(known);
    if (SUCCEEDED(found) && known) {
        base = known;
    }
    if (!base.empty()) {
        return base;
    }
    wchar_t buffer[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", buffer, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        return std::wstring(buffer, length);
    }
    return {};
}

std::filesystem::path AppDataFolder() {
    const auto base = LocalAppDataBase();
    return base.empty() ? base : base / L"Wrenpost";
}

std::filesystem::path ProfilesFolder() {
    const auto folder = AppDataFolder();
    return folder.empty() ? folder : folder / L"Profiles";
}

std::filesystem::path AppStateFilePath() {
    const auto folder = AppDataFolder();
    return folder.empty() ? folder : folder / L"AppState.json";
}

bool EnsureAppFolders(std::wstring& error) {
    const auto appData = AppDataFolder();
    if (appData.empty()) {
        error = L"Could not determine the per-user application data folder.";
        return false;
    }
    DWORD failure = 0;
    if (!CreateFolderTree(appData, failure)) {
        error = L"Failed to create application data folder: " + appData.wstring() + L" (" +
                DescribeWindowsError(failure) + L")";
        return false;
    }
    const auto profiles = ProfilesFolder();
    if (!CreateFolderTree(profiles, failure)) {
        error = L"Failed to create Profiles folder: " + profiles.wstring() + L" (" +
                DescribeWindowsError(failure) + L")";
        return false;
    }
    return true;
}

std::wstring AppFolderWarningText(const std::wstring& error) {
    return L"Wrenpost could not create its application data folder.\n\n" + error +
           L"\n\nProfiles, saved tokens, and settings may not be saved this session.";
}

}  // namespace wrenpost
