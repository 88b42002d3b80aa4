// What finding everything new and keeping it in the outbox costs, under wine with the fake
// Outlook: a quiet cycle on a 10,000-item folder (against reading the newest five in full, as
// the reader did before the walk), a 200-mail burst across four folders read and queued, the
// bytes written and time per delivered notification with 10 and with 1,000 waiting, and the
// drain rate against the pacing limits.
// Run: scripts/wine-run build/windows/bench/never_miss_win.exe
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <limits>

#include "OutlookCalls_win.h"
#include "common/Text.h"
#include "common/TextFile.h"
#include "monitor/MonitorEngine.h"
#include "outlook/MailReader.h"
#include "support/FakeOutlook_win.h"
#include "support/TempDir.h"

using namespace wrenpost;
using namespace wrenpost::bench;
using testing::ScenarioLine;

namespace {

constexpr std::int64_t kTicksPerSecond = 10000000;
constexpr std::int64_t kBaseTicks = 17672256000000000;  // 2026-01-01 00:00:00 UTC

// Minute `n` after the base, as the fake's date text (UTC).
std::wstring Stamp(int n) {
    wchar_t text[32];
    std::swprintf(text, 32, L"2026-01-%02d %02d:%02d:00", 1 + n / 1440, (n / 60) % 24, n % 60);
    return text;
}

std::wstring Item(const std::wstring& folder, int n, int minute) {
    const std::wstring id = folder + L"-" + std::to_wstring(n);
    return ScenarioLine({L"item", L"folder=" + folder, L"id=" + id, L"subject=Mail " + id,
                         L"sender=Sender", L"received=" + Stamp(minute),
                         L"delivery=" + Stamp(minute), L"msgid=<" + id + L"@x>"});
}

FolderWalkPlan Plan(const std::wstring& id, std::int64_t endBefore) {
    FolderWalkPlan plan;
    plan.Folder.EntryId = id;
    plan.Folder.StoreId = L"S1";
    plan.Folder.FolderPath = L"\\\\bench\\" + id;
    plan.EndBeforeTicks = endBefore;
    return plan;
}

// Quiet cycle: the big folder's newest items are all handled; then the old reader's work.
void MeasureQuietCycle(long overhead) {
    const int newest = 9999;  // minutes after the base of the newest item
    auto handled = std::make_shared<PassOverKeys>();
    for (int n = 0; n < 5; ++n) {
        handled->insert(PassOverKey(L"S1", L"BIG-" + std::to_wstring(newest - n)));
    }
    MailReadRequest quiet;
    quiet.Handled = handled;
    quiet.Folders = {Plan(L"BIG", kBaseTicks + (newest * 60LL - 60) * kTicksPerSecond)};
    MailReadResult found;
    const Measure walk = Run([&] { found = ReadWatchedFolders(quiet); }, overhead);
    std::printf("quiet cycle found %zu new (%s)\n", found.Messages.size(),
                found.Ok ? "ok" : "FAILED");
    Report("quiet cycle, 10,000 items (walk)", walk, 1, "cycle");

    MailReadRequest fiveInFull;  // nothing handled, nothing older than the end: five snapshots
    fiveInFull.Folders = {Plan(L"BIG", std::numeric_limits<std::int64_t>::max())};
    const Measure five = Run([&] { found = ReadWatchedFolders(fiveInFull); }, overhead);
    Report("newest five read in full (before the walk)", five, 1, "cycle");
}

void MeasureBurst(long overhead) {
    MailReadRequest burst;
    for (const wchar_t* id : {L"B0", L"B1", L"B2", L"B3"}) {
        burst.Folders.push_back(Plan(id, kBaseTicks));
    }
    MailReadResult found;
    const Measure read = Run([&] { found = ReadWatchedFolders(burst); }, overhead);
    Report("burst of 200 in four folders, read", read, found.Messages.size(), "mail");

    testing::TempDir dir;
    Outbox outbox;
    outbox.Open(dir / L"WorkOutbox", {});
    const auto start = std::chrono::steady_clock::now();
    for (const MailSnapshot& mail : found.Messages) {
        OutboxRecord record;
        record.Subject = mail.Subject;
        record.FolderPath = mail.FolderPath;
        record.Body = mail.Subject;
        record.Title = L"New Outlook Mail";
        record.Recipients = {{L"4242", RecipientState::Pending, 0, {}}};
        (void)outbox.Add(std::move(record));
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%-44s %8.3f s  %zu queued, %llu bytes\n", "burst of 200, queued in the outbox",
                seconds, outbox.Count(), static_cast<unsigned long long>(outbox.Bytes()));
}

OutboxRecord TwoRecipients(int n) {
    OutboxRecord record;
    record.MessageKey = L"imid||<bench" + std::to_wstring(n) + L"@x>";
    record.Subject = L"Quarterly numbers for the board, part " + std::to_wstring(n);
    record.SenderName = L"Dana Example";
    record.FolderPath = L"\\\\bench@example.com\\Inbox";
    record.Title = L"New Outlook Mail";
    record.Body = record.Subject;
    record.Recipients = {{L"4242", RecipientState::Pending, 0, {}},
                         {L"-100200", RecipientState::Pending, 0, {}}};
    return record;
}

// Per delivered notification: queued, one recipient's answer, the other's (settled: removed).
void MeasureOutbox(std::size_t waiting) {
    testing::TempDir dir;
    Outbox outbox;
    outbox.Open(dir / L"WorkOutbox", {});
    for (std::size_t n = 0; n < waiting; ++n) {
        (void)outbox.Add(TwoRecipients(static_cast<int>(n)));
    }
    constexpr int kRounds = 50;
    std::uint64_t written = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int n = 0; n < kRounds; ++n) {
        OutboxRecord record = TwoRecipients(100000 + n);
        written += EncodeTextFile(FormatOutboxRecord(record)).size();
        (void)outbox.Add(record);
        record = outbox.Waiting().rbegin()->second;
        record.Recipients[0].State = RecipientState::Delivered;
        written += EncodeTextFile(FormatOutboxRecord(record)).size();
        (void)outbox.Update(record);
        record.Recipients[1].State = RecipientState::Delivered;
        (void)outbox.Update(record);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf(
        "per delivered notification, %4zu waiting:     %7.2f ms  %5llu bytes written "
        "(two recipients, flushed)\n",
        waiting, 1000.0 * seconds / kRounds, static_cast<unsigned long long>(written / kRounds));
}

// A clock whose sleeps move it (and yield briefly, so a reading thread can finish).
struct SteppedClock final : Clock {
    std::chrono::system_clock::time_point Now() const override {
        return std::chrono::system_clock::time_point(std::chrono::seconds(1767225600)) + offset;
    }
    std::chrono::steady_clock::time_point SteadyNow() const override {
        return std::chrono::steady_clock::time_point() + offset;
    }
    void SleepFor(std::chrono::milliseconds span) const override {
        offset += span;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    mutable std::chrono::milliseconds offset{0};
};

struct CountingProvider final : NotificationProvider {
    explicit CountingProvider(std::atomic<int>& sent) : sent_(sent) {}
    using NotificationProvider::Send;
    SendResult Send(const std::wstring&, const std::wstring&, const SendOptions&) override {
        ++sent_;
        return {true, L""};
    }
    std::wstring Name() const override { return L"bench"; }
    std::atomic<int>& sent_;
};

// 60 mails to two people and a group, paced at the real limits on a clock of its own.
void MeasureDrain() {
    testing::TempDir dir;
    ProfileConfig profile;
    profile.SelectedFolders = {{L"Inbox", L"\\\\b\\Inbox", L"F", L"S", L"", L"", 0}};
    profile.Recipients = {{L"1", L"", true, L"", L"Never"},
                          {L"2", L"", true, L"", L"Never"},
                          {L"-3", L"", true, L"", L"Never"}};
    (void)SaveProfileConfig(dir / L"WorkConfig.json", profile);
    SteppedClock clock;
    std::vector<MailSnapshot> mails;
    for (int n = 0; n < 60; ++n) {
        MailSnapshot mail;
        mail.FolderPath = L"\\\\b\\Inbox";
        mail.Subject = L"Mail " + std::to_wstring(n);
        mail.EntryId = L"E" + std::to_wstring(n);
        mail.StoreId = L"S";
        mail.DeliveryTimeKnown = true;
        mail.DeliveryTimeUtc = (1767225600LL + 60 + n) * kTicksPerSecond;
        mails.push_back(mail);
    }
    std::atomic<int> sent{0};
    MonitorDependencies deps;
    deps.ReadFolders = [mails](const MailReadRequest&) { return MailReadResult{true, mails, {}}; };
    deps.MakeProvider = [&sent](const std::wstring&, const std::wstring&) {
        return std::make_unique<CountingProvider>(sent);
    };
    deps.TimeSource = &clock;
    deps.KeepAwake = [](bool) {};
    deps.RunWorker = false;
    MonitorEngine engine(std::move(deps));
    MonitorSession session;
    session.ProfileName = L"Work";
    session.ProfileFolder = dir.Path();
    session.BotToken = L"token";
    const auto real = std::chrono::steady_clock::now();
    if (!engine.Start(std::move(session)) || engine.RunCycle() != MonitorCycleResult::Completed) {
        std::printf("drain: the cycle failed\n");
        return;
    }
    const auto began = clock.offset;
    while (sent.load() < 180 && clock.offset - began < std::chrono::minutes(10)) {
        clock.offset += std::chrono::milliseconds(10);
        engine.SendDue();
    }
    engine.Stop();
    const double simulated = std::chrono::duration<double>(clock.offset - began).count();
    std::printf(
        "drain of 60 to two people and a group: %d sends in %.1f simulated s "
        "(limits: 1/s a chat, 20/min a group); %.2f ms real per send\n",
        sent.load(), simulated,
        1000.0 * std::chrono::duration<double>(std::chrono::steady_clock::now() - real).count() /
            std::max(1, sent.load()));
}

}  // namespace

int main() {
    std::wstring scenario = ScenarioLine({L"store", L"id=S1", L"name=bench"}) +
                            ScenarioLine({L"folder", L"store=S1", L"path=Big", L"id=BIG"});
    for (int n = 0; n < 10000; ++n) {
        scenario += Item(L"BIG", n, n);
    }
    for (int f = 0; f < 4; ++f) {
        const std::wstring id = L"B" + std::to_wstring(f);
        scenario += ScenarioLine({L"folder", L"store=S1", L"path=" + id, L"id=" + id});
        for (int n = 0; n < 50; ++n) {
            scenario += Item(id, n, 20000 + n);
        }
    }
    testing::FakeOutlook fake;
    std::wstring error;
    if (!fake.WriteScenario(scenario) || !fake.Register(error) || !fake.Start(error)) {
        std::printf("cannot start the fake: %s\n", WideToUtf8(error).c_str());
        return 1;
    }
    const long a = FakeCallCount();
    const long overhead = FakeCallCount() - a;
    MeasureQuietCycle(overhead);
    MeasureBurst(overhead);
    MeasureOutbox(10);
    MeasureOutbox(1000);
    MeasureDrain();
    return fake.Stop() ? 0 : 1;
}
