#include <cstdio>

#include "common/SystemRandom.h"

namespace wrenpost {

bool SystemRandomBytes(unsigned char* out, std::size_t size) {
    std::FILE* source = std::fopen("/dev/urandom", "rb");
    if (source == nullptr) {
        return false;
    }
    const bool read = std::fread(out, 1, size, source) == size;
    std::fclose(source);
    return read;
}

}  // namespace wrenpost
