// The fake's automation objects: one hand-written IDispatch (no type library) plays every object
// of the model, answering from the current scenario.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "fakes/outlook/Scenario.h"
#include "outlook/OutlookBridge_win.h"

namespace wrenpost::fake_outlook {

// A sink advised on a connection point: for `Events` of `Folder` (empty for the application).
struct Subscription {
    DWORD Cookie = 0;
    IID Events{};
    std::wstring Folder;
    DispatchPtr Sink;
};

// Process-wide state; touched only on the server's one STA thread (the counter excepted).
struct ServerState {
    std::wstring ScenarioPath;
    std::shared_ptr<const Scenario> Current = std::make_shared<Scenario>();
    FILETIME LastWrite{};
    DWORD LastSize = 0;
    std::atomic<long> Calls{0};
    HANDLE Hanging = nullptr;
    HANDLE Release = nullptr;
    std::vector<Subscription> Sinks;
    DWORD LastCookie = 0;
    std::shared_ptr<const Scenario> Announced = Current;  // whose items the sinks have been told

    // Re-reads the scenario file when its time or size changed since the last look.
    void Refresh();
    // Blocks while the scenario makes `member` (lower case) hang, until Release or two minutes.
    void HangIfAsked(const std::wstring& member) const;
};

ServerState& State();

// The application object, with one reference owned by the caller.
IDispatch* CreateApplication();

// Tells the sinks about items (with an id) new since the last announcement: ItemAdd to each
// item's folder, then one NewMailEx with all ids to the application. Without sinks it only
// moves the baseline, so a subscriber hears of what arrives after it subscribed.
void AnnounceNewItems();

}  // namespace wrenpost::fake_outlook
