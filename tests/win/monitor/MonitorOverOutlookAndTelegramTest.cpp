// A monitor session with the real pieces under wine: the COM mail reader against the fake
// Outlook and TelegramProvider over WinHTTP against the fake Bot API server, wired as the main
// window wires them.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <mutex>
#include <thread>

#include "common/Registry_win.h"
#include "common/Text.h"
#include "common/TextFile.h"
#include "monitor/MonitorDependencies_win.h"
#include "support/FakeBotApiServer_win.h"
#include "support/FakeOutlook_win.h"
#include "support/TempDir.h"

namespace wrenpost {
namespace {

using namespace std::chrono_literals;
using testing::ScenarioLine;

// Monotonic time ten times faster than real time, so intervals and the Outlook time-out pass
// quickly; wall time stays real, as the cutoff is compared with Outlook's delivery times.
class FastClock final : public Clock {
public:
    std::chrono::system_clock::time_point Now() const override {
        return std::chrono::system_clock::now();
    }
    std::chrono::steady_clock::time_point SteadyNow() const override {
        return origin_ + (std::chrono::steady_clock::now() - origin_) * 10;
    }
    void SleepFor(std::chrono::milliseconds duration) const override {
        std::this_thread::sleep_for(duration / 10);
    }

private:
    const std::chrono::steady_clock::time_point origin_ = std::chrono::steady_clock::now();
};

// What the session reported through its callbacks.
struct SessionRecord {
    std::mutex mutex;
    std::vector<std::wstring> lines, statuses;

    std::size_t Count(const std::wstring& status = L"") {
        std::lock_guard lock(mutex);
        return status.empty() ? statuses.size()
                              : std::count(statuses.begin(), statuses.end(), status);
    }
    bool WaitForStatus(std::size_t count, const std::wstring& status = L"") {
        const auto deadline = std::chrono::steady_clock::now() + 30s;
        while (Count(status) < count && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(20ms);
        }
        return Count(status) >= count;
    }
    void Add(std::vector<std::wstring>& to, const std::wstring& item) {
        std::lock_guard lock(mutex);
        to.push_back(item);
    }
    std::string Dump() {
        std::lock_guard lock(mutex);
        std::wstring all;
        for (const auto& line : lines) {
            all += line + L"\n";
        }
        return WideToUtf8(all);
    }
};

const std::wstring kBase =
    ScenarioLine({L"store", L"id=S1", L"name=Ann"}) +
    ScenarioLine({L"folder", L"store=S1", L"path=Inbox", L"id=F1"}) +
    ScenarioLine({L"item", L"folder=F1", L"id=OLD1", L"subject=Last week", L"sender=Bob",
                  L"received=2026-01-01 08:00:00", L"delivery=2026-01-01 08:00:00",
                  L"msgid=<old1@x>"}) +
    ScenarioLine({L"item", L"folder=F1", L"id=OLD2", L"subject=Yesterday", L"sender=Cy",
                  L"received=2026-01-02 08:00:00", L"delivery=2026-01-02 08:00:00"});

TEST(MonitorWithOutlookAndTelegram, NewMailIsSentOnceAndAHungOutlookTimesOut) {
    testing::FakeOutlook outlook;
    std::wstring error;
    ASSERT_TRUE(outlook.Register(error)) << WideToUtf8(error);
    ASSERT_TRUE(outlook.WriteScenario(kBase));
    ASSERT_TRUE(outlook.Start(error)) << WideToUtf8(error);
    testing::FakeBotApiServer telegram;
    ASSERT_TRUE(telegram.Start());
    const std::wstring url = telegram.BaseUrl();
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kWrenpostSettingsKey, L"TelegramApiBaseUrl",
                              REG_SZ, url.c_str(), static_cast<DWORD>((url.size() + 1) * 2)),
              ERROR_SUCCESS);

    testing::TempDir dir;
    ProfileConfig profile;
    profile.ProfileName = L"Work";
    profile.SelectedFolders = {{L"Inbox", L"\\\\Ann\\Inbox", L"F1", L"S1", L"", L"", 0}};
    profile.Recipients = {{L"4242", L"", true, L"", L"Never"}};
    profile.DefaultTitle = L"Office mail";
    ASSERT_TRUE(SaveProfileConfig(dir / L"WorkConfig.json", profile));

    SessionRecord record;
    FastClock clock;
    MonitorDependencies deps = WindowsMonitorDependencies(nullptr);
    deps.TimeSource = &clock;
    MonitorEngine engine(std::move(deps));
    MonitorSession session{L"Work",
                           dir.Path(),
                           L"123:ABC",
                           2,
                           false,
                           [&](const std::wstring& line) { record.Add(record.lines, line); },
                           [&](const std::wstring&, std::int32_t, std::int32_t,
                               const std::wstring& status) { record.Add(record.statuses, status); },
                           nullptr};
    ASSERT_TRUE(engine.Start(std::move(session)));

    // The first cycle is the baseline: what is already there is not sent.
    ASSERT_TRUE(record.WaitForStatus(1, L"Running")) << record.Dump();
    EXPECT_TRUE(telegram.Requests("sendMessage").empty());

    // New mail: sent by the next cycle that starts after it arrived, and only once.
    const std::size_t before = record.Count();
    ASSERT_TRUE(outlook.WriteScenario(
        kBase + ScenarioLine({L"item", L"folder=F1", L"id=NEW1", L"subject=Quarterly numbers",
                              L"sender=Dana", L"received=2026-06-01 10:00:00",
                              L"delivery=2099-01-01 00:00:00", L"msgid=<new1@x>"})));
    ASSERT_TRUE(record.WaitForStatus(before + 4)) << record.Dump();
    const auto sent = telegram.Requests("sendMessage");
    ASSERT_EQ(sent.size(), 1u) << record.Dump();
    EXPECT_EQ(sent[0].token, "123:ABC");
    EXPECT_EQ(sent[0].parameters.at("chat_id"), "4242");
    EXPECT_EQ(sent[0].parameters.at("text"), "Office mail\n\nQuarterly numbers");
    std::wstring text;
    ASSERT_TRUE(ReadTextFile(dir / L"WorkConfig.json", text));
    EXPECT_NE(ParseProfileConfig(text).Recipients.at(0).LastNotification, L"Never");

    // Outlook hangs: the cycle gives up after the time-out and says so; stop does not wait.
    ASSERT_TRUE(outlook.WriteScenario(kBase + ScenarioLine({L"hang", L"member=GetFolderFromID"})));
    ASSERT_TRUE(outlook.WaitUntilHanging(30000ms)) << record.Dump();
    ASSERT_TRUE(record.WaitForStatus(1, L"Outlook Check Timed Out")) << record.Dump();
    EXPECT_NE(record.Dump().find("Monitor cycle timed out after 30s waiting for Outlook"),
              std::string::npos);
    const auto stopBegan = std::chrono::steady_clock::now();
    engine.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - stopBegan, 5s) << "stop waited for Outlook";
    ASSERT_TRUE(ReadTextFile(dir / L"WorkMonitor.json", text));
    EXPECT_NE(text.find(L"\"Status\": \"Stopped\""), std::wstring::npos);
    EXPECT_NE(text.find(L"\"MessagesSent\": 1,"), std::wstring::npos);

    outlook.ReleaseHang();
    EXPECT_TRUE(outlook.Stop());
    telegram.Stop();
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kWrenpostSettingsKey, L"TelegramApiBaseUrl");
}

}  // namespace
}  // namespace wrenpost
