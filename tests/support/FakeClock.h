// A clock the test moves by hand; SleepFor advances it instead of waiting.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <utility>

#include "common/Clock.h"

namespace wrenpost::testing {

class FakeClock final : public Clock {
public:
    explicit FakeClock(std::chrono::system_clock::time_point start =
                           std::chrono::system_clock::time_point(std::chrono::seconds(1767225600)))
        : wall_(start.time_since_epoch().count()) {}

    std::chrono::system_clock::time_point Now() const override {
        return std::chrono::system_clock::time_point(
            std::chrono::system_clock::duration(wall_.load()));
    }
    std::chrono::steady_clock::time_point SteadyNow() const override {
        return std::chrono::steady_clock::time_point(
            std::chrono::steady_clock::duration(steady_.load()));
    }
    void SleepFor(std::chrono::milliseconds duration) const override {
        std::function<void()> hook;
        {
            std::lock_guard lock(hookMutex_);
            hook = std::exchange(onNextSleep_, nullptr);
        }
        if (hook) {
            hook();
        }
        Advance(duration);
    }
    // Runs once, on the sleeping thread, at the start of the next sleep: a point inside a wait
    // where a test can act.
    void OnNextSleep(std::function<void()> hook) {
        std::lock_guard lock(hookMutex_);
        onNextSleep_ = std::move(hook);
    }

    template <typename Rep, typename Period>
    void Advance(std::chrono::duration<Rep, Period> by) const {
        wall_ += std::chrono::duration_cast<std::chrono::system_clock::duration>(by).count();
        steady_ += std::chrono::duration_cast<std::chrono::steady_clock::duration>(by).count();
    }
    void SetNow(std::chrono::system_clock::time_point now) {
        wall_ = now.time_since_epoch().count();
    }

private:
    mutable std::atomic<std::chrono::system_clock::rep> wall_;
    mutable std::atomic<std::chrono::steady_clock::rep> steady_{0};
    mutable std::mutex hookMutex_;
    mutable std::function<void()> onNextSleep_;
};

}  // namespace wrenpost::testing
