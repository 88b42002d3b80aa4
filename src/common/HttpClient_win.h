// The one WinHTTP client of the program (Bot API and update check): a session per request, so
// no handle is shared between the threads that send; the system's default proxy; TLS checks as
// WinHTTP makes them (never relaxed); every time-out applied; the body read up to the request's
// cap, and the whole request within its deadline.
#pragma once

#include "common/Endpoint.h"
#include "common/HttpClient.h"

namespace wrenpost {

HttpResponse PerformHttpRequest(const Endpoint& endpoint, const wchar_t* userAgent,
                                const HttpRequest& request);

}  // namespace wrenpost
