// Outlook access through the fake Outlook under wine: folder discovery over 1,000 folders and one
// monitor cycle's read of 50 folders x 5 items (plus a backlog scan), with the number of
// cross-process calls (GetIDsOfNames and Invoke as counted by the fake) and the time per call.
// Run: scripts/wine-run build/windows/bench/outlook_win.exe
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <limits>
#include <thread>

#include "common/Text.h"
#include "outlook/FolderDiscovery_win.h"
#include "outlook/MailReader.h"
#include "outlook/OutlookBridge_win.h"
#include "support/FakeOutlook_win.h"
#include "OutlookCalls_win.h"

using namespace wrenpost;
using testing::ScenarioLine;
using namespace wrenpost::bench;

namespace {

std::wstring Stamp(int n) {
    wchar_t text[32];
    std::swprintf(text, 32, L"2026-03-%02d %02d:%02d:00", 1 + n / 1440, (n / 60) % 24, n % 60);
    return text;
}

// 1,000 folders, 50 of them watched with 8 items each, and a folder of 500 read items.
std::wstring BenchScenario(std::vector<SelectedFolder>& watched) {
    std::wstring scenario = ScenarioLine({L"store", L"id=S1", L"name=bench@example.com"});
    int folders = 1;  // the store root
    for (int top = 0; top < 20; ++top) {
        const std::wstring parent = L"Folder " + std::to_wstring(top);
        scenario += ScenarioLine(
            {L"folder", L"store=S1", L"path=" + parent, L"id=T" + std::to_wstring(top)});
        ++folders;
        for (int sub = 0; sub < 49 && folders < 1000; ++sub, ++folders) {
            const std::wstring id = L"F" + std::to_wstring(top) + L"_" + std::to_wstring(sub);
            scenario +=
                ScenarioLine({L"folder", L"store=S1",
                              L"path=" + parent + L"\\Sub " + std::to_wstring(sub), L"id=" + id});
            if (watched.size() < 50 && sub < 3) {
                SelectedFolder folder;
                folder.EntryId = id;
                folder.StoreId = L"S1";
                watched.push_back(folder);
                for (int i = 0; i < 8; ++i) {
                    scenario += ScenarioLine(
                        {L"item", L"folder=" + id, L"id=" + id + L"#" + std::to_wstring(i),
                         L"subject=Message " + std::to_wstring(i), L"sender=Sender",
                         L"received=" + Stamp(i), L"delivery=" + Stamp(i), L"msgid=<m@x>",
                         L"unread=0"});
                }
            }
        }
    }
    // One folder of 500 read items for the backlog scan.
    scenario += ScenarioLine({L"folder", L"store=S1", L"path=Backlog", L"id=B"});
    for (int i = 0; i < 500; ++i) {
        scenario += ScenarioLine(
            {L"item", L"folder=B", L"subject=Old", L"received=" + Stamp(i), L"unread=0"});
    }
    return scenario;
}

// One monitor cycle's read of the watched folders without and with the DISPID cache, and a
// backlog scan; false when a read failed.
bool MeasureReads(const std::vector<SelectedFolder>& watched, long overhead) {
    // Every item is older than the end: the walk takes the newest five and reads the header of
    // the one that ends it.
    MailReadRequest request;
    for (const SelectedFolder& folder : watched) {
        FolderWalkPlan plan;
        plan.Folder = folder;
        plan.EndBeforeTicks = std::numeric_limits<std::int64_t>::max();
        request.Folders.push_back(plan);
    }
    MailReadResult mail;
    bool read = false;
    UseDispidCache(false);
    const Measure uncached = Run(
        [&] {
            mail = ReadWatchedFolders(request);
            read = mail.Ok;
        },
        overhead);
    Report("one cycle, no DISPID cache", uncached, mail.Messages.size(), "item");
    UseDispidCache(true);
    const Measure cycle = Run(
        [&] {
            mail = ReadWatchedFolders(request);
            read = read && mail.Ok;
        },
        overhead);
    std::printf("read %zu snapshots from %zu folders (%s)\n", mail.Messages.size(), watched.size(),
                read ? "ok" : "FAILED");
    Report("one cycle, 50 folders x 5 items", cycle, mail.Messages.size(), "item");
    std::printf("calls per cycle: %ld without the DISPID cache, %ld with it (%.0f%%)\n",
                uncached.Calls, cycle.Calls,
                uncached.Calls > 0 ? 100.0 * cycle.Calls / uncached.Calls : 0.0);

    MailReadRequest backlogRequest;
    backlogRequest.Folders.resize(1);
    backlogRequest.Folders[0].Folder.EntryId = L"B";
    backlogRequest.Folders[0].Folder.StoreId = L"S1";
    backlogRequest.IncludeOld = true;
    const Measure backlog = Run([&] { mail = ReadWatchedFolders(backlogRequest); }, overhead);
    Report("backlog scan, 500 read items", backlog, 500, "item");
    return read;
}

}  // namespace

int main() {
    testing::FakeOutlook fake;
    std::vector<SelectedFolder> watched;
    const std::wstring scenario = BenchScenario(watched);
    std::wstring error;
    if (!fake.WriteScenario(scenario) || !fake.Register(error)) {
        std::printf("cannot prepare the fake: %s\n", WideToUtf8(error).c_str());
        return 1;
    }
    const auto launch = std::chrono::steady_clock::now();
    if (!fake.Start(error)) {
        std::printf("cannot start the fake: %s\n", WideToUtf8(error).c_str());
        return 1;
    }
    std::printf("fake started by the harness in %.3f s\n",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - launch).count());

    // What one count costs (its own connection and CallCount read).
    const long a = FakeCallCount();
    const long b = FakeCallCount();
    const long overhead = b - a;

    std::vector<SelectedFolder> found;
    bool discovered = false;
    const Measure discovery = Run([&] { discovered = DiscoverFolders(found); }, overhead);
    std::printf("discovery found %zu folders (%s)\n", found.size(), discovered ? "ok" : "FAILED");
    Report("discovery, 1,000 folders", discovery, found.size() + 1, "folder");

    const bool read = MeasureReads(watched, overhead);

    if (!fake.Stop()) {
        std::printf("the fake did not stop\n");
        return 1;
    }
    return discovered && read ? 0 : 1;
}
