// New mail → sendMessage latency under wine, with Outlook's new-mail events and with the checks
// alone, in one run at the default 10 s interval: the fake Outlook adds one mail every few
// seconds, the fake Bot API notes when each sendMessage arrives. Also how long STOP takes (with
// events: while a send hangs on a Bot API that never answers).
// Run: scripts/wine-run build/windows/bench/delivery_latency_win.exe
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include "common/Text.h"
#include "monitor/MonitorDependencies_win.h"
#include "support/FakeBotApiServer_win.h"
#include "support/FakeOutlook_win.h"
#include "support/TempDir.h"

using namespace wrenpost;
using namespace std::chrono_literals;
using testing::ScenarioLine;
using Steady = std::chrono::steady_clock;

namespace {

constexpr int kMails = 8;
// Gaps between mails, spread over the interval so that polling shows its whole range.
constexpr std::chrono::milliseconds kGaps[kMails] = {3100ms, 4700ms, 2300ms, 5900ms,
                                                     3300ms, 6100ms, 2900ms, 4100ms};

struct Latencies {
    std::vector<double> Seconds;
    int Lost = 0;
    double StopMs = 0;  // with events: while a send hangs on a silent Bot API
};

Latencies Measure(bool events, testing::FakeOutlook& outlook, testing::FakeBotApiServer& telegram,
                  const std::filesystem::path& profileFolder, std::wstring& scenario) {
    MonitorDependencies deps = WindowsMonitorDependencies(nullptr);
    if (!events) {
        deps.WatchMail = nullptr;
    }
    MonitorEngine engine(std::move(deps));
    std::atomic<int> cycles{0};
    const auto onStatus = [&](const MonitorProgress& progress) {
        cycles += progress.CycleEnded ? 1 : 0;
    };
    Latencies result;
    if (!engine.Start({L"Work", profileFolder, L"123:ABC", 10, false, {}, onStatus, {}})) {
        return result;
    }
    while (cycles.load() == 0) {
        std::this_thread::sleep_for(10ms);  // the baseline
    }
    std::this_thread::sleep_for(1s);  // the watch has subscribed
    // Each run's mails are newer than the last run's: a check reads the newest few.
    const std::wstring prefix = events ? L"E" : L"P";
    for (int i = 0; i < kMails; ++i) {
        std::this_thread::sleep_for(kGaps[i]);
        const std::size_t before = telegram.Requests("sendMessage").size();
        scenario += ScenarioLine(
            {L"item", L"folder=F1", L"id=" + prefix + std::to_wstring(i),
             L"subject=Mail " + std::to_wstring(i), L"sender=Dana", L"delivery=2099-01-01 00:00:00",
             L"received=2099-01-01 00:0" + std::wstring(events ? L"1:" : L"2:") +
                 std::to_wstring(10 + i)});
        const auto added = Steady::now();
        if (!outlook.WriteScenario(scenario)) {
            ++result.Lost;
            continue;
        }
        std::vector<testing::FakeBotApiRequest> sent;
        while ((sent = telegram.Requests("sendMessage")).size() == before &&
               Steady::now() - added < 30s) {
            std::this_thread::sleep_for(5ms);
        }
        if (sent.size() == before) {
            ++result.Lost;
        } else {
            result.Seconds.push_back(
                std::chrono::duration<double>(sent.back().arrived - added).count());
        }
    }
    if (events) {
        // The stop bound with a send in flight that Telegram never answers.
        telegram.QueueReply("sendMessage", {200, "", "application/json", 60s});
        scenario +=
            ScenarioLine({L"item", L"folder=F1", L"id=SILENT", L"subject=Unanswered",
                          L"delivery=2099-01-01 00:00:00", L"received=2099-01-01 00:03:00"});
        const std::size_t before = telegram.Requests("sendMessage").size();
        if (outlook.WriteScenario(scenario)) {
            const auto asked = Steady::now();
            while (telegram.Requests("sendMessage").size() == before &&
                   Steady::now() - asked < 30s) {
                std::this_thread::sleep_for(5ms);
            }
        }
    }
    const auto stopping = Steady::now();
    engine.Stop();
    result.StopMs = std::chrono::duration<double, std::milli>(Steady::now() - stopping).count();
    return result;
}

void Report(const char* what, Latencies latencies) {
    std::sort(latencies.Seconds.begin(), latencies.Seconds.end());
    const std::size_t n = latencies.Seconds.size();
    const double median = n == 0  ? 0
                          : n % 2 ? latencies.Seconds[n / 2]
                                  : (latencies.Seconds[n / 2 - 1] + latencies.Seconds[n / 2]) / 2;
    std::printf("%-28s %zu mails  median %6.2f s  max %6.2f s  not sent %d  stop %.0f ms\n", what,
                n, median, n == 0 ? 0 : latencies.Seconds.back(), latencies.Lost, latencies.StopMs);
}

}  // namespace

int main() {
    testing::FakeOutlook outlook;
    testing::FakeBotApiServer telegram;
    testing::TempDir dir;
    std::wstring scenario = ScenarioLine({L"store", L"id=S1", L"name=Ann"}) +
                            ScenarioLine({L"folder", L"store=S1", L"path=Inbox", L"id=F1"});
    std::wstring error;
    ProfileConfig profile;
    profile.SelectedFolders = {{L"Inbox", L"\\\\Ann\\Inbox", L"F1", L"S1", L"", L"", 0}};
    profile.Recipients = {{L"4242", L"", true, L"", L"Never"}};
    if (!outlook.WriteScenario(scenario) || !outlook.Register(error) || !outlook.Start(error) ||
        !telegram.Start() || !telegram.ServeAsTelegram() ||
        !SaveProfileConfig(dir / L"WorkConfig.json", profile)) {
        std::printf("cannot prepare the fakes: %s\n", WideToUtf8(error).c_str());
        return 1;
    }
    std::printf("new mail -> sendMessage, check interval 10 s, %d mails each\n", kMails);
    const Latencies withEvents = Measure(true, outlook, telegram, dir.Path(), scenario);
    const Latencies polling = Measure(false, outlook, telegram, dir.Path(), scenario);
    Report("events on (checks as backstop)", withEvents);
    Report("checks only", polling);
    return outlook.Stop() && withEvents.Lost == 0 && polling.Lost == 0 ? 0 : 1;
}
