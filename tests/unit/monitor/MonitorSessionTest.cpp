// The life of a session: start and stop, the worker's waits, Outlook failures and time-outs,
// abandoned reading threads and contained exceptions.
#include <gtest/gtest.h>

#include <system_error>

#include "MonitorTestKit.h"

namespace wrenpost::testing {
namespace {

TEST_F(MonitorEngineTest, StartAndStopReportTheSessionOnce) {
    StartManual();
    EXPECT_EQ(Copy(lines),
              (std::vector<std::wstring>{L"Monitor session cutoff: 2026-01-01T00:00:00Z",
                                         L"Monitor started for profile: Work"}));
    EXPECT_EQ(StatusFileField(L"Status"), L"Running");
    EXPECT_FALSE(engine->Start(Session()));

    reader.Push({Mail(kInbox, L"Old one", start - 1, L"<old>"), Fresh(L"new")});
    ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);
    EXPECT_EQ(StatusFileField(L"LastCheck"), LastReport().LastCheck);
    EXPECT_EQ(LastLine(),
              L"Monitor cycle completed at " + LastReport().LastCheck + L". New messages: 1");

    engine->Stop();
    engine->Stop();  // nothing left to stop
    EXPECT_FALSE(engine->IsRunning());
    EXPECT_EQ(Copy(keepAwake), (std::vector<bool>{true, false}));
    EXPECT_EQ(Logged(L"Monitor stopped for profile: Work"), 1u);
    const std::wstring file = StatusFileText();
    EXPECT_EQ(ReadJsonStringField(file, L"Status"), L"Stopped");
    EXPECT_EQ(ReadJsonStringField(file, L"LastCheck"), L"-");
    EXPECT_EQ(ReadJsonIntField(file, L"MessagesSent"), 1);
    // Seen messages oldest first, the refused one too.
    EXPECT_LT(file.find(L"\"Subject\": \"Old one\""), file.find(L"\"Subject\": \"new\""));
    EXPECT_NE(file.find(L"\"Subject\": \"new\""), std::wstring::npos);
}

TEST_F(MonitorEngineTest, AWorkerThatCannotBeCreatedLeavesTheEngineStopped) {
    auto deps = Dependencies(/*runWorker=*/true);
    auto launches = std::make_shared<std::atomic<int>>(0);
    deps.LaunchThread = [launches](std::function<void()> body) {
        if (launches->fetch_add(1) == 0) {
            throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again),
                                    "no room");
        }
        return std::thread(std::move(body));
    };
    engine = std::make_unique<MonitorEngine>(std::move(deps));
    EXPECT_FALSE(engine->Start(Session()));
    EXPECT_FALSE(engine->IsRunning());
    EXPECT_EQ(Copy(keepAwake), (std::vector<bool>{true, false}));
    EXPECT_EQ(StatusFileField(L"Status"), L"Stopped");
    EXPECT_EQ(Logged(L"Failed to start the monitor worker thread: no room", true), 1u);

    reader.PushHang();  // the second session runs, and its stop does not wait for Outlook
    ASSERT_TRUE(engine->Start(Session()));
    reader.WaitForCalls(1);
    engine->Stop();
    EXPECT_FALSE(engine->IsRunning());
}

class MonitorIntervalTest : public MonitorEngineTest,
                            public ::testing::WithParamInterface<std::pair<int, int>> {};

TEST_P(MonitorIntervalTest, TheWorkerWaitsOneIntervalBetweenCycles) {
    const auto [given, used] = GetParam();
    reader.Push({Fresh(L"a")});
    std::vector<std::chrono::steady_clock::time_point> starts;  // reading takes no fake time
    engine = std::make_unique<MonitorEngine>(Dependencies(/*runWorker=*/true));
    MonitorSession session = Session(given);
    session.OnLog = [&, log = session.OnLog](const std::wstring& line) {
        log(line);
        if (line.rfind(L"Monitor cycle started at ", 0) == 0) {
            Record(starts, clock.SteadyNow());
        }
    };
    ASSERT_TRUE(engine->Start(std::move(session)));
    reader.WaitForCalls(3);
    engine->Stop();
    ASSERT_GE(starts.size(), 3u);
    for (std::size_t i = 1; i < starts.size(); ++i) {
        EXPECT_EQ(starts[i] - starts[i - 1], std::chrono::seconds(used));
    }
}

INSTANTIATE_TEST_SUITE_P(GivenAndUsed, MonitorIntervalTest,
                         ::testing::Values(std::pair{0, 10}, std::pair{-5, 10}, std::pair{1, 1},
                                           std::pair{20, 20}));

TEST_F(MonitorEngineTest, AHungOutlookTimesOutCostsOneThreadAndRecovers) {
    const auto timesOutAfter = [this](int seconds) {
        const auto before = clock.SteadyNow();
        ASSERT_EQ(Cycle(), MonitorCycleResult::TimedOut);
        EXPECT_EQ(clock.SteadyNow() - before, std::chrono::seconds(seconds));
        EXPECT_NE(LastLine().find(L"after " + std::to_wstring(seconds) + L"s waiting for Outlook"),
                  std::wstring::npos);
        EXPECT_EQ(StatusFileField(L"Status"), L"Outlook Check Timed Out");
    };
    StartManual(20);
    reader.PushHang();
    timesOutAfter(60);                              // three intervals
    clock.OnNextSleep([this] { engine->Stop(); });  // stop while the read still hangs
    EXPECT_EQ(Cycle(), MonitorCycleResult::StopRequested);
    EXPECT_EQ(StatusFileField(L"Status"), L"Stopped");

    // The next session finds that read still hung and waits for it instead of starting another.
    StartManual(5);
    timesOutAfter(30);  // at least thirty seconds
    EXPECT_EQ(reader.Calls().size(), 1u);
    reader.Push({Fresh(L"after the hang")});
    clock.OnNextSleep([this] { reader.Release(); });  // Outlook answers during the wait
    ASSERT_EQ(Cycle(), MonitorCycleResult::LateReadDiscarded);
    EXPECT_EQ(Logged(L"An Outlook check abandoned by an earlier cycle has finished", true), 1u);
    EXPECT_EQ(reader.Calls().size(), 1u);
    ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);
    EXPECT_EQ(reader.Calls().size(), 2u);
    EXPECT_EQ(channel.Sent().size(), 1u);
    EXPECT_EQ(Logged(L"Outlook reconnected successfully."), 1u);
}

TEST_F(MonitorEngineTest, FailedReadsAndAMissingProfileAreReportedAndRecoveryIsLoggedOnce) {
    StartManual();
    reader.Push(ReadStep{false, {}, false, /*Throw=*/true});
    reader.Push(ReadStep{false, {}});
    reader.Push({Fresh(L"back")});
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(Cycle(), MonitorCycleResult::ReadFailed);
        EXPECT_EQ(LastReport().Status, L"Outlook Read Failed");
        EXPECT_EQ(StatusFileField(L"Status"), L"Outlook Read Failed");
    }
    EXPECT_EQ(Logged(L"Baseline completed", true), 0u);

    std::filesystem::remove(ConfigPath());
    const std::size_t reportsBefore = Copy(reports).size();
    ASSERT_EQ(Cycle(), MonitorCycleResult::ConfigLoadFailed);
    EXPECT_EQ(reader.Calls().size(), 2u);
    EXPECT_EQ(Copy(reports).size(), reportsBefore);

    WriteProfile();
    ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);
    ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);
    EXPECT_EQ(Logged(L"Outlook reconnected successfully."), 1u);
}

TEST_F(MonitorEngineTest, ExceptionsInACycleAreContainedAndTheSessionGoesOn) {
    auto deps = Dependencies();
    auto calls = std::make_shared<std::atomic<int>>(0);
    deps.MakeProvider = [calls, real = channel.Factory()](const std::wstring& token,
                                                          const std::wstring& chat) {
        const int n = calls->fetch_add(1);
        if (n == 0) {
            throw std::runtime_error("disk on fire");
        }
        if (n == 1) {
            throw 42;
        }
        return real(token, chat);
    };
    engine = std::make_unique<MonitorEngine>(std::move(deps));
    StartManual();
    reader.Push({Fresh(L"a")});
    EXPECT_EQ(Cycle(), MonitorCycleResult::Failed);
    EXPECT_EQ(LastLine(), L"Unhandled exception in monitor cycle: disk on fire. Continuing.");
    EXPECT_EQ(Cycle(), MonitorCycleResult::Failed);
    EXPECT_EQ(LastLine(), L"Unknown unhandled exception in monitor cycle. Continuing.");
    EXPECT_EQ(Cycle(), MonitorCycleResult::Completed);
    EXPECT_EQ(channel.Sent().size(), 1u);
    EXPECT_GE(Logged(L"Outlook reconnected successfully."), 1u);
}

}  // namespace
}  // namespace wrenpost::testing
