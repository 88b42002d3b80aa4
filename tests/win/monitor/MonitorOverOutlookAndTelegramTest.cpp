// A monitor session with the real pieces under wine: the COM mail reader against the fake
// Outlook and TelegramProvider over WinHTTP against the fake Bot API server, wired as the main
// window wires them.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <ctime>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/Registry_win.h"
#include "common/Text.h"
#include "common/TextFile.h"
#include "monitor/MonitorDependencies_win.h"
#include "monitor/MonitorEngine.h"
#include "support/FakeBotApiServer_win.h"
#include "support/FakeOutlook_win.h"
#include "support/TempDir.h"

namespace wrenpost {
namespace {

using namespace std::chrono_literals;
using testing::ScenarioLine;

// Monotonic time running ten times faster than real time, so intervals and the Outlook
// time-out pass quickly; wall time stays real, since the session cutoff is compared with the
// delivery times Outlook reports.
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

std::wstring UtcText(std::chrono::system_clock::time_point time) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    std::tm calendar{};
    gmtime_s(&calendar, &seconds);
    wchar_t text[32];
    std::wcsftime(text, 32, L"%Y-%m-%d %H:%M:%S", &calendar);
    return text;
}

// Points TelegramProvider at the fake server through the per-user setting, as a user would.
class ApiSetting {
public:
    explicit ApiSetting(const std::wstring& url) {
        HKEY key = nullptr;
        RegCreateKeyExW(HKEY_CURRENT_USER, kWrenpostSettingsKey, 0, nullptr, 0, KEY_SET_VALUE,
                        nullptr, &key, nullptr);
        RegSetValueExW(key, L"TelegramApiBaseUrl", 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(url.c_str()),
                       static_cast<DWORD>((url.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
    ~ApiSetting() {
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kWrenpostSettingsKey, L"TelegramApiBaseUrl");
    }
};

// What the session reported through its callbacks.
class SessionRecord {
public:
    MonitorLogCallback Log() {
        return [this](const std::wstring& line) {
            std::lock_guard lock(mutex_);
            lines_.push_back(line);
        };
    }
    MonitorStatusCallback Status() {
        return [this](const std::wstring&, std::int32_t, std::int32_t, const std::wstring& status) {
            std::lock_guard lock(mutex_);
            statuses_.push_back(status);
        };
    }
    RecipientNotifiedCallback Notified() {
        return [this](const std::wstring& chatId, const std::wstring&) {
            std::lock_guard lock(mutex_);
            notified_.push_back(chatId);
        };
    }
    std::size_t StatusCount() {
        std::lock_guard lock(mutex_);
        return statuses_.size();
    }
    std::size_t StatusCount(const std::wstring& status) {
        std::lock_guard lock(mutex_);
        return static_cast<std::size_t>(std::count(statuses_.begin(), statuses_.end(), status));
    }
    bool Logged(const std::wstring& line) {
        std::lock_guard lock(mutex_);
        return std::find(lines_.begin(), lines_.end(), line) != lines_.end();
    }
    std::vector<std::wstring> NotifiedChats() {
        std::lock_guard lock(mutex_);
        return notified_;
    }
    std::string Dump() {
        std::lock_guard lock(mutex_);
        std::wstring all;
        for (const auto& line : lines_) {
            all += line + L"\n";
        }
        return WideToUtf8(all);
    }

private:
    std::mutex mutex_;
    std::vector<std::wstring> lines_;
    std::vector<std::wstring> statuses_;
    std::vector<std::wstring> notified_;
};

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

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
    ApiSetting setting(telegram.BaseUrl());

    testing::TempDir dir;
    ProfileConfig profile;
    profile.ProfileName = L"Work";
    SelectedFolder inbox;
    inbox.Name = L"Inbox";
    inbox.FolderPath = L"\\\\Ann\\Inbox";
    inbox.EntryId = L"F1";
    inbox.StoreId = L"S1";
    profile.SelectedFolders = {inbox};
    RecipientEntry recipient;
    recipient.ChatId = L"4242";
    profile.Recipients = {recipient};
    profile.DefaultTitle = L"Office mail";
    ProfileConfigStore store;
    ASSERT_TRUE(store.WriteProfileConfig(dir.Path() / L"WorkConfig.json", profile));

    SessionRecord record;
    FastClock clock;
    MonitorDependencies deps = WindowsMonitorDependencies(nullptr);
    deps.TimeSource = &clock;
    MonitorEngine engine(std::move(deps));
    ASSERT_TRUE(engine.Start(L"Work", dir.Path(), L"123:ABC", 2, false, record.Log(),
                             record.Status(), record.Notified()));

    // The first cycle is the baseline: what is already there is not sent.
    ASSERT_TRUE(WaitFor([&] { return record.StatusCount(L"Running") >= 1; }, 30s)) << record.Dump();
    EXPECT_TRUE(record.Logged(L"Baseline completed. Old messages will not be sent."));
    EXPECT_TRUE(telegram.Requests("sendMessage").empty());

    // New mail: sent by the next cycle that starts after it arrived, and only once.
    const std::size_t before = record.StatusCount();
    ASSERT_TRUE(outlook.WriteScenario(
        kBase + ScenarioLine({L"item", L"folder=F1", L"id=NEW1", L"subject=Quarterly numbers",
                              L"sender=Dana", L"received=2026-06-01 10:00:00",
                              L"delivery=" + UtcText(std::chrono::system_clock::now() + 60s),
                              L"msgid=<new1@x>"})));
    ASSERT_TRUE(WaitFor([&] { return record.StatusCount() >= before + 2; }, 30s)) << record.Dump();
    ASSERT_TRUE(WaitFor([&] { return record.StatusCount() >= before + 4; }, 30s)) << record.Dump();
    const auto sent = telegram.Requests("sendMessage");
    ASSERT_EQ(sent.size(), 1u) << record.Dump();
    EXPECT_EQ(sent[0].token, "123:ABC");
    EXPECT_EQ(sent[0].parameters.at("chat_id"), "4242");
    EXPECT_EQ(sent[0].parameters.at("text"), "Office mail\n\nQuarterly numbers");
    EXPECT_EQ(record.NotifiedChats(), std::vector<std::wstring>{L"4242"});
    EXPECT_TRUE(record.Logged(L"Telegram sent: 2026-06-01 10:00:00 | Dana | Quarterly numbers"))
        << record.Dump();
    ASSERT_TRUE(store.ReadProfileConfig(dir.Path() / L"WorkConfig.json"));
    EXPECT_NE(store.Current().Recipients.at(0).LastNotification, L"Never");

    // Outlook hangs: the cycle gives up after the time-out and says so; stop does not wait.
    ASSERT_TRUE(outlook.WriteScenario(kBase + ScenarioLine({L"hang", L"member=GetFolderFromID"})));
    ASSERT_TRUE(outlook.WaitUntilHanging(30000ms)) << record.Dump();
    ASSERT_TRUE(WaitFor([&] { return record.StatusCount(L"Outlook Check Timed Out") >= 1; }, 30s))
        << record.Dump();
    EXPECT_TRUE(record.Logged(
        L"Monitor cycle timed out after 30s waiting for Outlook (it may be unresponsive, or "
        L"showing a security prompt it cannot receive input for, e.g. while the session is "
        L"locked). Will retry next cycle."));

    const auto stopBegan = std::chrono::steady_clock::now();
    engine.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - stopBegan, 5s) << "stop waited for Outlook";
    EXPECT_FALSE(engine.IsRunning());
    std::wstring status;
    ASSERT_TRUE(ReadTextFile(dir.Path() / L"WorkMonitor.json", status));
    EXPECT_NE(status.find(L"\"Status\": \"Stopped\""), std::wstring::npos);
    EXPECT_NE(status.find(L"\"MessagesSent\": 1,"), std::wstring::npos);

    outlook.ReleaseHang();
    EXPECT_TRUE(outlook.Stop());
    telegram.Stop();
}

}  // namespace
}  // namespace wrenpost
