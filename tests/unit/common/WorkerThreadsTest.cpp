// The guarded worker launcher and the activity log's detach: what keeps a failing or late worker
// from ending the process or reaching a destroyed window.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <vector>

#include "common/ActivityLog.h"
#include "common/WorkerLauncher.h"

namespace wrenpost {
namespace {

using namespace std::chrono_literals;

TEST(WorkerLauncher, EveryWayOfFailingReachesTheFailureHandlerOnce) {
    enum class Creation { Real, Throws, Refuses };
    const struct {
        const char* name;
        Creation creation;
        bool workThrows;
        bool started;
        std::wstring reasonStart;  // empty: no failure
        bool onCallingThread;
    } cases[] = {
        {"runs", Creation::Real, false, true, L"", false},
        {"worker throws", Creation::Real, true, true, L"the worker failed: boom", false},
        {"creation throws", Creation::Throws, false, false,
         L"the worker thread could not be started: ", true},
        {"creator refuses", Creation::Refuses, false, false,
         L"the worker thread could not be started", true},
    };
    for (const auto& c : cases) {
        std::optional<ScopedThreadCreator> seam;
        if (c.creation == Creation::Throws) {
            seam.emplace([](std::function<void()>) -> bool {
                throw std::system_error(
                    std::make_error_code(std::errc::resource_unavailable_try_again));
            });
        } else if (c.creation == Creation::Refuses) {
            seam.emplace([](std::function<void()>) { return false; });
        }
        // Shared with the detached worker, which may still be finishing after the check.
        struct Box {
            std::promise<std::pair<std::wstring, std::thread::id>> outcome;
            std::atomic<int> reports{0};
        };
        const auto box = std::make_shared<Box>();
        auto future = box->outcome.get_future();
        const bool started = LaunchWorker(
            [box, throws = c.workThrows] {
                if (throws) {
                    throw std::runtime_error("boom");
                }
                ++box->reports;
                box->outcome.set_value({L"", std::this_thread::get_id()});
            },
            [box](const std::wstring& reason) {
                ++box->reports;
                box->outcome.set_value({reason, std::this_thread::get_id()});
            });
        EXPECT_EQ(started, c.started) << c.name;
        ASSERT_EQ(future.wait_for(10s), std::future_status::ready) << c.name;
        const auto [reason, thread] = future.get();
        EXPECT_EQ(reason.rfind(c.reasonStart, 0), 0u) << c.name;
        EXPECT_EQ(reason.empty(), c.reasonStart.empty()) << c.name;
        EXPECT_EQ(thread == std::this_thread::get_id(), c.onCallingThread) << c.name;
        std::this_thread::sleep_for(20ms);  // a second report would arrive by now
        EXPECT_EQ(box->reports.load(), 1) << c.name;
    }
}

TEST(WorkerLauncher, AFailureHandlerThatThrowsDoesNotEndTheProcess) {
    const ScopedThreadCreator refuse([](std::function<void()>) { return false; });
    EXPECT_FALSE(LaunchWorker([] {}, [](const std::wstring&) { throw std::runtime_error("x"); }));
}

TEST(ActivityLogDetach, WaitsForALineInFlightOnAnotherThread) {
    ActivityLog log;
    std::promise<void> entered;
    std::promise<void> release;
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

TEST(ActivityLogDetach, ASinkThatLogsOrDetachesItselfDoesNotDeadlock) {
    ActivityLog log;
    std::vector<std::wstring> lines;
    log.SetSink([&](std::wstring line) {
        lines.push_back(line);
        if (lines.size() == 1) {
            log.Info(L"nested");
        } else {
            log.SetSink(nullptr);
        }
    });
    auto done = std::async(std::launch::async, [&] { log.Info(L"outer"); });
    ASSERT_EQ(done.wait_for(10s), std::future_status::ready);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[1].find(L"nested"), std::wstring::npos);
    log.Info(L"after the detach");
    EXPECT_EQ(lines.size(), 2u);
}

}  // namespace
}  // namespace wrenpost
