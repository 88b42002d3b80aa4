// The Bot API transport: the program's WinHTTP client with the Telegram user agent, pointed at
// the configured Bot API address.
#pragma once

#include "common/ActivityLog.h"
#include "common/Endpoint.h"
#include "common/HttpClient.h"

namespace wrenpost {

inline constexpr wchar_t kUserAgent[] = L"Wrenpost/1.0";

HttpTransport MakeWinHttpTransport(Endpoint endpoint);

// The Bot API address: HKCU\Software\Wrenpost\TelegramApiBaseUrl when acceptable, otherwise
// https://api.telegram.org (a refused override is logged with its reason).
Endpoint TelegramApiEndpoint(const LogFunction& log);
HttpTransport TelegramTransport(const LogFunction& log);

}  // namespace wrenpost
