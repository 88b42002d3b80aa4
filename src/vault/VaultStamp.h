// What a vault window remembers of the file it read: two instances may each hold the vault open,
// and a save over a file the other one changed would silently drop its changes.
#pragma once

#include <cstdint>
#include <filesystem>

namespace wrenpost {

struct VaultStamp {
    bool present = false;
    std::uintmax_t size = 0;
    std::int64_t modified = 0;  // the file system's write time, in its own ticks
    std::uint64_t hash = 0;     // FNV-1a of every byte: a rewrite within one tick still shows

    bool operator==(const VaultStamp&) const = default;
};

// A file that cannot be read gives a stamp that differs from any readable one.
VaultStamp StampVaultFile(const std::filesystem::path& path);

}  // namespace wrenpost
