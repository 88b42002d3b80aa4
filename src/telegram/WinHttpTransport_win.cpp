#include "telegram/WinHttpTransport_win.h"

#include <windows.h>
#include <winhttp.h>

#include "common/Registry_win.h"
#include "common/UniqueHandle_win.h"

namespace wrenpost {
namespace {

// The failure texts key on WinHTTP numbers; some WinHTTP implementations (wine's) pass a
// socket time-out through as the Winsock number instead of ERROR_WINHTTP_TIMEOUT.
DWORD LastWinHttpError() {
    const DWORD code = GetLastError();
    return code == WSAETIMEDOUT ? ERROR_WINHTTP_TIMEOUT : code;
}

HttpResponse Failed(HttpStage stage) {
    HttpResponse response;
    response.failedStage = stage;
    response.errorCode = LastWinHttpError();
    return response;
}

}  // namespace

HttpResponse PerformWinHttpRequest(const Endpoint& endpoint, const HttpRequest& request) {
    UniqueInternet session(WinHttpOpen(kUserAgent, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                       WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session) {
        return Failed(HttpStage::Session);
    }
    if (request.shortTimeouts && !WinHttpSetTimeouts(session.get(), 5000, 5000, 5000, 10000)) {
        return Failed(HttpStage::Session);
    }
    UniqueInternet connection(
        WinHttpConnect(session.get(), endpoint.host.c_str(), endpoint.port, 0));
    if (!connection) {
        return Failed(HttpStage::Connect);
    }
    const std::wstring path = endpoint.basePath + request.path;
    UniqueInternet handle(WinHttpOpenRequest(
        connection.get(), request.method.c_str(), path.c_str(), nullptr, WINHTTP_NO_REFERER,
        WINHTTP_DEFAULT_ACCEPT_TYPES, endpoint.secure ? WINHTTP_FLAG_SECURE : 0));
    if (!handle) {
        return Failed(HttpStage::OpenRequest);
    }
    if (request.shortTimeouts) {
        // The response-head wait has an option of its own; without it some WinHTTP versions wait
        // far longer than the session's receive time-out.
        DWORD receive = 10000;
        if (!WinHttpSetOption(handle.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &receive,
                              sizeof(receive))) {
            return Failed(HttpStage::OpenRequest);
        }
    }
    std::wstring headers;
    if (!request.contentType.empty()) {
        headers = L"Content-Type: " + request.contentType + L"\r\n";
    }
    const auto bodyLength = static_cast<DWORD>(request.body.size());
    void* body = bodyLength != 0 ? const_cast<char*>(request.body.data()) : WINHTTP_NO_REQUEST_DATA;
    if (!WinHttpSendRequest(
            handle.get(), headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : headers.c_str(),
            headers.empty() ? 0 : static_cast<DWORD>(-1L), body, bodyLength, bodyLength, 0)) {
        return Failed(HttpStage::Send);
    }
    if (!WinHttpReceiveResponse(handle.get(), nullptr)) {
        return Failed(HttpStage::Receive);
    }
    HttpResponse response;
    DWORD status = 0;
    DWORD statusSize = sizeof(status);
    if (WinHttpQueryHeaders(handle.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                            WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusSize,
                            WINHTTP_NO_HEADER_INDEX)) {
        response.status = status;
    }
    while (true) {
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(handle.get(), &available)) {
            response.failedStage = HttpStage::Read;
            response.errorCode = LastWinHttpError();
            break;
        }
        if (available == 0) {
            break;
        }
        const std::size_t old = response.body.size();
        response.body.resize(old + available);
        DWORD read = 0;
        if (!WinHttpReadData(handle.get(), response.body.data() + old, available, &read)) {
            response.body.resize(old);
            response.failedStage = HttpStage::Read;
            response.errorCode = LastWinHttpError();
            break;
        }
        response.body.resize(old + read);
        if (read == 0) {
            break;
        }
    }
    return response;
}

HttpTransport MakeWinHttpTransport(Endpoint endpoint) {
    return [endpoint = std::move(endpoint)](const HttpRequest& request) {
        return PerformWinHttpRequest(endpoint, request);
    };
}

Endpoint TelegramApiEndpoint(const LogFunction& log) {
    return ConfiguredEndpoint(L"TelegramApiBaseUrl", kDefaultTelegramApiUrl, log);
}

HttpTransport TelegramTransport(const LogFunction& log) {
    return MakeWinHttpTransport(TelegramApiEndpoint(log));
}

}  // namespace wrenpost
