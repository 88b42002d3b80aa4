// The real HTTP transport: one WinHTTP session per request, so no handle is shared between the
// worker threads that send.
#pragma once

#include "common/ActivityLog.h"
#include "common/Endpoint.h"
#include "telegram/BotApiHttp.h"

namespace wrenpost {

inline constexpr wchar_t kUserAgent[] = L"Wrenpost/1.0";

HttpResponse PerformWinHttpRequest(const Endpoint& endpoint, const HttpRequest& request);

HttpTransport MakeWinHttpTransport(Endpoint endpoint);

// The Bot API address: HKCU\Software\Wrenpost\TelegramApiBaseUrl when acceptable, otherwise
// https://api.telegram.org (a refused override is logged with its reason).
Endpoint TelegramApiEndpoint(const LogFunction& log);
HttpTransport TelegramTransport(const LogFunction& log);

}  // namespace wrenpost
