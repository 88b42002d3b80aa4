#include "common/HttpClient_win.h"

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <limits>

#include "common/HttpDeadline_win.h"
#include "common/Text.h"
#include "common/UniqueHandle_win.h"

namespace wrenpost {
namespace {

// Callers key on WinHTTP numbers; some WinHTTP implementations (wine's) pass a socket time-out
// through as the Winsock number instead of ERROR_WINHTTP_TIMEOUT.
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

// Where closing the handle does not end a pending call (wine), each wait must still end soon
// after the deadline: every time-out is kept at most a little above it.
constexpr int kDeadlineGraceMs = 500;

HttpTimeouts WithinDeadline(HttpTimeouts timeouts, std::chrono::milliseconds deadline) {
    if (deadline.count() <= 0) {
        return timeouts;
    }
    const int cap = static_cast<int>(std::min<std::int64_t>(deadline.count() + kDeadlineGraceMs,
                                                            std::numeric_limits<int>::max()));
    for (int* value : {&timeouts.resolve, &timeouts.connect, &timeouts.send, &timeouts.receive,
                       &timeouts.responseHead}) {
        if (*value == -1 || *value == 0) {
            *value = cap;  // unbounded
        } else if (*value > cap) {
            *value = cap;
        }  // below -1 stays invalid and fails the request
    }
    return timeouts;
}

// A closed handle may not be used again: its number can already belong to another request.
bool StopIfClosed(RequestGuard& guard, HttpStage stage, HttpResponse& response) {
    if (!guard.Closed()) {
        return false;
    }
    response.failedStage = stage;
    response.errorCode = ERROR_WINHTTP_OPERATION_CANCELLED;
    return true;
}

// The wait for the response head has an option of its own on the request. -1 means no limit,
// as for the other four; WinHTTP would take any other negative value as a huge one, so refuse
// it the way WinHttpSetTimeouts does.
bool ApplyResponseHeadTimeout(HINTERNET request, int milliseconds) {
    if (milliseconds < -1) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    DWORD value = static_cast<DWORD>(milliseconds);
    return WinHttpSetOption(request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &value,
                            sizeof(value)) != FALSE;
}

std::string ContentType(HINTERNET request) {
    wchar_t buffer[512] = {};
    DWORD size = sizeof(buffer);
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_TYPE, WINHTTP_HEADER_NAME_BY_INDEX,
                             buffer, &size, WINHTTP_NO_HEADER_INDEX)) {
        return {};  // absent, or too long to be a media type worth reading
    }
    return WideToUtf8(std::wstring_view(buffer, size / sizeof(wchar_t)));
}

bool AnnouncedLengthExceeds(HINTERNET request, std::size_t cap) {
    wchar_t buffer[32] = {};
    DWORD size = sizeof(buffer);
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX,
                             buffer, &size, WINHTTP_NO_HEADER_INDEX)) {
        return false;  // unannounced: the read loop enforces the cap
    }
    std::uint64_t length = 0;
    for (const wchar_t* c = buffer; *c >= L'0' && *c <= L'9'; ++c) {
        if (length > cap) {
            return true;
        }
        length = length * 10 + static_cast<std::uint64_t>(*c - L'0');
    }
    return length > cap;
}

// Reads the body in announced chunks. A body over the cap is dropped whole: a truncated answer
// must never be parsed as if it were complete.
void ReadBody(RequestGuard& guard, std::size_t cap, HttpResponse& response) {
    HINTERNET request = guard.Handle();
    if (AnnouncedLengthExceeds(request, cap)) {
        response.failedStage = HttpStage::TooLarge;
        return;
    }
    while (!StopIfClosed(guard, HttpStage::Read, response)) {
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(request, &available)) {
            response.failedStage = HttpStage::Read;
            response.errorCode = LastWinHttpError();
            return;
        }
        if (available == 0) {
            return;
        }
        const std::size_t old = response.body.size();
        if (available > cap - old) {
            response.body.clear();
            response.failedStage = HttpStage::TooLarge;
            return;
        }
        response.body.resize(old + available);
        DWORD read = 0;
        if (!WinHttpReadData(request, response.body.data() + old, available, &read)) {
            response.body.resize(old);
            response.failedStage = HttpStage::Read;
            response.errorCode = LastWinHttpError();
            return;
        }
        response.body.resize(old + read);
        if (read == 0) {
            return;
        }
    }
}

// Sends the request on its opened handle and reads the answer.
HttpResponse Exchange(RequestGuard& guard, const HttpRequest& request) {
    HINTERNET handle = guard.Handle();
    std::wstring headers;
    if (!request.contentType.empty()) {
        headers = L"Content-Type: " + request.contentType + L"\r\n";
    }
    const auto bodyLength = static_cast<DWORD>(request.body.size());
    void* body = bodyLength != 0 ? const_cast<char*>(request.body.data()) : WINHTTP_NO_REQUEST_DATA;
    if (!WinHttpSendRequest(
            handle, headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : headers.c_str(),
            headers.empty() ? 0 : static_cast<DWORD>(-1L), body, bodyLength, bodyLength, 0)) {
        return Failed(HttpStage::Send);
    }
    HttpResponse response;
    if (StopIfClosed(guard, HttpStage::Receive, response)) {
        return response;
    }
    if (!WinHttpReceiveResponse(handle, nullptr)) {
        return Failed(HttpStage::Receive);
    }
    DWORD status = 0;
    DWORD statusSize = sizeof(status);
    if (WinHttpQueryHeaders(handle, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                            WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusSize,
                            WINHTTP_NO_HEADER_INDEX)) {
        response.status = status;
    }
    response.contentType = ContentType(handle);
    ReadBody(guard, request.maxBodyBytes, response);
    return response;
}

}  // namespace

HttpResponse PerformHttpRequest(const Endpoint& endpoint, const wchar_t* userAgent,
                                const HttpRequest& request) {
    UniqueInternet session(WinHttpOpen(userAgent, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                       WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    // A request takes the session's time-outs when it is opened, so they are set first.
    const HttpTimeouts timeouts = WithinDeadline(request.timeouts, request.deadline);
    if (!session || !WinHttpSetTimeouts(session.get(), timeouts.resolve, timeouts.connect,
                                        timeouts.send, timeouts.receive)) {
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
    // A redirect is answered as it stands (its 3xx status): following it could carry the token
    // in the path to another server.
    DWORD never = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
    if (!ApplyResponseHeadTimeout(handle.get(), timeouts.responseHead) ||
        !WinHttpSetOption(handle.get(), WINHTTP_OPTION_REDIRECT_POLICY, &never, sizeof(never))) {
        return Failed(HttpStage::Session);
    }
    RequestGuard guard(handle.release(), request.deadline, request.cancellation.get());
    if (!guard.Ready()) {
        return Failed(HttpStage::Send);
    }
    HttpResponse response = Exchange(guard, request);
    // A failure the closed handle caused is the deadline's; a verdict (too large) stands.
    const bool cutShort = response.failedStage == HttpStage::Send ||
                          response.failedStage == HttpStage::Receive ||
                          response.failedStage == HttpStage::Read;
    if (cutShort && guard.Expired()) {
        response.failedStage = HttpStage::Deadline;
        response.deadline = request.deadline;
    }
    return response;
}

}  // namespace wrenpost
