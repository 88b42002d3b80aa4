#include <windows.h>
// The header below needs windows.h first.
#include <bcrypt.h>

#include "common/SystemRandom.h"

namespace wrenpost {

bool SystemRandomBytes(unsigned char* out, std::size_t size) {
    return BCryptGenRandom(nullptr, out, static_cast<ULONG>(size),
                           BCRYPT_USE_SYSTEM_PREFERRED_RNG) >= 0;
}

}  // namespace wrenpost
