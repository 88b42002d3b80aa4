// Linux builds run one instance of the portable core: this process's lock is the whole lock.
#include "profile/ConfigFileLock.h"

namespace wrenpost {

std::shared_ptr<void> TakeCrossProcessLock(const std::wstring&, const std::function<void()>&) {
    return nullptr;
}

}  // namespace wrenpost
