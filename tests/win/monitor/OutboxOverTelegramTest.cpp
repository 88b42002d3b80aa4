// The outbox with the real reader and WinHTTP under wine: mail that arrives while Telegram
// refuses connections is all delivered, once each and in order, when it answers again. (What a
// killed process left waiting is the end-to-end journey's case.)
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <ctime>
#include <cwchar>
#include <set>
#include <thread>

#include "FastClock.h"
#include "MonitorFakes.h"
#include "common/Text.h"
#include "monitor/MonitorDependencies_win.h"
#include "support/FakeBotApiServer_win.h"
#include "support/TempDir.h"

namespace wrenpost {
namespace {

using namespace std::chrono_literals;
using testing::ScenarioLine;

using testing::FastClock;

const std::wstring kBase = testing::kAnnInbox;

// `count` mails filed in order (a second apart), all delivered at `delivery` (UTC).
std::wstring Mails(int count, const std::wstring& delivery) {
    std::wstring lines;
    for (int i = 0; i < count; ++i) {
        wchar_t received[32];
        std::swprintf(received, 32, L"2026-01-01 00:%02d:%02d", i / 60, i % 60);
        lines += ScenarioLine({L"item", L"folder=F1", L"id=M" + std::to_wstring(i),
                               L"subject=Mail " + std::to_wstring(i), L"sender=Dana",
                               L"received=" + std::wstring(received), L"delivery=" + delivery,
                               L"msgid=<m" + std::to_wstring(i) + L"@x>"});
    }
    return lines;
}

std::vector<std::string> Texts(const testing::FakeBotApiServer& telegram) {
    std::vector<std::string> texts;
    for (const auto& request : telegram.Requests("sendMessage")) {
        texts.push_back(request.parameters.at("text"));
    }
    return texts;
}

std::vector<std::string> Expected(int from, int to) {
    std::vector<std::string> texts;
    for (int i = from; i < to; ++i) {
        texts.push_back("New Outlook Mail\n\nMail " + std::to_string(i));
    }
    return texts;
}

template <typename Done>
bool Within(std::chrono::seconds limit, Done done) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done() && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(20ms);
    }
    return done();
}

class OutboxOverTelegram : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(testing::Serve(outlook, kBase), "");
        ASSERT_TRUE(SaveProfileConfig(dir / L"WorkConfig.json", testing::InboxProfile()));
    }
    MonitorSession Session(const std::filesystem::path& folder) {
        return {L"Work",
                folder,
                L"123:ABC",
                1,
                false,
                nullptr,
                [this](const MonitorProgress& progress) { waiting = progress.Waiting; },
                {}};
    }
    std::unique_ptr<MonitorEngine> Engine() {
        MonitorDependencies deps = WindowsMonitorDependencies(nullptr);
        deps.TimeSource = &clock;
        return std::make_unique<MonitorEngine>(std::move(deps));
    }

    testing::FakeOutlook outlook;
    testing::TempDir dir;
    FastClock clock;
    std::atomic<int> waiting{-1};
};

TEST_F(OutboxOverTelegram, MailThatArrivesWhileTelegramRefusesIsAllDeliveredOnceInOrder) {
    testing::FakeBotApiServer down;
    ASSERT_TRUE(down.Start() && down.ServeAsTelegram());
    down.Stop();  // connections are refused from now on
    auto engine = Engine();
    ASSERT_TRUE(engine->Start(Session(dir.Path())));
    ASSERT_TRUE(outlook.WriteScenario(kBase + Mails(20, L"2099-01-01 00:00:00")));
    ASSERT_TRUE(Within(30s, [&] { return waiting.load() == 20; }));

    testing::FakeBotApiServer telegram;
    ASSERT_TRUE(telegram.Start() && telegram.ServeAsTelegram());
    ASSERT_TRUE(Within(60s, [&] { return telegram.Requests("sendMessage").size() >= 20; }));
    ASSERT_TRUE(Within(10s, [&] { return waiting.load() == 0; }));
    engine->Stop();
    EXPECT_EQ(Texts(telegram), Expected(0, 20));
}

}  // namespace
}  // namespace wrenpost
