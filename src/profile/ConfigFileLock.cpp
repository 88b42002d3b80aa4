// The process-wide registry of profile file locks.
#include "profile/ConfigFileLock.h"

#include <cstdint>
#include <cwctype>
#include <map>
#include <system_error>

namespace wrenpost {
namespace {

struct Registry {
    std::mutex mutex;
    // Entries are never removed: a process opens a handful of profiles, and a mutex that stays put
    // cannot be destroyed while another thread waits on it.
    std::map<std::wstring, std::mutex> locks;
    std::function<void(const std::wstring&)> waitHook;
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

}  // namespace

std::wstring ConfigFileLockKey(const std::filesystem::path& path) {
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error) {
        absolute = path;
    }
    std::wstring key = absolute.lexically_normal().wstring();
    for (wchar_t& c : key) {
        c = static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(c)));
    }
    return key;
}

std::wstring CrossProcessLockName(const std::wstring& key) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const wchar_t c : key) {
        hash = (hash ^ static_cast<std::uint64_t>(static_cast<std::uint32_t>(c))) * 1099511628211ull;
    }
    static constexpr wchar_t kHex[] = L"0123456789abcdef";
    std::wstring name = L"Local\\Wrenpost_FileLock_";
    for (int shift = 60; shift >= 0; shift -= 4) {
        name.push_back(kHex[(hash >> shift) & 0xF]);
    }
    return name;
}

ConfigFileLock::ConfigFileLock(const std::filesystem::path& path) {
    const std::wstring key = ConfigFileLockKey(path);
    Registry& registry = TheRegistry();
    std::function<void(const std::wstring&)> hook;
    {
        std::lock_guard guard(registry.mutex);
        lock_ = std::unique_lock(registry.locks[key], std::try_to_lock);
        hook = registry.waitHook;
    }
    if (!lock_.owns_lock()) {
        if (hook) {
            hook(key);
        }
        lock_.lock();
    }
    system_ = TakeCrossProcessLock(CrossProcessLockName(key), [&] {
        if (hook) {
            hook(key);
        }
    });
}

void SetConfigFileLockWaitHookForTesting(std::function<void(const std::wstring& key)> hook) {
    Registry& registry = TheRegistry();
    std::lock_guard guard(registry.mutex);
    registry.waitHook = std::move(hook);
}

}  // namespace wrenpost
