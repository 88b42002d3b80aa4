// The outbox with the real reader and WinHTTP under wine: mail that arrives while Telegram
// refuses connections is all delivered, once each and in order, when it answers again; what a
// crashed process left waiting is sent by the next start, and nothing it had sent repeats.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <ctime>
#include <cwchar>
#include <set>
#include <thread>

#include "FastClock.h"
#include "InboxWorld.h"
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
using testing::Within;

const std::wstring kBase = ScenarioLine({L"store", L"id=S1", L"name=Ann"}) +
                           ScenarioLine({L"folder", L"store=S1", L"path=Inbox", L"id=F1"});

// UTC "YYYY-MM-DD HH:MM:SS" of now plus `seconds`.
std::wstring UtcText(int seconds) {
    const std::time_t at = std::time(nullptr) + seconds;
    std::tm utc{};
    gmtime_s(&utc, &at);
    wchar_t text[32];
    std::wcsftime(text, 32, L"%Y-%m-%d %H:%M:%S", &utc);
    return text;
}

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

class OutboxOverTelegram : public ::testing::Test {
protected:
    void SetUp() override {
        ProfileConfig profile;
        ASSERT_NO_FATAL_FAILURE(testing::StartInboxWorld(outlook, kBase, dir.Path(), profile));
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

TEST_F(OutboxOverTelegram, ACrashedSessionsWaitingNotificationsGoOutOnceFromTheNextStart) {
    testing::FakeBotApiServer telegram;
    ASSERT_TRUE(telegram.Start() && telegram.ServeAsTelegram());
    for (int i = 0; i < 5; ++i) {
        telegram.QueueReply("sendMessage", {200, R"({"ok":true,"result":{}})"});
    }
    for (int i = 0; i < 100; ++i) {
        telegram.QueueReply("sendMessage", {502, R"({"ok":false,"description":"Bad Gateway"})"});
    }
    auto engine = Engine();
    ASSERT_TRUE(engine->Start(Session(dir.Path())));
    // Delivered after this session's start and before the next one's, as mail before a crash is.
    ASSERT_TRUE(outlook.WriteScenario(kBase + Mails(20, UtcText(1))));
    ASSERT_TRUE(Within(30s, [&] { return waiting.load() == 15; }));
    // The crash: what is on disk now is all a later start finds.
    const testing::TempDir crashed;
    const std::filesystem::path image = crashed / L"Work";
    std::error_code error;  // a temporary file may vanish while it is copied
    std::filesystem::copy(dir.Path(), image, std::filesystem::copy_options::recursive, error);
    engine->Stop();
    std::this_thread::sleep_for(2s);  // the next start comes later than every delivery

    testing::FakeBotApiServer after;
    ASSERT_TRUE(after.Start() && after.ServeAsTelegram());
    engine = Engine();
    ASSERT_TRUE(engine->Start(Session(image)));
    ASSERT_TRUE(Within(60s, [&] { return after.Requests("sendMessage").size() >= 15; }));
    std::this_thread::sleep_for(500ms);  // nothing more follows
    engine->Stop();
    EXPECT_EQ(Texts(after), Expected(5, 20));
}

}  // namespace
}  // namespace wrenpost
