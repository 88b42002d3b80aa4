#include "common/Clock.h"

#include <thread>

namespace wrenpost {
namespace {

class RealClock final : public Clock {
public:
    std::chrono::system_clock::time_point Now() const override {
        return std::chrono::system_clock::now();
    }
    std::chrono::steady_clock::time_point SteadyNow() const override {
        return std::chrono::steady_clock::now();
    }
    void SleepFor(std::chrono::milliseconds duration) const override {
        std::this_thread::sleep_for(duration);
    }
};

}  // namespace

const Clock& SystemClock() {
    static const RealClock clock;
    return clock;
}

std::int64_t ToUnixSeconds(std::chrono::system_clock::time_point time) {
    return std::chrono::duration_cast<std::chrono::seconds>(time.time_since_epoch()).count();
}

}  // namespace wrenpost
