// Monotonic time ten times faster than real time, so intervals, time-outs, back-off and pacing
// pass quickly; wall time stays real, as the cut-off is compared with Outlook's delivery times.
#pragma once

#include <chrono>
#include <thread>

#include "common/Clock.h"

namespace wrenpost::testing {

struct FastClock final : Clock {
    using Steady = std::chrono::steady_clock;
    std::chrono::system_clock::time_point Now() const override {
        return std::chrono::system_clock::now();
    }
    Steady::time_point SteadyNow() const override { return start + (Steady::now() - start) * 10; }
    void SleepFor(std::chrono::milliseconds span) const override {
        std::this_thread::sleep_for(span / 10);
    }
    const Steady::time_point start = Steady::now();
};

}  // namespace wrenpost::testing
