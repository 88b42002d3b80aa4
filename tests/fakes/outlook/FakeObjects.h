// The fake's automation objects: one hand-written IDispatch (no type library) plays every object
// of the model, answering from the current scenario. Its event sources are connection points
// whose sinks live in the server-wide registry (ServerState::Sinks), so a subscription outlives
// the object it came from.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "fakes/outlook/Scenario.h"
#include "outlook/OutlookBridge_win.h"
// The headers below need windows.h first.
#include <ocidl.h>
#include <olectl.h>

namespace wrenpost::fake_outlook {

// COM reference counting for the fake's objects, over every interface they implement: the
// last Release frees the object.
template <typename... Interfaces>
class Counted : public Interfaces... {
public:
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --refs_;
        if (left == 0) {
            delete this;  // COM reference counting owns the object
        }
        return left;
    }

protected:
    virtual ~Counted() = default;

private:
    std::atomic<ULONG> refs_{1};
};

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

// Outlook's own ids (ItemsEvents on Items, ApplicationEvents_11 on the application).
inline constexpr IID kItemsEvents = {0x00063077, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID kApplicationEvents = {0x0006302C, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr DISPID kItemAdd = 0xF001, kNewMailEx = 0xFAB5, kQuit = 0xF007;

// A connection point for `events` of `folder` (empty: the application), holding its container.
IConnectionPoint* CreateConnectionPoint(IConnectionPointContainer* container, const IID& events,
                                        std::wstring folder);

// Calls every sink advised for `events` of `folder` with at most one argument, from the server's
// thread; a sink whose client is gone is dropped, one that fails the call itself is kept.
void Notify(const IID& events, const std::wstring& folder, DISPID id, VARIANT* argument);

// Lets go of every sink (at shutdown).
void ReleaseSinks();

}  // namespace wrenpost::fake_outlook
