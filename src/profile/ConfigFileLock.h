// One lock per profile file, across this process and every other instance: every write and every
// read-modify-write of a Config.json (and of AppState.json) holds it, so a SAVE from a window and
// a monitor's write-back cannot interleave between a re-read and its write.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace wrenpost {

// The registry key of a path: absolute, lexically normal and case-folded, so the spellings of one
// file that Windows treats alike share a lock. Two files that merely fold alike on Linux share
// one too, which costs nothing.
std::wstring ConfigFileLockKey(const std::filesystem::path& path);

// The name of the system-wide lock of a key: "Local\\Wrenpost_FileLock_" and the key's 64-bit
// FNV-1a hash in hex (a path can be longer than a mutex name may be).
std::wstring CrossProcessLockName(const std::wstring& key);

// Takes the system-wide lock named `name` for the calling thread; released when the result is
// dropped on that thread. `waiting` is called before a wait when another process holds it. A lock
// its holder died with counts as taken. Null where there is no such lock (Linux builds), or when
// it stayed held for kCrossProcessLockPatienceSeconds: a hung instance must not freeze this one.
inline constexpr unsigned kCrossProcessLockPatienceSeconds = 30;
std::shared_ptr<void> TakeCrossProcessLock(const std::wstring& name,
                                           const std::function<void()>& waiting);

// Holds the lock of `path` from construction to destruction: this process's mutex for the path,
// then the system-wide one. Not recursive: code holding it must not take it again on the same
// thread.
class ConfigFileLock {
public:
    explicit ConfigFileLock(const std::filesystem::path& path);
    ConfigFileLock(const ConfigFileLock&) = delete;
    ConfigFileLock& operator=(const ConfigFileLock&) = delete;

private:
    std::unique_lock<std::mutex> lock_;
    std::shared_ptr<void> system_;  // released first
};

// Tests only: called on the waiting thread, with the lock key, whenever a lock (this process's or
// the system-wide one) is found held and the caller is about to wait for it. Null removes it.
void SetConfigFileLockWaitHookForTesting(std::function<void(const std::wstring& key)> hook);

}  // namespace wrenpost
