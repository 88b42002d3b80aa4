// The fake's automation objects: one hand-written IDispatch (no type library) plays every object
// of the model, answering from the current scenario.
#pragma once

#include <atomic>
#include <memory>

#include "fakes/outlook/Scenario.h"

namespace wrenpost::fake_outlook {

// Process-wide state; touched only on the server's one STA thread (the counter excepted).
struct ServerState {
    std::wstring ScenarioPath;
    std::shared_ptr<const Scenario> Current = std::make_shared<Scenario>();
    FILETIME LastWrite{};
    DWORD LastSize = 0;
    std::atomic<long> Calls{0};
    HANDLE Hanging = nullptr;
    HANDLE Release = nullptr;

    // Re-reads the scenario file when its time or size changed since the last look.
    void Refresh();
};

ServerState& State();

// The application object, with one reference owned by the caller.
IDispatch* CreateApplication();

}  // namespace wrenpost::fake_outlook
