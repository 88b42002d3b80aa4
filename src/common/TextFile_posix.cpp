// POSIX rename replaces the target atomically.
#include <cstdio>

#include "common/Text.h"
#include "common/TextFile.h"

namespace wrenpost {

bool ReplaceFileWith(const std::filesystem::path& source, const std::filesystem::path& target,
                     std::wstring* error) {
    if (std::rename(source.c_str(), target.c_str()) != 0) {
        if (error) {
            *error = L"Could not replace " + target.wstring();
        }
        return false;
    }
    return true;
}

}  // namespace wrenpost
