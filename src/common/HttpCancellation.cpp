#include "common/HttpCancellation.h"

#include <utility>

namespace wrenpost {

void HttpCancellation::Cancel() {
    std::lock_guard lock(mutex_);
    cancelled_ = true;
    if (closer_) {
        std::exchange(closer_, nullptr)();
        closed_.insert(current_);
    }
}

void HttpCancellation::Reset() {
    std::lock_guard lock(mutex_);
    cancelled_ = false;
}

std::uint64_t HttpCancellation::Enter(std::function<void()> closer) {
    std::lock_guard lock(mutex_);
    if (cancelled_) {
        return 0;
    }
    closer_ = std::move(closer);
    current_ = ++lastTicket_;
    return current_;
}

bool HttpCancellation::Leave(std::uint64_t ticket) {
    std::lock_guard lock(mutex_);
    if (ticket == current_) {
        closer_ = nullptr;
    }
    return closed_.erase(ticket) > 0;
}

}  // namespace wrenpost
