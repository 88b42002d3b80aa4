// What the fake Outlook and the test harness agree on: its class id and the named events.
#pragma once

#include <windows.h>

namespace wrenpost::fake_outlook {

// Registered as Outlook.Application in the test prefix only.
inline constexpr CLSID kClassId = {
    0x6b0e3c1a, 0x2f4d, 0x4e8b, {0x9a, 0x61, 0x5c, 0x7d, 0x8e, 0x9f, 0x0a, 0x12}};
inline constexpr const wchar_t* kClassIdText = L"{6B0E3C1A-2F4D-4E8B-9A61-5C7D8E9F0A12}";

// Manual-reset events. Ready: the server is registered and answering. Quit: asks it to leave.
// Stopped: it has revoked its registrations. Hanging: a call is blocked on the hang member.
// Release: lets blocked calls go on.
inline constexpr const wchar_t* kReadyEvent = L"WrenpostFakeOutlook.Ready";
inline constexpr const wchar_t* kQuitEvent = L"WrenpostFakeOutlook.Quit";
inline constexpr const wchar_t* kStoppedEvent = L"WrenpostFakeOutlook.Stopped";
inline constexpr const wchar_t* kHangingEvent = L"WrenpostFakeOutlook.Hanging";
inline constexpr const wchar_t* kReleaseEvent = L"WrenpostFakeOutlook.Release";

}  // namespace wrenpost::fake_outlook
