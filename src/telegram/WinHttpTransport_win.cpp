#include "telegram/WinHttpTransport_win.h"

#include "common/HttpClient_win.h"
#include "common/Registry_win.h"

namespace wrenpost {

HttpTransport MakeWinHttpTransport(Endpoint endpoint) {
    return [endpoint = std::move(endpoint)](const HttpRequest& request) {
        return PerformHttpRequest(endpoint, kUserAgent, request);
    };
}

Endpoint TelegramApiEndpoint(const LogFunction& log) {
    return ConfiguredEndpoint(L"TelegramApiBaseUrl", kDefaultTelegramApiUrl, log);
}

HttpTransport TelegramTransport(const LogFunction& log) {
    return MakeWinHttpTransport(TelegramApiEndpoint(log));
}

}  // namespace wrenpost
