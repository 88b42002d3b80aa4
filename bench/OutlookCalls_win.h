// Counting the fake Outlook's cross-process calls around a piece of work, for the Windows
// benchmarks (GetIDsOfNames and Invoke, as the fake counts them).
#pragma once

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>

#include "outlook/OutlookBridge_win.h"

namespace wrenpost::bench {

inline long FakeCallCount() {
    long count = -1;
    std::thread([&] {
        OutlookConnection connection;
        if (connection.Connect()) {
            count = GetCountProperty(connection.Application(), L"CallCount");
        }
    }).join();
    return count;
}

struct Measure {
    double Seconds = 0;
    long Calls = 0;
};

inline Measure Run(const std::function<void()>& work, long overhead) {
    const long before = FakeCallCount();
    const auto start = std::chrono::steady_clock::now();
    std::thread(work).join();
    const auto stop = std::chrono::steady_clock::now();
    const long after = FakeCallCount();
    return Measure{std::chrono::duration<double>(stop - start).count(), after - before - overhead};
}

inline void Report(const char* what, const Measure& m, std::size_t units, const char* unit) {
    std::printf("%-44s %8.3f s  %7ld calls  %6.2f ms/call  %7.1f calls/%s\n", what, m.Seconds,
                m.Calls, m.Calls > 0 ? 1000.0 * m.Seconds / m.Calls : 0.0,
                units > 0 ? static_cast<double>(m.Calls) / units : 0.0, unit);
}

}  // namespace wrenpost::bench
