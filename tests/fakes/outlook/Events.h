// Outlook's event interfaces as the fake serves them: connection points whose sinks live in the
// server-wide registry (ServerState::Sinks), so a subscription outlives the object it came from.
#pragma once

#include <windows.h>
// The headers below need windows.h first.
#include <ocidl.h>
#include <olectl.h>

#include <string>

namespace wrenpost::fake_outlook {

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
