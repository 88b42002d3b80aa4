// The preview level under wine, through the COM reader and the fake Outlook: an Exchange sender's
// SMTP address, and a mail whose guarded members Outlook refuses, which still notifies with what
// could be read and is logged once.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <mutex>
#include <thread>

#include "FastClock.h"
#include "common/Text.h"
#include "monitor/MonitorDependencies_win.h"
#include "support/FakeBotApiServer_win.h"
#include "support/FakeOutlook_win.h"
#include "support/TempDir.h"

namespace wrenpost {
namespace {

using namespace std::chrono_literals;
using testing::ScenarioLine;

TEST(MonitorWithOutlookAndTelegram, PreviewCarriesWhatOutlookLetsBeRead) {
    const std::wstring base = ScenarioLine({L"store", L"id=S1", L"name=Ann"}) +
                              ScenarioLine({L"folder", L"store=S1", L"path=Inbox", L"id=F1"});
    testing::FakeOutlook outlook;
    std::wstring error;
    ASSERT_TRUE(outlook.Register(error)) << WideToUtf8(error);
    ASSERT_TRUE(outlook.WriteScenario(base));
    ASSERT_TRUE(outlook.Start(error)) << WideToUtf8(error);
    testing::FakeBotApiServer telegram;
    ASSERT_TRUE(telegram.Start());
    ASSERT_TRUE(telegram.ServeAsTelegram());

    testing::TempDir dir;
    ProfileConfig profile;
    profile.SelectedFolders = {{L"Inbox", L"\\\\Ann\\Inbox", L"F1", L"S1", L"", L"", 0}};
    profile.Recipients = {{L"4242", L"", true, L"", L"Never"}};
    profile.Message.Content = MessageContent::Preview;
    ASSERT_TRUE(SaveProfileConfig(dir / L"WorkConfig.json", profile));

    std::mutex mutex;
    std::vector<std::wstring> lines;
    testing::FastClock clock;
    MonitorDependencies deps = WindowsMonitorDependencies(nullptr);
    deps.TimeSource = &clock;
    deps.FormatTime = [](std::int64_t) { return std::wstring(L"1/1/2099 00:00"); };
    MonitorEngine engine(std::move(deps));
    const auto onLog = [&](const std::wstring& line) {
        std::lock_guard lock(mutex);
        lines.push_back(line);
    };
    ASSERT_TRUE(engine.Start({L"Work", dir.Path(), L"123:ABC", 1, false, onLog, nullptr, {}}));

    const std::wstring fields[] = {L"received=2099-01-01 00:00:00", L"delivery=2099-01-01 00:00:00"};
    ASSERT_TRUE(outlook.WriteScenario(
        base +
        ScenarioLine({L"item", L"folder=F1", L"id=EX1", L"subject=Budget", L"sender=Boss",
                      L"address=/O=EXCHANGELABS/OU=EXCHANGE ADMINISTRATIVE GROUP/CN=BOSS",
                      L"smtp=boss@corp.example", L"body=Please review   the  numbers.", fields[0],
                      fields[1], L"msgid=<ex1@x>"}) +
        ScenarioLine({L"item", L"folder=F1", L"id=NO1", L"subject=Private", L"sender=Eve",
                      L"address=eve@example.com", L"body=Secret", L"refuse", fields[0]})));
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (telegram.Requests("sendMessage").size() < 2 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(20ms);
    }
    engine.Stop();
    EXPECT_TRUE(outlook.Stop());

    std::vector<std::string> texts;
    for (const auto& request : telegram.Requests("sendMessage")) {
        texts.push_back(request.parameters.at("text"));
    }
    std::sort(texts.begin(), texts.end());
    EXPECT_EQ(texts, (std::vector<std::string>{
                         "New Outlook Mail\n\nBudget\nFrom: Boss <boss@corp.example>\n"
                         "Received: 1/1/2099 00:00\n\nPlease review the numbers.",
                         "New Outlook Mail\n\nPrivate\nReceived: 1/1/2099 00:00"}));
    EXPECT_EQ(std::count(lines.begin(), lines.end(), std::wstring(kOutlookRefusedNote)), 1);
    EXPECT_TRUE(engine.OutlookRefusedGuardedMembers());
}

}  // namespace
}  // namespace wrenpost
