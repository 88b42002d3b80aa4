// The life of a session: start and stop, the worker's waits, Outlook failures and time-outs,
// abandoned reading threads, contained exceptions and the final status file.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <optional>
#include <stdexcept>
#include <system_error>

#include "MonitorEngineTestFixture.h"

namespace wrenpost::testing {
namespace {

using namespace std::chrono_literals;

const wchar_t* const kTimeoutTail =
    L"s waiting for Outlook (it may be unresponsive, or showing a security prompt it cannot "
    L"receive input for, e.g. while the session is locked). Will retry next cycle.";

// ---------------------------------------------------------------- start and stop

TEST_F(MonitorEngineTest, StartAnnouncesTheCutoffAndStopReleasesEverything) {
    StartManual();
    EXPECT_TRUE(engine->IsRunning());
    EXPECT_TRUE(log.Contains(L"Monitor session cutoff: 2026-01-01T00:00:00Z"));
    EXPECT_TRUE(log.Contains(L"Monitor started for profile: Work"));
    EXPECT_EQ(log.CountStartingWith(L"Backlog mode is enabled"), 0u);
    EXPECT_EQ(StatusFileField(L"Status"), L"Running");
    EXPECT_EQ(StatusFileField(L"LastCheck"), L"-");
    EXPECT_EQ(KeepAwakeCalls(), std::vector<bool>{true});

    EXPECT_FALSE(engine->Start(L"Other", dir.Path(), L"t", 5, false, nullptr, nullptr, nullptr));

    engine->Stop();
    EXPECT_FALSE(engine->IsRunning());
    EXPECT_EQ(KeepAwakeCalls(), (std::vector<bool>{true, false}));
    EXPECT_TRUE(log.Contains(L"Monitor stopped for profile: Work"));
    EXPECT_EQ(StatusFileField(L"Status"), L"Stopped");
    engine->Stop();  // nothing left to stop
    EXPECT_EQ(log.Count(L"Monitor stopped for profile: Work"), 1u);
}

TEST_F(MonitorEngineTest, BacklogStartSaysSo) {
    StartManual(600, true);
    EXPECT_TRUE(log.Contains(
        L"Backlog mode is enabled (\"Also send existing unread emails\") - unread messages "
        L"received before this session started may still be sent for this session."));
}

TEST_F(MonitorEngineTest, AWorkerThatCannotBeCreatedLeavesTheEngineStopped) {
    auto deps = Dependencies(/*runWorker=*/true);
    auto launches = std::make_shared<std::atomic<int>>(0);
    deps.LaunchThread = [launches](std::function<void()> body) {
        if (launches->fetch_add(1) == 0) {
            throw std::system_error(
                std::make_error_code(std::errc::resource_unavailable_try_again));
        }
        return std::thread(std::move(body));
    };
    engine = std::make_unique<MonitorEngine>(std::move(deps));
    EXPECT_FALSE(
        engine->Start(L"Work", dir.Path(), L"t", 600, false, log.AsCallback(), nullptr, nullptr));
    EXPECT_FALSE(engine->IsRunning());
    EXPECT_EQ(KeepAwakeCalls(), (std::vector<bool>{true, false}));
    EXPECT_EQ(StatusFileField(L"Status"), L"Stopped");
    EXPECT_EQ(log.CountStartingWith(L"Failed to start the monitor worker thread: "), 1u);
    EXPECT_FALSE(log.Contains(L"Monitor started for profile: Work"));

    reader.PushMessages({});
    ASSERT_TRUE(
        engine->Start(L"Work", dir.Path(), L"t", 600, false, log.AsCallback(), nullptr, nullptr));
    EXPECT_TRUE(engine->IsRunning());
    engine->Stop();
}

TEST_F(MonitorEngineTest, StatusFileAfterStopListsTheFinalCountsAndTheSeenMessages) {
    profile.Recipients = {Recipient(L"100")};
    WriteProfile();
    StartManual();
    MailSnapshot quoted = Fresh(L"He said \"stop\"\nthen left");
    reader.PushMessages({Message(kInbox, L"Old one", start - 1, L"<old>"), quoted});
    ASSERT_EQ(engine->RunCycle(), MonitorCycleResult::Completed);
    engine->Stop();

    const auto json = StatusFile();
    ASSERT_TRUE(json.has_value()) << "Monitor.json is not valid JSON";
    EXPECT_EQ(json->Find(L"ProfileName")->text, L"Work");
    EXPECT_EQ(json->Find(L"Status")->text, L"Stopped");
    EXPECT_EQ(json->Find(L"LastCheck")->text, L"-");
    EXPECT_EQ(json->Find(L"MessagesSent")->number, 1);
    EXPECT_EQ(json->Find(L"QueueCount")->number, 0);
    const auto& seen = json->Find(L"SeenMessages")->items;
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].Find(L"Subject")->text, L"Old one");  // refused, never sent, still listed
    EXPECT_EQ(seen[1].Find(L"Subject")->text, quoted.Subject);
    EXPECT_EQ(seen[1].Find(L"EntryId")->text, quoted.EntryId);
}

TEST_F(MonitorEngineTest, EachCycleReportsItsTimeInTheStatusFileAndToTheWindow) {
    StartManual();
    reader.PushMessages({Fresh(L"a")});
    ASSERT_EQ(engine->RunCycle(), MonitorCycleResult::Completed);
    ASSERT_EQ(status.Reports().size(), 1u);
    const StatusReport report = status.Reports()[0];
    EXPECT_EQ(report.Status, L"Running");
    EXPECT_EQ(StatusFileField(L"LastCheck"), report.LastCheck);
    EXPECT_TRUE(
        log.Contains(L"Monitor cycle completed at " + report.LastCheck + L". New messages: 1"));
    EXPECT_EQ(log.CountStartingWith(L"Monitor cycle started at "), 1u);
}

// ---------------------------------------------------------------- the worker's rhythm

class IntervalTest : public MonitorEngineTest,
                     public ::testing::WithParamInterface<std::pair<int, int>> {};

TEST_P(IntervalTest, TheWorkerWaitsOneIntervalBetweenCycles) {
    const auto [given, expected] = GetParam();
    reader.PushMessages({Fresh(L"a")});
    std::mutex linesMutex;
    std::vector<std::pair<std::wstring, std::chrono::steady_clock::time_point>> lines;
    engine = std::make_unique<MonitorEngine>(Dependencies(/*runWorker=*/true));
    ASSERT_TRUE(engine->Start(
        L"Work", dir.Path(), L"t", given, false,
        [&](const std::wstring& line) {
            std::lock_guard lock(linesMutex);
            lines.emplace_back(line, clock.SteadyNow());
        },
        nullptr, nullptr));
    ASSERT_TRUE(reader.WaitForCalls(3));
    engine->Stop();

    // From the end of one cycle to the start of the next is exactly one interval.
    std::vector<std::chrono::steady_clock::duration> waits;
    std::optional<std::chrono::steady_clock::time_point> completed;
    for (const auto& [line, at] : lines) {
        if (line.rfind(L"Monitor cycle completed at ", 0) == 0) {
            completed = at;
        } else if (line.rfind(L"Monitor cycle started at ", 0) == 0 && completed) {
            waits.push_back(at - *completed);
        }
    }
    ASSERT_GE(waits.size(), 2u);
    for (const auto wait : waits) {
        EXPECT_EQ(wait, std::chrono::seconds(expected));
    }
    EXPECT_EQ(lines.front().first, L"Monitor session cutoff: 2026-01-01T00:00:00Z");
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const auto& l) {
                                return l.first ==
                                       L"Monitor worker thread started for profile: Work";
                            }),
              1);
    EXPECT_EQ(lines.back().first, L"Monitor stopped for profile: Work");
    EXPECT_EQ(lines[lines.size() - 2].first,
              L"Monitor worker loop exiting (stop requested) for profile: Work");
}

INSTANTIATE_TEST_SUITE_P(GivenAndUsed, IntervalTest,
                         ::testing::Values(std::pair{0, 10}, std::pair{-5, 10}, std::pair{1, 1},
                                           std::pair{20, 20}));

class TimeoutTest : public MonitorEngineTest,
                    public ::testing::WithParamInterface<std::pair<int, int>> {};

TEST_P(TimeoutTest, AHungReadTimesOutAfterThirtySecondsOrThreeIntervals) {
    const auto [interval, timeout] = GetParam();
    StartManual(interval);
    ReadStep hang;
    hang.Hang = true;
    reader.Push(hang);
    const auto before = clock.SteadyNow();
    ASSERT_EQ(engine->RunCycle(), MonitorCycleResult::TimedOut);
    EXPECT_EQ(clock.SteadyNow() - before, std::chrono::seconds(timeout));
    EXPECT_TRUE(
        log.Contains(L"Monitor cycle timed out after " + std::to_wstring(timeout) + kTimeoutTail));
    ASSERT_EQ(status.Reports().size(), 1u);
    EXPECT_EQ(status.Reports()[0].Status, L"Outlook Check Timed Out");
    EXPECT_EQ(StatusFileField(L"Status"), L"Outlook Check Timed Out");
    EXPECT_EQ(StatusFileField(L"LastCheck"), status.Reports()[0].LastCheck);
}

INSTANTIATE_TEST_SUITE_P(IntervalAndTimeout, TimeoutTest,
                         ::testing::Values(std::pair{5, 30}, std::pair{10, 30}, std::pair{20, 60}));

// ---------------------------------------------------------------- abandoned reads

TEST_F(MonitorEngineTest, AHungOutlookCostsOneThreadAndTheNextFreshReadRecovers) {
    StartManual(5);
    ReadStep hang;
    hang.Hang = true;
    reader.Push(hang);
    reader.PushMessages({Fresh(L"after the hang")});

    ASSERT_EQ(engine->RunCycle(), MonitorCycleResult::TimedOut);
    ASSERT_EQ(engine->RunCycle(), MonitorCycleResult::TimedOut);
    ASSERT_TRUE(reader.WaitForCalls(1));
    EXPECT_EQ(reader.CallCount(), 1u);  // no second thread stacked on the hung one
    EXPECT_EQ(log.CountStartingWith(L"Monitor cycle timed out after 30s"), 2u);

    // Outlook comes back while the next cycle waits for the abandoned read.
    clock.OnNextSleep([this] { reader.ReleaseHang(); });
    ASSERT_EQ(engine->RunCycle(), MonitorCycleResult::LateReadDiscarded);
    EXPECT_TRUE(
        log.Contains(L"An Outlook check abandoned by an earlier cycle has finished; its "
                     L"result was discarded. Outlook will be read again next cycle."));
    EXPECT_EQ(reader.CallCount(), 1u);
    EXPECT_TRUE(channel.Sent().empty());

    ASSERT_EQ(engine->RunCycle(), MonitorCycleResult::Completed);
    EXPECT_EQ(reader.CallCount(), 2u);
    EXPECT_EQ(channel.Sent().size(), 1u);
    EXPECT_EQ(log.Count(L"Outlook reconnected successfully."), 1u);
}

TEST_F(MonitorEngineTest, StopDuringAHungReadReturnsPromptlyAndTheEngineStaysUsable) {
    ReadStep hang;
    hang.Hang = true;
    reader.Push(hang);
    reader.PushMessages(
        {Message(kInbox, L"fresh", std::numeric_limits<std::int64_t>::max(), L"<f>")});
    auto deps = Dependencies(/*runWorker=*/true);
    deps.TimeSource = nullptr;  // real time: the stop must not wait for Outlook
    engine = std::make_unique<MonitorEngine>(std::move(deps));
    StartEngine(1, false);
    ASSERT_TRUE(reader.WaitForCalls(1));

    const auto stopBegan = std::chrono::steady_clock::now();
    engine->Stop();
    const auto stopTook = std::chrono::steady_clock::now() - stopBegan;
    EXPECT_LT(stopTook, 5s) << "stop waited for the hung Outlook call";
    EXPECT_FALSE(engine->IsRunning());
    EXPECT_EQ(StatusFileField(L"Status"), L"Stopped");
    EXPECT_TRUE(log.Contains(L"Monitor worker loop exiting (stop requested) for profile: Work"));

    // A new session while the old read still hangs: no second reading thread, prompt stop.
    StartEngine(1, false);
    std::this_thread::sleep_for(300ms);
    engine->Stop();
    EXPECT_EQ(reader.CallCount(), 1u);

    reader.ReleaseHang();
    ASSERT_TRUE(reader.WaitUntilIdle());
    StartEngine(1, false);
    ASSERT_TRUE(reader.WaitForCalls(2));
    for (int i = 0; i < 100 && channel.Sent().empty(); ++i) {
        std::this_thread::sleep_for(20ms);
    }
    engine->Stop();
    ASSERT_EQ(channel.Sent().size(), 1u);
    EXPECT_EQ(channel.Sent()[0].Body, L"fresh");
}

// ---------------------------------------------------------------- failures

TEST_F(MonitorEngineTest, AnEmptyOrFailedReadIsReportedAndRecoveryIsLogged) {
    StartManual();
    ReadStep throws;
    throws.Throw = true;
    reader.Push(throws);
    reader.Push(ReadStep{false, {}, false, false});
    reader.PushMessages({Fresh(L"back")});

    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(engine->RunCycle(), MonitorCycleResult::ReadFailed);
    }
    EXPECT_EQ(log.Count(L"Monitor cycle failed: could not read Outlook messages. Will retry next "
                        L"cycle."),
              2u);
    EXPECT_EQ(status.Reports().back().Status, L"Outlook Read Failed");
    EXPECT_EQ(StatusFileField(L"Status"), L"Outlook Read Failed");
    EXPECT_EQ(log.CountStartingWith(L"Baseline completed"), 0u);

    ASSERT_EQ(engine->RunCycle(), MonitorCycleResult::Completed);
    EXPECT_EQ(log.Count(L"Outlook reconnected successfully."), 1u);
    ASSERT_EQ(engine->RunCycle(), MonitorCycleResult::Completed);
    EXPECT_EQ(log.Count(L"Outlook reconnected successfully."), 1u);
}

TEST_F(MonitorEngineTest, AMissingProfileFileSkipsTheCycleWithoutAStatusChange) {
    StartManual();
    std::filesystem::remove(dir.Path() / L"WorkConfig.json");
    reader.PushMessages({Fresh(L"a")});
    ASSERT_EQ(engine->RunCycle(), MonitorCycleResult::ConfigLoadFailed);
    EXPECT_TRUE(
        log.Contains(L"Monitor cycle failed: could not load config. Will retry next cycle."));
    EXPECT_EQ(reader.CallCount(), 0u);
    EXPECT_TRUE(status.Reports().empty());
    EXPECT_EQ(StatusFileField(L"LastCheck"), L"-");

    WriteProfile();
    ASSERT_EQ(engine->RunCycle(), MonitorCycleResult::Completed);
    EXPECT_TRUE(log.Contains(L"Outlook reconnected successfully."));
}

TEST_F(MonitorEngineTest, ExceptionsInACycleAreContainedAndTheSessionGoesOn) {
    auto deps = Dependencies();
    auto throwNext = std::make_shared<std::atomic<int>>(2);
    ProviderFactory real = channel.AsFactory();
    deps.MakeProvider = [throwNext, real](
                            const std::wstring& token,
                            const std::wstring& chat) -> std::unique_ptr<NotificationProvider> {
        const int n = throwNext->fetch_sub(1);
        if (n == 2) {
            throw std::runtime_error("disk on fire");
        }
        if (n == 1) {
            throw 42;
        }
        return real(token, chat);
    };
    engine = std::make_unique<MonitorEngine>(std::move(deps));
    StartEngine(600, false);
    reader.PushMessages({Fresh(L"a")});

    EXPECT_EQ(engine->RunCycle(), MonitorCycleResult::Failed);
    EXPECT_TRUE(log.Contains(L"Unhandled exception in monitor cycle: disk on fire. Continuing."));
    EXPECT_EQ(engine->RunCycle(), MonitorCycleResult::Failed);
    EXPECT_TRUE(log.Contains(L"Unknown unhandled exception in monitor cycle. Continuing."));
    EXPECT_EQ(engine->RunCycle(), MonitorCycleResult::Completed);
    EXPECT_EQ(channel.Sent().size(), 1u);
    EXPECT_TRUE(log.Contains(L"Outlook reconnected successfully."));
}

TEST_F(MonitorEngineTest, AReadingThreadThatCannotStartIsAContainedFailure) {
    auto deps = Dependencies();
    deps.LaunchThread = [](std::function<void()>) -> std::thread {
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again),
                                "no thread");
    };
    engine = std::make_unique<MonitorEngine>(std::move(deps));
    StartEngine(600, false);
    EXPECT_EQ(engine->RunCycle(), MonitorCycleResult::Failed);
    EXPECT_EQ(log.CountStartingWith(L"Unhandled exception in monitor cycle: no thread"), 1u);
    EXPECT_TRUE(engine->IsRunning());
}

}  // namespace
}  // namespace wrenpost::testing
