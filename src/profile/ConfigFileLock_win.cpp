// The system-wide half of ConfigFileLock: a named mutex per file.
#include <windows.h>

#include "profile/ConfigFileLock.h"

namespace wrenpost {

std::shared_ptr<void> TakeCrossProcessLock(const std::wstring& name,
                                           const std::function<void()>& waiting) {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
    if (mutex == nullptr) {
        return nullptr;
    }
    DWORD waited = WaitForSingleObject(mutex, 0);
    if (waited == WAIT_TIMEOUT) {
        if (waiting) {
            waiting();
        }
        waited = WaitForSingleObject(mutex, kCrossProcessLockPatienceSeconds * 1000);
    }
    // WAIT_ABANDONED: its holder ended without releasing it; the files are whole (every write is
    // atomic), so the lock is ours.
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
        CloseHandle(mutex);
        return nullptr;
    }
    return std::shared_ptr<void>(mutex, [](void* owned) {
        ReleaseMutex(owned);
        CloseHandle(owned);
    });
}

}  // namespace wrenpost
