// A monitor session wired as the main window wires it, under wine: the COM mail reader against
// the fake Outlook, TelegramProvider over WinHTTP against the fake Bot API server.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <thread>

#include "FastClock.h"
#include "InboxWorld.h"
#include "common/Registry_win.h"
#include "common/Text.h"
#include "monitor/MonitorDependencies_win.h"
#include "support/FakeBotApiServer_win.h"
#include "support/FakeOutlook_win.h"
#include "support/TempDir.h"

namespace wrenpost {
namespace {

using namespace std::chrono_literals;
using testing::ScenarioLine;

using testing::FastClock;

const std::wstring kBase = ScenarioLine({L"store", L"id=S1", L"name=Ann"}) +
                           ScenarioLine({L"folder", L"store=S1", L"path=Inbox", L"id=F1"}) +
                           ScenarioLine({L"item", L"folder=F1", L"id=OLD1", L"subject=Last week",
                                         L"sender=Bob", L"received=2026-01-01 08:00:00",
                                         L"delivery=2026-01-01 08:00:00", L"msgid=<old1@x>"});

class MonitorWithOutlookAndTelegram : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(testing::StartInboxWorld(outlook, kBase, dir.Path(), profile));
        ASSERT_TRUE(telegram.Start());
        ASSERT_TRUE(telegram.ServeAsTelegram());
        MonitorDependencies deps = WindowsMonitorDependencies(nullptr);
        deps.TimeSource = &clock;
        deps.FormatTime = [](std::int64_t) { return std::wstring(L"1/1/2099 00:00"); };
        engine = std::make_unique<MonitorEngine>(std::move(deps));
    }
    // Waits until the session has reported `status` `more` times beyond those so far.
    bool WaitFor(std::size_t more, const std::wstring& status) {
        const auto counted = [&] {
            std::lock_guard lock(mutex);
            return std::size_t(std::count(statuses.begin(), statuses.end(), status));
        };
        const std::size_t target = counted() + more;
        return testing::Within(30s, [&] { return counted() >= target; });
    }
    MonitorSession Session() {
        const auto onLog = [this](const std::wstring& line) {
            std::lock_guard lock(mutex);
            lines.push_back(line);
        };
        const auto onStatus = [this](const MonitorProgress& progress) {
            std::lock_guard lock(mutex);
            if (progress.CycleEnded) {
                statuses.push_back(progress.Status);
            }
        };
        return MonitorSession{L"Work", dir.Path(), L"123:ABC", 2, false, onLog, onStatus, {}};
    }

    testing::FakeOutlook outlook;
    testing::FakeBotApiServer telegram;
    testing::TempDir dir;
    ProfileConfig profile;  // sends with the default title
    std::mutex mutex;
    std::vector<std::wstring> statuses;
    std::vector<std::wstring> lines;  // read while the worker waits or once it has ended
    FastClock clock;
    std::unique_ptr<MonitorEngine> engine;
};

TEST_F(MonitorWithOutlookAndTelegram, NewMailIsSentOnceAndAHungOutlookTimesOut) {
    const MonitorSession session = Session();
    ASSERT_TRUE(engine->Start(session));

    // The first cycle is the baseline: what is already there is not sent.
    ASSERT_TRUE(WaitFor(1, L"Running"));
    EXPECT_TRUE(telegram.Requests("sendMessage").empty());

    // New mail: sent by the next cycle that starts after it arrived, and only once.
    const std::wstring newMail = ScenarioLine(
        {L"item", L"folder=F1", L"id=NEW1", L"subject=Quarterly numbers", L"sender=Dana",
         L"received=2026-06-01 10:00:00", L"delivery=2099-01-01 00:00:00", L"msgid=<new1@x>"});
    ASSERT_TRUE(outlook.WriteScenario(kBase + newMail));
    ASSERT_TRUE(WaitFor(4, L"Running"));
    const auto sent = telegram.Requests("sendMessage");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].parameters.at("chat_id") + "|" + sent[0].parameters.at("text"),
              "4242|New Outlook Mail\n\nQuarterly numbers");

    // A SAVE of the preview level applies from the next cycle: an Exchange sender shows its SMTP
    // address; a mail whose guarded members Outlook refuses still notifies, logged once.
    profile.Message.Content = MessageContent::Preview;
    ASSERT_TRUE(SaveProfileConfig(dir / L"WorkConfig.json", profile));
    const std::wstring later = L"received=2099-01-01 00:00:00";
    ASSERT_TRUE(outlook.WriteScenario(
        kBase + newMail +
        ScenarioLine({L"item", L"folder=F1", L"id=EX1", L"subject=Budget", L"sender=Boss",
                      L"address=/O=EXCHANGELABS/CN=BOSS", L"smtp=boss@corp.example",
                      L"body=Please review   the  numbers.", later, L"msgid=<ex1@x>"}) +
        ScenarioLine({L"item", L"folder=F1", L"id=NO1", L"subject=Private", L"sender=Eve",
                      L"address=eve@example.com", L"body=Secret", L"refuse", later})));
    ASSERT_TRUE(WaitFor(4, L"Running"));
    std::vector<std::string> texts;
    for (const auto& request : telegram.Requests("sendMessage")) {
        texts.push_back(request.parameters.at("text"));
    }
    std::sort(texts.begin() + 1, texts.end());
    EXPECT_EQ(texts, (std::vector<std::string>{
                         "New Outlook Mail\n\nQuarterly numbers",
                         "New Outlook Mail\n\nBudget\nFrom: Boss <boss@corp.example>\n"
                         "Received: 1/1/2099 00:00\n\nPlease review the numbers.",
                         "New Outlook Mail\n\nPrivate\nReceived: 1/1/2099 00:00"}));
    EXPECT_TRUE(engine->OutlookRefusedGuardedMembers());
    {
        std::lock_guard lock(mutex);
        EXPECT_EQ(std::count(lines.begin(), lines.end(), std::wstring(kOutlookRefusedNote)), 1);
    }

    // Outlook hangs: the cycle gives up after the time-out and says so; stop does not wait.
    ASSERT_TRUE(outlook.WriteScenario(kBase + ScenarioLine({L"hang", L"member=GetFolderFromID"})));
    ASSERT_TRUE(WaitFor(1, L"Outlook Check Timed Out"));
    const auto stopBegan = std::chrono::steady_clock::now();
    engine->Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - stopBegan, 5s) << "stop waited for Outlook";

    // Telegram falls silent (takes the request, never answers): stop still keeps its bound. The
    // next session sends the new mail again, as it arrived after that session's cutoff.
    telegram.QueueReply("sendMessage", {200, "", "application/json", 60s});
    outlook.ReleaseHang();
    ASSERT_TRUE(outlook.WriteScenario(kBase + newMail));
    ASSERT_TRUE(engine->Start(session));
    const auto asked = std::chrono::steady_clock::now() + 30s;
    while (telegram.Requests("sendMessage").size() < 4 && std::chrono::steady_clock::now() < asked)
        std::this_thread::sleep_for(10ms);
    ASSERT_EQ(telegram.Requests("sendMessage").size(), 4u);
    const auto silentStop = std::chrono::steady_clock::now();
    engine->Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - silentStop, 5s) << "stop waited for Telegram";

    EXPECT_TRUE(outlook.Stop());  // releases the hang first
}

}  // namespace
}  // namespace wrenpost
