// Monitor engine costs: one steady-state cycle over 50 folders x 5 items with a full seen memory,
// admission of known and of new messages, and writing a status file listing 1000 messages.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <memory>
#include <thread>

#include "monitor/MonitorAdmission.h"
#include "monitor/MonitorEngine.h"
#include "monitor/MonitorStatusFile.h"
#include "profile/ProfileConfig.h"
#include "support/TempDir.h"

namespace {

using namespace wrenpost;

// Real wall time; monotonic time advanced by the engine's own polling so a cycle never sleeps.
class PollingClock final : public Clock {
public:
    std::chrono::system_clock::time_point Now() const override {
        return std::chrono::system_clock::now();
    }
    std::chrono::steady_clock::time_point SteadyNow() const override {
        return std::chrono::steady_clock::time_point(
            std::chrono::steady_clock::duration(steady_.load()));
    }
    void SleepFor(std::chrono::milliseconds duration) const override {
        steady_ +=
            std::chrono::duration_cast<std::chrono::steady_clock::duration>(duration).count();
        std::this_thread::yield();
    }

private:
    mutable std::atomic<std::chrono::steady_clock::rep> steady_{0};
};

class NullProvider final : public NotificationProvider {
public:
    using NotificationProvider::Send;
    SendResult Send(const std::wstring&, const std::wstring&, const SendOptions&) override {
        return {true, {}, 200, 0};
    }
    std::wstring Name() const override { return L"Null"; }
};

MailSnapshot Snapshot(int folder, int item, std::int64_t delivery) {
    MailSnapshot message;
    message.FolderPath = L"\\\\Mailbox\\Inbox\\Folder " + std::to_wstring(folder);
    message.Subject = L"Weekly report number " + std::to_wstring(item) + L" for the project team";
    message.SenderName = L"Someone Reasonably Named";
    message.ReceivedTime = L"2026-01-01 09:00:00";
    message.EntryId =
        L"00000000A1B2C3D4E5F60718293A4B5C6D7E8F90" + std::to_wstring(folder * 1000 + item);
    message.StoreId = L"0000000038A1BB1005E5101AA1BB08002B2A56C20000454D534D44422E444C4C";
    message.InternetMessageId =
        L"<" + std::to_wstring(folder) + L"." + std::to_wstring(item) + L"@mail.example.com>";
    message.DeliveryTimeUtc = delivery;
    message.DeliveryTimeKnown = true;
    return message;
}

void BM_SteadyCycle50Folders(benchmark::State& state) {
    testing::TempDir dir;
    ProfileConfig config;
    config.ProfileName = L"Bench";
    for (int f = 0; f < 50; ++f) {
        SelectedFolder folder;
        folder.FolderPath = L"\\\\Mailbox\\Inbox\\Folder " + std::to_wstring(f);
        folder.EntryId = L"E" + std::to_wstring(f);
        folder.StoreId = L"S";
        config.SelectedFolders.push_back(folder);
    }
    RecipientEntry recipient;
    recipient.ChatId = L"100";
    config.Recipients.push_back(recipient);
    ProfileConfigStore store;
    if (!store.WriteProfileConfig(dir.Path() / L"BenchConfig.json", config)) {
        state.SkipWithError("cannot write the profile");
        return;
    }

    const std::int64_t future =
        ToTicksSince1970(std::chrono::system_clock::now()) + std::int64_t{3600} * 10000000;
    // First cycle: 1000 new messages fill the memory; later cycles: 250 of them, all known.
    auto first = std::make_shared<std::vector<MailSnapshot>>();
    for (int i = 0; i < 1000; ++i) {
        first->push_back(Snapshot(i % 50, i / 50, future));
    }
    auto steady = std::make_shared<std::vector<MailSnapshot>>();
    for (int f = 0; f < 50; ++f) {
        for (int i = 15; i < 20; ++i) {
            steady->push_back(Snapshot(f, i, future));
        }
    }
    auto calls = std::make_shared<std::atomic<int>>(0);
    PollingClock clock;
    MonitorDependencies deps;
    deps.ReadFolders = [first, steady, calls](const MailReadRequest&) {
        return MailReadResult{true, calls->fetch_add(1) == 0 ? *first : *steady, {}};
    };
    deps.MakeProvider = [](const std::wstring&, const std::wstring&) {
        return std::make_unique<NullProvider>();
    };
    deps.TimeSource = &clock;
    deps.KeepAwake = [](bool) {};
    deps.RunWorker = false;
    MonitorEngine engine(std::move(deps));
    MonitorSession session;
    session.ProfileName = L"Bench";
    session.ProfileFolder = dir.Path();
    session.BotToken = L"token";
    session.CheckIntervalSeconds = 600;
    if (!engine.Start(std::move(session)) || engine.RunCycle() != MonitorCycleResult::Completed) {
        state.SkipWithError("first cycle failed");
        return;
    }
    for (auto _ : state) {
        if (engine.RunCycle() != MonitorCycleResult::Completed) {
            state.SkipWithError("cycle failed");
            break;
        }
    }
    engine.Stop();
    state.SetItemsProcessed(state.iterations() * 250);
}
BENCHMARK(BM_SteadyCycle50Folders)->Unit(benchmark::kMillisecond);

void BM_AdmitKnownMessage(benchmark::State& state) {
    MessageAdmission admission;
    admission.Reset(0, false);
    std::vector<MailSnapshot> messages;
    for (int i = 0; i < 1000; ++i) {
        messages.push_back(Snapshot(i % 50, i / 50, 1));
        admission.Remember(messages.back());
    }
    std::size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(admission.Admit(messages[next], nullptr));
        next = (next + 1) % messages.size();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AdmitKnownMessage);

// A new message remembered into a full memory: append, evict the oldest, rebuild the key set.
void BM_AdmitAndRememberNewMessageAtCapacity(benchmark::State& state) {
    MessageAdmission admission;
    admission.Reset(0, false);
    for (int i = 0; i < 1000; ++i) {
        admission.Remember(Snapshot(0, i, 1));
    }
    int item = 1000;
    std::vector<MailSnapshot> fresh;
    for (int i = 0; i < 4096; ++i) {
        fresh.push_back(Snapshot(1, i, 1));
    }
    for (auto _ : state) {
        const MailSnapshot& message = fresh[item++ % fresh.size()];
        if (admission.Admit(message, nullptr)) {
            admission.Remember(message);
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AdmitAndRememberNewMessageAtCapacity);

void BM_WriteStatusFile1000(benchmark::State& state) {
    testing::TempDir dir;
    std::deque<MailSnapshot> seen;
    for (int i = 0; i < 1000; ++i) {
        seen.push_back(Snapshot(i % 50, i, 1));
    }
    const MonitorStatusReport report{.ProfileName = L"Bench",
                                     .Status = L"Running",
                                     .LastCheck = L"2026-01-01 09:00:00",
                                     .MessagesSent = 1000,
                                     .SeenMessages = &seen};
    const auto path = dir.Path() / L"BenchMonitor.json";
    for (auto _ : state) {
        benchmark::DoNotOptimize(WriteMonitorStatusFile(path, report));
    }
    state.SetBytesProcessed(state.iterations() *
                            static_cast<std::int64_t>(FormatMonitorStatus(report).size()));
}
BENCHMARK(BM_WriteStatusFile1000)->Unit(benchmark::kMicrosecond);

void BM_FormatStatusText1000(benchmark::State& state) {
    std::deque<MailSnapshot> seen;
    for (int i = 0; i < 1000; ++i) {
        seen.push_back(Snapshot(i % 50, i, 1));
    }
    const MonitorStatusReport report{.ProfileName = L"Bench",
                                     .Status = L"Running",
                                     .LastCheck = L"2026-01-01 09:00:00",
                                     .MessagesSent = 1000,
                                     .SeenMessages = &seen};
    for (auto _ : state) {
        benchmark::DoNotOptimize(FormatMonitorStatus(report));
    }
}
BENCHMARK(BM_FormatStatusText1000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
