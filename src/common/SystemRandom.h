// The operating system's cryptographic random numbers (BCryptGenRandom on Windows, the kernel's
// on POSIX), for values a guess must not find: verification codes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace wrenpost {

[[nodiscard]] bool SystemRandomBytes(unsigned char* out, std::size_t size);

// A number below `bound` (not 0), every value equally likely; nothing when the system refused.
std::optional<std::uint32_t> SystemRandomBelow(std::uint32_t bound);

}  // namespace wrenpost
