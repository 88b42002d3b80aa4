// The time seam: wall time, monotonic time and sleeping, replaceable by tests.
#pragma once

#include <chrono>
#include <cstdint>

namespace wrenpost {

class Clock {
public:
    virtual ~Clock() = default;
    virtual std::chrono::system_clock::time_point Now() const = 0;
    virtual std::chrono::steady_clock::time_point SteadyNow() const = 0;
    virtual void SleepFor(std::chrono::milliseconds duration) const = 0;
};

// The real clock; one shared instance for the whole process.
const Clock& SystemClock();

// Seconds since 1970 (UTC) of a wall-clock time point.
std::int64_t ToUnixSeconds(std::chrono::system_clock::time_point time);

}  // namespace wrenpost
