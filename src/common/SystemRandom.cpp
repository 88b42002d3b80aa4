#include "common/SystemRandom.h"

#include <limits>

namespace wrenpost {

std::optional<std::uint32_t> SystemRandomBelow(std::uint32_t bound) {
    if (bound == 0) {
        return std::nullopt;
    }
    // Values in the incomplete last run of `bound` would make the low numbers likelier.
    const std::uint32_t limit = std::numeric_limits<std::uint32_t>::max() -
                                std::numeric_limits<std::uint32_t>::max() % bound;
    for (int tries = 0; tries < 64; ++tries) {
        unsigned char bytes[4];
        if (!SystemRandomBytes(bytes, sizeof bytes)) {
            return std::nullopt;
        }
        const std::uint32_t value =
            static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
            static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
        if (value < limit) {
            return value % bound;
        }
    }
    return std::nullopt;
}

}  // namespace wrenpost
