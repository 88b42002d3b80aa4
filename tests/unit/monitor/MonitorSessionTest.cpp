// The life of a session: start and stop, the worker and its waits, Outlook failures and
// time-outs, abandoned reading threads and contained exceptions.
#include <gtest/gtest.h>

#include <system_error>

#include "MonitorTestKit.h"

namespace wrenpost::testing {
namespace {

TEST_F(MonitorEngineTest, StartAndStopReportTheSessionOnce) {
    StartManual();
    EXPECT_EQ(Logged(L"Monitor session cutoff: 2026-01-01T00:00:00Z"), 1u);
    EXPECT_EQ(StatusFileField(L"Status"), L"Running");
    EXPECT_FALSE(engine->Start(Session()));

    reader.Push({Fresh(L"new")});
    ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);
    engine->Stop();
    engine->Stop();  // nothing left to stop
    EXPECT_EQ(Cycle(), MonitorCycleResult::StopRequested);
    EXPECT_EQ(keepAwake, (std::vector<bool>{true, false}));
    EXPECT_EQ(StatusFileField(L"Status"), L"Stopped");
    EXPECT_EQ(StatusFileField(L"EntryId"), L"ENTRY-new");  // the seen messages
}

TEST_F(MonitorEngineTest, AWorkerThatCannotBeCreatedLeavesTheEngineStopped) {
    auto deps = Dependencies();
    deps.RunWorker = true;
    deps.LaunchThread = [failed = false, launch = reader.Launcher(true)](auto body) mutable {
        if (!std::exchange(failed, true)) {
            throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again),
                                    "no room");
        }
        return launch(std::move(body));
    };
    engine = std::make_unique<MonitorEngine>(std::move(deps));
    EXPECT_FALSE(engine->Start(Session()));
    EXPECT_FALSE(engine->IsRunning());
    EXPECT_EQ(keepAwake, (std::vector<bool>{true, false}));
    EXPECT_EQ(StatusFileField(L"Status"), L"Stopped");
    EXPECT_EQ(Logged(L"Failed to start the monitor worker thread: no room"), 1u);

    // The next session runs; without an interval it waits ten seconds between cycles.
    std::vector<std::chrono::steady_clock::time_point> ends;  // reading takes no fake time
    MonitorSession session = Session(0);
    session.OnStatus = [&](auto&&...) { ends.push_back(clock.SteadyNow()); };
    ASSERT_TRUE(engine->Start(std::move(session)));
    reader.WaitForCalls(3);
    engine->Stop();
    ASSERT_GE(ends.size(), 2u);
    EXPECT_EQ(ends[1] - ends[0], std::chrono::seconds(10));
}

TEST_F(MonitorEngineTest, AHungOutlookTimesOutCostsOneThreadAndRecovers) {
    const auto timesOutAfter = [this](int seconds) {
        const auto before = clock.SteadyNow();
        ASSERT_EQ(Cycle(), MonitorCycleResult::TimedOut);
        EXPECT_EQ(clock.SteadyNow() - before, std::chrono::seconds(seconds));
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
    reader.Push({Fresh(L"after the hang")});
    clock.OnNextSleep([this] { reader.Release(); });  // Outlook answers during the wait
    ASSERT_EQ(Cycle(), MonitorCycleResult::LateReadDiscarded);
    EXPECT_EQ(reader.Calls().size(), 1u);
    ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);
    EXPECT_EQ(reader.Calls().size(), 2u);
    EXPECT_EQ(sent.size(), 1u);
}

// Failed reads, a missing profile and exceptions cost a cycle each; recovery is logged once, and
// so is why Outlook cannot be used at all.
TEST_F(MonitorEngineTest, FailuresAreReportedAndContainedAndTheSessionGoesOn) {
    StartManual();
    reader.Push(ReadStep{false, {}, false, /*Throw=*/true});
    for (int i = 0; i < 2; ++i) reader.Push(ReadStep{false, {}, false, false, L"No Outlook."});
    reader.Push({Fresh(L"back")});
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(Cycle(), MonitorCycleResult::ReadFailed);
        EXPECT_EQ(StatusFileField(L"Status"), L"Outlook Read Failed");
    }
    EXPECT_EQ(Logged(L"No Outlook."), 1u);
    std::filesystem::remove(ConfigPath());
    ASSERT_EQ(Cycle(), MonitorCycleResult::ConfigLoadFailed);
    EXPECT_EQ(reader.Calls().size(), 3u);
    WriteProfile();
    // A provider that throws is contained where it sends; the notification waits for the next.
    onSend = [] { throw std::runtime_error("disk on fire"); };
    EXPECT_EQ(Cycle(), MonitorCycleResult::Completed);
    EXPECT_EQ(Logged(L"Outlook reconnected successfully."), 1u);
    onSend = [] { throw 42; };
    engine->SendDue();
    ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);
    ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);
    EXPECT_EQ(sent.size(), 1u);
    EXPECT_EQ(last.Waiting, 0);
    EXPECT_EQ(Logged(L"Unhandled exception while sending: disk on fire"), 1u);
    EXPECT_EQ(Logged(L"Unknown unhandled exception while sending"), 1u);
}

// Outlook's notice cuts the wait short; the watch follows the profile's folders and goes with
// the worker.
TEST_F(MonitorEngineTest, ANewMailNoticeRunsACycleAtOnceAndTheWatchFollowsTheFolders) {
    struct RecordingWatch final : MailWatch {
        explicit RecordingWatch(std::vector<std::vector<SelectedFolder>>& seen) : seen_(seen) {}
        ~RecordingWatch() override { seen_.push_back({}); }  // an empty list marks the end
        void Watch(const std::vector<SelectedFolder>& folders) override {
            seen_.push_back(folders);
        }
        std::vector<std::vector<SelectedFolder>>& seen_;
    };
    std::vector<std::vector<SelectedFolder>> watched;  // by the worker; read after Stop
    std::function<void()> wake;
    auto deps = Dependencies(true);
    deps.WatchMail = [&](std::function<void()> w, auto) {
        wake = std::move(w);
        return std::make_unique<RecordingWatch>(watched);
    };
    engine = std::make_unique<MonitorEngine>(std::move(deps));
    const std::vector<SelectedFolder> first = profile.SelectedFolders;
    clock.OnNextSleep([&] {  // the first wait after the first cycle
        profile.SelectedFolders.push_back(
            {L"Archive", kArchive, L"E2", L"STORE-1", L"Mailbox", L"", 0});
        WriteProfile();
        wake();
    });
    std::vector<std::chrono::steady_clock::time_point> ends;
    MonitorSession session = Session(600);
    session.OnStatus = [&](auto&&...) { ends.push_back(clock.SteadyNow()); };
    ASSERT_TRUE(engine->Start(std::move(session)));
    reader.WaitForCalls(4);  // the third cycle has reported
    engine->Stop();
    ASSERT_GE(ends.size(), 3u);
    EXPECT_LT(ends[1] - ends[0], std::chrono::seconds(1));
    EXPECT_EQ(ends[2] - ends[1], std::chrono::seconds(600));
    EXPECT_EQ(watched,
              (std::vector<std::vector<SelectedFolder>>{first, profile.SelectedFolders, {}}));
}

}  // namespace
}  // namespace wrenpost::testing
