// Log line shape, thread safety of the log and the bounded line buffer.
#include <gtest/gtest.h>

#include <mutex>
#include <thread>
#include <vector>

#include "common/ActivityLog.h"

namespace wrenpost {
namespace {

TEST(ActivityLogLine, IsTimestampLevelAndMessage) {
    EXPECT_EQ(FormatLogLine(L"t", LogLevel::Warning, L"a] b\nc"), L"t [WARNING] a] b\nc");
    EXPECT_EQ(FormatLogLine(L"t", LogLevel::Info, L""), L"t [INFO] ");
}

TEST(ActivityLog, DropsLinesWithoutASinkAndKeepsEachThreadsOrder) {
    ActivityLog log;
    log.Info(L"nobody listens");  // must not crash
    std::mutex mutex;
    std::vector<std::wstring> lines;
    log.SetSink([&](std::wstring line) {
        std::lock_guard lock(mutex);
        lines.push_back(std::move(line));
    });
    constexpr int kThreads = 4;
    constexpr int kPerThread = 500;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&log, t] {
            for (int i = 0; i < kPerThread; ++i) {
                log.Error(L"t" + std::to_wstring(t) + L" #" + std::to_wstring(i));
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(kThreads * kPerThread));
    int next[kThreads] = {};
    for (const std::wstring& line : lines) {
        // "yyyy-mm-dd hh:mm:ss [ERROR] t<thread> #<n>"
        ASSERT_EQ(line.substr(19, 10), L" [ERROR] t");
        const int t = line[29] - L'0';
        EXPECT_EQ(std::stoi(line.substr(32)), next[t]++);
    }
}

TEST(LogLineBuffer, TheLineAfterTheCapDropsTheOldest) {
    LogLineBuffer buffer;
    for (int i = 1; i <= 5000; ++i) {
        EXPECT_EQ(buffer.Append(std::to_wstring(i)), 0u);
    }
    EXPECT_EQ(buffer.Append(L"5001"), 1u);
    ASSERT_EQ(buffer.Lines().size(), 5000u);
    EXPECT_EQ(buffer.Lines().front(), L"2");
    EXPECT_EQ(buffer.Lines().back(), L"5001");
}

}  // namespace
}  // namespace wrenpost
