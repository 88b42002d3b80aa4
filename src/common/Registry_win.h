// Per-user settings read from HKEY_CURRENT_USER\Software\Wrenpost.
#pragma once

#include <string>
#include <string_view>

#include "common/ActivityLog.h"
#include "common/Endpoint.h"

namespace wrenpost {

inline constexpr wchar_t kWrenpostSettingsKey[] = L"Software\\Wrenpost";

// A REG_SZ (or REG_EXPAND_SZ, unexpanded) value under HKCU\<subKey>; false when the key or the
// value is missing or of another type.
[[nodiscard]] bool ReadUserRegistryString(std::wstring_view subKey, std::wstring_view valueName,
                                          std::wstring& value);

// The service address named by `valueName` under HKCU\Software\Wrenpost, or `defaultUrl` when
// it is absent or refused; a refusal is logged at WARNING with its reason.
Endpoint ConfiguredEndpoint(std::wstring_view valueName, std::wstring_view defaultUrl,
                            const LogFunction& log);

}  // namespace wrenpost
