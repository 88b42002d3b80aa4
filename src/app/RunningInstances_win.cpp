#include "app/RunningInstances_win.h"

#include <windows.h>

#include <chrono>

#include "app/AppPaths_win.h"
#include "app/StaleFiles.h"
#include "common/UniqueHandle_win.h"

namespace wrenpost {
namespace {

bool CreationTime(HANDLE process, std::uint64_t& time) {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) {
        return false;
    }
    time = (static_cast<std::uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
    return true;
}

std::wstring ExecutableName(HANDLE process) {
    wchar_t path[32768];
    DWORD size = 32768;
    if (!QueryFullProcessImageNameW(process, 0, path, &size)) {
        return {};
    }
    std::wstring name = std::filesystem::path(std::wstring(path, size)).filename().wstring();
    CharUpperBuffW(name.data(), static_cast<DWORD>(name.size()));
    return name;
}

}  // namespace

InstanceIdentity CurrentInstance() {
    InstanceIdentity self;
    self.ProcessId = GetCurrentProcessId();
    CreationTime(GetCurrentProcess(), self.StartTime);
    return self;
}

bool IsInstanceRunning(const InstanceIdentity& instance) {
    const UniqueHandle process(
        OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, instance.ProcessId));
    if (!process) {
        return GetLastError() == ERROR_ACCESS_DENIED;
    }
    std::uint64_t started = 0;
    DWORD exitCode = 0;
    if (!CreationTime(process.get(), started) || !GetExitCodeProcess(process.get(), &exitCode)) {
        return true;
    }
    return started == instance.StartTime && exitCode == STILL_ACTIVE;
}

bool IsProgramProcessRunning(std::uint32_t processId) {
    if (processId == GetCurrentProcessId()) {
        return true;
    }
    const UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process) {
        return GetLastError() == ERROR_ACCESS_DENIED;
    }
    DWORD exitCode = 0;
    if (!GetExitCodeProcess(process.get(), &exitCode)) {
        return true;
    }
    if (exitCode != STILL_ACTIVE) {
        return false;
    }
    const std::wstring theirs = ExecutableName(process.get());
    return theirs.empty() || theirs == ExecutableName(GetCurrentProcess());
}

void SweepStaleTemporaryFiles(const LogFunction& log) {
    // The application data folder holds AppState.json, the vault and the Profiles tree (whose
    // profiles, temporary ones one level deeper, hold their outboxes): four levels reach every file this program writes there.
    const std::filesystem::path appData = AppDataFolder();
    if (!appData.empty()) {
        SweepStaleTemporarySiblings(appData, 4, &IsProgramProcessRunning, log);
    }
    std::error_code error;
    const std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
    if (!error) {
        SweepExpiredHandoffs(temporary, std::filesystem::file_time_type::clock::now(), log);
    }
}

void SweepProfileFolderTemporaryFiles(const std::filesystem::path& folder,
                                      const LogFunction& log) {
    SweepStaleTemporarySiblings(folder, 1, &IsProgramProcessRunning, log);
}

}  // namespace wrenpost
