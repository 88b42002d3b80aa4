#include "app/EndpointNotices_win.h"

#include "common/Endpoint.h"
#include "telegram/WinHttpTransport_win.h"
#include "update/UpdateEndpoint.h"
#include "update/UpdateService_win.h"

namespace wrenpost {

void LogNonDefaultEndpoints(const LogFunction& log) {
    if (!log) {
        return;
    }
    const std::wstring botApiUrl = TelegramApiEndpoint(log).ToUrl();
    const std::wstring botApi =
        NonDefaultEndpointNotice(L"Telegram Bot API", botApiUrl, kDefaultTelegramApiUrl,
                                 L"HKCU\\Software\\Wrenpost\\TelegramApiBaseUrl");
    if (!botApi.empty()) {
        log(EndpointNoticeLevel(botApiUrl), botApi);
    }
    UpdateEndpoint update;
    std::wstring error;
    const std::wstring configured = UpdateServiceBaseUrl();
    if (ParseUpdateEndpoint(configured, update, error)) {
        const std::wstring notice = NonDefaultEndpointNotice(
            L"Update service", configured, WRENPOST_UPDATE_SERVICE_URL,
            std::wstring(L"HKCU\\Software\\Wrenpost\\") + kUpdateServiceBaseUrlValue);
        if (!notice.empty()) {
            log(EndpointNoticeLevel(configured), notice);
        }
    }
}

}  // namespace wrenpost
