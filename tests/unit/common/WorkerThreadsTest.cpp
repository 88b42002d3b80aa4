// The guarded worker launcher and the activity log: what keeps a failing or late worker from
// ending the process or reaching a destroyed window, plus the log's line shape and buffer.
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <memory>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <tuple>
#include <vector>

#include "common/ActivityLog.h"
#include "common/Text.h"
#include "common/WorkerLauncher.h"

namespace wrenpost {
namespace {

using namespace std::chrono_literals;

TEST(WorkerLauncher, EveryWayOfFailingReachesTheFailureHandlerOnce) {
    const ThreadCreator throws = [](std::function<void()>) -> bool {
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    };
    // A null creator makes a real thread; an empty reason means no failure.
    const std::tuple<ThreadCreator, bool, std::wstring> cases[] = {
        {nullptr, false, L""},
        {nullptr, true, L"the worker failed: boom"},
        {throws, false, L"the worker thread could not be started: "},
        {[](std::function<void()>) { return false; }, false,
         L"the worker thread could not be started"},
    };
    for (const auto& [creator, workThrows, reasonStart] : cases) {
        const ScopedThreadCreator seam(creator);
        // Shared with the detached worker, which may still be finishing after the check.
        struct Box {
            std::promise<std::pair<std::wstring, std::thread::id>> outcome;
            std::atomic<int> reports{0};
        };
        const auto box = std::make_shared<Box>();
        const auto report = [box](const std::wstring& reason) {
            ++box->reports;
            box->outcome.set_value({reason, std::this_thread::get_id()});
        };
        const bool started = LaunchWorker(
            [report, throws = workThrows] {
                if (throws)
                    throw std::runtime_error("boom");
                report(L"");
            },
            report);
        auto future = box->outcome.get_future();
        ASSERT_EQ(future.wait_for(10s), std::future_status::ready) << workThrows;
        const auto [reason, thread] = future.get();
        EXPECT_EQ(reason.rfind(reasonStart, 0), 0u) << WideToUtf8(reasonStart);
        EXPECT_EQ(reason.empty(), reasonStart.empty()) << WideToUtf8(reasonStart);
        // A thread that never started is reported on the calling thread.
        EXPECT_EQ(started, creator == nullptr);
        EXPECT_EQ(thread == std::this_thread::get_id(), !started);
        std::this_thread::sleep_for(20ms);  // a second report would arrive by now
        EXPECT_EQ(box->reports.load(), 1);
    }
    // A failure handler that throws does not end the process either.
    const ScopedThreadCreator refuse([](std::function<void()>) { return false; });
    EXPECT_FALSE(LaunchWorker([] {}, [](const std::wstring&) { throw std::runtime_error("x"); }));
}

TEST(ActivityLog, DropsLinesWithoutASinkStampsEachLineAndKeepsTheNewest) {
    EXPECT_EQ(FormatLogLine(L"t", LogLevel::Warning, L"a] b\nc"), L"t [WARNING] a] b\nc");
    ActivityLog log;
    log.Info(L"nobody listens");
    std::vector<std::wstring> lines;
    log.SetSink([&](std::wstring line) { lines.push_back(std::move(line)); });
    log.Error(L"e");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].substr(19), L" [ERROR] e");  // after "yyyy-mm-dd hh:mm:ss"
    // The view's buffer: the line after the cap drops the oldest.
    LogLineBuffer buffer(2);
    EXPECT_EQ(buffer.Append(L"1"), 0u);
    EXPECT_EQ(buffer.Append(L"2"), 0u);
    EXPECT_EQ(buffer.Append(L"3"), 1u);
    EXPECT_EQ(buffer.Lines(), (std::deque<std::wstring>{L"2", L"3"}));
}

TEST(ActivityLogDetach, WaitsForALineInFlightOnAnotherThread) {
    ActivityLog log;
    std::promise<void> entered, release;
    std::atomic<bool> sinkFinished{false};
    log.SetSink([&](std::wstring) {
        entered.set_value();
        release.get_future().wait();
        sinkFinished = true;
    });
    std::thread worker([&] { log.Info(L"slow"); });
    entered.get_future().wait();
    auto detached = std::async(std::launch::async, [&] { log.SetSink(nullptr); });
    EXPECT_EQ(detached.wait_for(100ms), std::future_status::timeout);
    release.set_value();
    detached.get();
    EXPECT_TRUE(sinkFinished);
    worker.join();
}

}  // namespace
}  // namespace wrenpost
