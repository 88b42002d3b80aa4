// One lock per profile file for this process: every write and every read-modify-write of a
// Config.json holds it, so a SAVE from the window and the monitor's write-back cannot interleave
// between a re-read and its write.
#pragma once

#include <filesystem>
#include <functional>
#include <mutex>
#include <string>

namespace wrenpost {

// The registry key of a path: absolute, lexically normal and case-folded, so the spellings of one
// file that Windows treats alike share a lock. Two files that merely fold alike on Linux share
// one too, which costs nothing.
std::wstring ConfigFileLockKey(const std::filesystem::path& path);

// Holds the lock of `path` from construction to destruction. Not recursive: code holding it must
// not take it again on the same thread.
class ConfigFileLock {
public:
    explicit ConfigFileLock(const std::filesystem::path& path);
    ConfigFileLock(const ConfigFileLock&) = delete;
    ConfigFileLock& operator=(const ConfigFileLock&) = delete;

private:
    std::unique_lock<std::mutex> lock_;
};

// Tests only: called on the waiting thread, with the lock key, whenever a lock is found held and
// the caller is about to wait for it. Null removes the hook.
void SetConfigFileLockWaitHookForTesting(std::function<void(const std::wstring& key)> hook);

}  // namespace wrenpost
