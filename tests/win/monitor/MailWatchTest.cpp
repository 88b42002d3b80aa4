// Outlook's new-mail events under wine: the fake Outlook fires them through real connection
// points, the watch wakes the session, and the checks carry on where events are refused.
#include <gtest/gtest.h>
#include <windows.h>

#include <optional>

#include "MonitorFakes.h"
#include "common/Text.h"
#include "monitor/MonitorDependencies_win.h"
#include "outlook/MailWatcher_win.h"
#include "support/FakeBotApiServer_win.h"
#include "support/TempDir.h"

namespace wrenpost {
namespace {

using namespace std::chrono_literals;
using testing::ScenarioLine;
using testing::WaitFor;

const std::wstring kMailbox = testing::kAnnInbox;
const std::wstring kNewMail = ScenarioLine(
    {L"item", L"folder=F1", L"id=NEW1", L"subject=Quarterly numbers", L"sender=Dana",
     L"received=2026-06-01 10:00:00", L"delivery=2099-01-01 00:00:00", L"msgid=<new1@x>"});

// A session over the fake Outlook and the fake Bot API, with its log kept.
class WatchedSession {
public:
    explicit WatchedSession(const std::wstring& scenario) {
        MonitorDependencies deps = WindowsMonitorDependencies(nullptr);
        deps.WatchMail = [](auto wake, auto log) {
            return StartOutlookMailWatch(std::move(wake), std::move(log), 1s);
        };
        engine.emplace(std::move(deps));
        EXPECT_EQ(testing::Serve(outlook, scenario), "");
        EXPECT_TRUE(telegram.Start() && telegram.ServeAsTelegram());
        EXPECT_TRUE(SaveProfileConfig(dir / L"WorkConfig.json", testing::InboxProfile()));
    }
    ~WatchedSession() { engine->Stop(); }

    bool Start(std::int32_t interval) {
        return engine->Start(record.Session(dir.Path(), interval));
    }
    std::size_t Logged(const std::wstring& prefix) { return record.Logged(prefix); }

    testing::FakeOutlook outlook;
    testing::FakeBotApiServer telegram;
    testing::TempDir dir;
    testing::SessionRecord record;
    std::optional<MonitorEngine> engine;  // subscriptions retried after 1 s
};

// With events a new mail goes out long before the next check; where Outlook refuses them, the
// checks still deliver it and the refusal is logged once.
TEST(MailWatch, NewMailIsSentAtOnceWithEventsAndByTheChecksWithout) {
    const struct {
        const char* name;
        std::wstring extra;
        std::int32_t interval;
        const wchar_t* logged;
    } cases[] = {
        {"events", L"", 120, L"Outlook new-mail events are on for 1 folder(s)"},
        {"refused", ScenarioLine({L"events", L"refuse"}), 2,
         L"Outlook new-mail events are unavailable"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WatchedSession session(kMailbox + c.extra);
        ASSERT_TRUE(session.Start(c.interval));
        ASSERT_TRUE(WaitFor([&] { return session.Logged(c.logged) == 1; }, 30s));
        ASSERT_TRUE(WaitFor([&] { return session.record.Cycles() >= 1; }, 30s));  // baseline
        ASSERT_TRUE(session.outlook.WriteScenario(kMailbox + c.extra + kNewMail));
        EXPECT_TRUE(
            WaitFor([&] { return session.telegram.Requests("sendMessage").size() == 1; }, 30s));
        EXPECT_EQ(session.Logged(L"Outlook new-mail events"), 1u);
    }
}

// Events come back, without waiting for a check, once Outlook accepts the subscription it
// refused, and once Outlook returns after it went away.
TEST(MailWatch, SubscribesAgainAfterARefusalAndWhenOutlookReturns) {
    WatchedSession session(kMailbox + ScenarioLine({L"events", L"refuse"}));
    ASSERT_TRUE(session.Start(120));
    const auto eventsOn = [&](std::size_t times) {
        return WaitFor([&] { return session.Logged(L"Outlook new-mail events are on") == times; },
                       30s);
    };
    ASSERT_TRUE(WaitFor(
        [&] { return session.Logged(L"Outlook new-mail events are unavailable") == 1; }, 30s));
    ASSERT_TRUE(session.outlook.WriteScenario(kMailbox));
    ASSERT_TRUE(eventsOn(1));
    ASSERT_TRUE(session.outlook.Stop());
    EXPECT_TRUE(
        WaitFor([&] { return session.Logged(L"Outlook's new-mail events stopped") == 1; }, 30s));
    std::wstring error;
    ASSERT_TRUE(session.outlook.Start(error)) << WideToUtf8(error);
    ASSERT_TRUE(eventsOn(2));
    ASSERT_TRUE(session.outlook.WriteScenario(kMailbox + kNewMail));
    EXPECT_TRUE(WaitFor([&] { return session.telegram.Requests("sendMessage").size() == 1; }, 30s));
    EXPECT_EQ(session.Logged(L"Outlook new-mail events are unavailable"), 1u);
}

// A watch held inside Outlook (its subscription never answers) does not hold up the stop.
TEST(MailWatch, StopDoesNotWaitForAWatchBlockedInsideOutlook) {
    WatchedSession session(kMailbox + ScenarioLine({L"hang", L"member=advise"}));
    ASSERT_TRUE(session.Start(120));
    ASSERT_TRUE(session.outlook.WaitUntilHanging(30s));
    EXPECT_TRUE(testing::StopsWithoutWaiting([&] { session.engine->Stop(); },
                                             [&] { session.outlook.ReleaseHang(); }))
        << "stop waited for Outlook";
}

}  // namespace
}  // namespace wrenpost
