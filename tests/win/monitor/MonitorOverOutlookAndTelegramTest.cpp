// A monitor session wired as the main window wires it, under wine: the COM mail reader against
// the fake Outlook, TelegramProvider over WinHTTP against the fake Bot API server.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <memory>

#include "FastClock.h"
#include "MonitorFakes.h"
#include "common/Registry_win.h"
#include "common/Text.h"
#include "monitor/MonitorDependencies_win.h"
#include "support/FakeBotApiServer_win.h"
#include "support/TempDir.h"

namespace wrenpost {
namespace {

using namespace std::chrono_literals;
using testing::ScenarioLine;

using testing::FastClock;

const std::wstring kBase =
    testing::kAnnInbox + ScenarioLine({L"item", L"folder=F1", L"id=OLD1", L"subject=Last week",
                                       L"sender=Bob", L"received=2026-01-01 08:00:00",
                                       L"delivery=2026-01-01 08:00:00", L"msgid=<old1@x>"});

class MonitorWithOutlookAndTelegram : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(testing::Serve(outlook, kBase), "");
        ASSERT_TRUE(telegram.Start() && telegram.ServeAsTelegram());
        MonitorDependencies deps = WindowsMonitorDependencies(nullptr);
        deps.TimeSource = &clock;
        deps.FormatTime = [](std::int64_t) { return std::wstring(L"1/1/2099 00:00"); };
        engine = std::make_unique<MonitorEngine>(std::move(deps));
    }
    void TearDown() override {
        engine->Stop();
        EXPECT_TRUE(outlook.Stop());  // releases a hang first
    }
    bool SaveProfile() { return SaveProfileConfig(dir / L"WorkConfig.json", profile); }
    MonitorSession Session() { return record.Session(dir.Path(), 2); }
    // Waits until the session has reported `status` `more` times beyond those so far.
    bool WaitFor(std::size_t more, const std::wstring& status) {
        const std::size_t target = record.Cycles(status) + more;
        return testing::WaitFor([&] { return record.Cycles(status) >= target; }, 30s);
    }
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const auto& request : telegram.Requests("sendMessage")) {
            texts.push_back(request.parameters.at("text"));
        }
        return texts;
    }

    testing::FakeOutlook outlook;
    testing::FakeBotApiServer telegram;
    testing::TempDir dir;
    ProfileConfig profile = testing::InboxProfile();  // sends with the default title
    FastClock clock;
    testing::SessionRecord record;
    std::unique_ptr<MonitorEngine> engine;
};

TEST_F(MonitorWithOutlookAndTelegram, NewMailIsSentOnceAndAHungOutlookTimesOut) {
    ASSERT_TRUE(SaveProfile());
    ASSERT_TRUE(engine->Start(Session()));

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
    ASSERT_TRUE(SaveProfile());
    const std::wstring later = L"received=2099-01-01 00:00:00";
    ASSERT_TRUE(outlook.WriteScenario(
        kBase + newMail +
        ScenarioLine({L"item", L"folder=F1", L"id=EX1", L"subject=Budget", L"sender=Boss",
                      L"address=/O=EXCHANGELABS/CN=BOSS", L"smtp=boss@corp.example",
                      L"body=Please review   the  numbers.", later, L"msgid=<ex1@x>"}) +
        ScenarioLine({L"item", L"folder=F1", L"id=NO1", L"subject=Private", L"sender=Eve",
                      L"address=eve@example.com", L"body=Secret", L"refuse", later})));
    ASSERT_TRUE(WaitFor(4, L"Running"));
    std::vector<std::string> texts = Texts();
    std::sort(texts.begin() + 1, texts.end());
    EXPECT_EQ(texts, (std::vector<std::string>{
                         "New Outlook Mail\n\nQuarterly numbers",
                         "New Outlook Mail\n\nBudget\nFrom: Boss <boss@corp.example>\n"
                         "Received: 1/1/2099 00:00\n\nPlease review the numbers.",
                         "New Outlook Mail\n\nPrivate\nReceived: 1/1/2099 00:00"}));
    EXPECT_TRUE(engine->OutlookRefusedGuardedMembers());
    EXPECT_EQ(record.Logged(std::wstring(kOutlookRefusedNote)), 1u);

    // Outlook hangs: the cycle gives up after the time-out and says so; stop does not wait.
    ASSERT_TRUE(outlook.WriteScenario(kBase + ScenarioLine({L"hang", L"member=GetFolderFromID"})));
    ASSERT_TRUE(WaitFor(1, L"Outlook Check Timed Out"));
    EXPECT_TRUE(
        testing::StopsWithoutWaiting([&] { engine->Stop(); }, [&] { outlook.ReleaseHang(); }))
        << "stop waited for Outlook";

    // Telegram falls silent (takes the request, never answers): stop still keeps its bound. The
    // next session sends the new mail again, as it arrived after that session's cutoff.
    telegram.QueueReply("sendMessage", {200, "", "application/json", 600s});
    ASSERT_TRUE(outlook.WriteScenario(kBase + newMail));
    ASSERT_TRUE(engine->Start(Session()));
    ASSERT_TRUE(
        testing::WaitFor([&] { return telegram.Requests("sendMessage").size() == 4; }, 30s));
    EXPECT_TRUE(testing::StopsWithoutWaiting([&] { engine->Stop(); }, [&] { telegram.Stop(); }))
        << "stop waited for Telegram";
}

// Sender address and body are asked only of mails the session admits: with every Body read
// hanging, the first check over the mail already there completes at the preview level. A new
// mail whose text Outlook holds back times the check out and is sent in full once it answers.
TEST_F(MonitorWithOutlookAndTelegram, OnlyAdmittedMailIsAskedForItsText) {
    profile.Message.Content = MessageContent::Preview;
    ASSERT_TRUE(SaveProfile());
    const std::wstring hang = ScenarioLine({L"hang", L"member=Body"});
    ASSERT_TRUE(outlook.WriteScenario(kBase + hang));
    ASSERT_TRUE(engine->Start(Session()));
    ASSERT_TRUE(WaitFor(1, L"Running"));
    EXPECT_EQ(record.Cycles(L"Outlook Check Timed Out"), 0u);

    const std::wstring minutes = ScenarioLine(
        {L"item", L"folder=F1", L"id=N1", L"subject=Minutes", L"sender=Dana",
         L"address=dana@example.com", L"body=Draft attached.", L"received=2099-01-01 00:00:00"});
    ASSERT_TRUE(outlook.WriteScenario(kBase + hang + minutes));
    ASSERT_TRUE(WaitFor(1, L"Outlook Check Timed Out"));
    ASSERT_TRUE(outlook.WriteScenario(kBase + minutes));
    outlook.ReleaseHang();
    EXPECT_TRUE(testing::WaitFor([&] { return !telegram.Requests("sendMessage").empty(); }, 60s));
    EXPECT_EQ(Texts(), (std::vector<std::string>{"New Outlook Mail\n\nMinutes\nFrom: Dana "
                                                 "<dana@example.com>\nReceived: 1/1/2099 00:00\n\n"
                                                 "Draft attached."}));
}

}  // namespace
}  // namespace wrenpost
