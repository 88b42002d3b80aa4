#include "app/RunningInstances_win.h"

#include <windows.h>

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

}  // namespace wrenpost
