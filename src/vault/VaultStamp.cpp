#include "vault/VaultStamp.h"

#include <fstream>
#include <system_error>

namespace wrenpost {

VaultStamp StampVaultFile(const std::filesystem::path& path) {
    VaultStamp stamp;
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) {
        return stamp;
    }
    const auto modified = std::filesystem::last_write_time(path, error);
    std::ifstream file(path, std::ios::binary);
    if (error || !file) {
        return stamp;
    }
    std::uint64_t hash = 14695981039346656037ULL;
    char buffer[4096];
    while (file.read(buffer, sizeof(buffer)) || file.gcount() > 0) {
        for (std::streamsize i = 0; i < file.gcount(); ++i) {
            hash = (hash ^ static_cast<unsigned char>(buffer[i])) * 1099511628211ULL;
        }
    }
    if (file.bad()) {
        return stamp;
    }
    stamp.present = true;
    stamp.size = size;
    stamp.modified = static_cast<std::int64_t>(modified.time_since_epoch().count());
    stamp.hash = hash;
    return stamp;
}

}  // namespace wrenpost
