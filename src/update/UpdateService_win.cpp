// WinHTTP fetch of the update manifest, the registry override of the service address, and the
// program's version resource.
#include "update/UpdateService_win.h"

#include <windows.h>
#include <winhttp.h>

#include <vector>

#include "common/Text.h"
#include "common/UniqueHandle_win.h"

namespace wrenpost {
namespace {

constexpr wchar_t kUserAgent[] = L"Wrenpost-UpdateChecker/1.0";
constexpr int kTimeoutMs = 5000;
constexpr DWORD kMaxRegistryUrlBytes = 4096;

std::string LowerAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

std::wstring ReadRegistryOverride() {
    UniqueRegKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kWrenpostRegistryKey, 0, KEY_QUERY_VALUE, key.put()) !=
        ERROR_SUCCESS) {
        return L"";
    }
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key.get(), kUpdateServiceBaseUrlValue, nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ || size == 0 || size > kMaxRegistryUrlBytes) {
        return L"";
    }
    std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
    DWORD read = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    if (RegQueryValueExW(key.get(), kUpdateServiceBaseUrlValue, nullptr, &type,
                         reinterpret_cast<BYTE*>(value.data()), &read) != ERROR_SUCCESS ||
        type != REG_SZ) {
        return L"";
    }
    // The stored data may or may not carry its terminating NUL.
    value.resize(wcsnlen(value.c_str(), read / sizeof(wchar_t)));
    return TrimWhitespace(value);
}

std::wstring BareHost(const std::wstring& host) {
    if (host.size() >= 2 && host.front() == L'[' && host.back() == L']') {
        return host.substr(1, host.size() - 2);
    }
    return host;
}

// After the response head: the body in announced chunks; empty when it would exceed the cap or
// when the connection breaks midway (a truncated manifest is never used).
std::string ReadBody(HINTERNET request) {
    std::string body;
    while (true) {
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(request, &available)) {
            return {};
        }
        if (available == 0) {
            return body;
        }
        if (available > kMaxManifestBytes - body.size()) {
            return {};
        }
        const std::size_t offset = body.size();
        body.resize(offset + available);
        DWORD read = 0;
        if (!WinHttpReadData(request, body.data() + offset, available, &read)) {
            return {};
        }
        body.resize(offset + read);
        if (read == 0) {
            return body;
        }
    }
}

}  // namespace

std::wstring UpdateServiceBaseUrl() {
    std::wstring override = ReadRegistryOverride();
    return override.empty() ? std::wstring(WRENPOST_UPDATE_SERVICE_URL) : override;
}

bool ResolveUpdateEndpoint(UpdateEndpoint& out, std::wstring& error) {
    return ParseUpdateEndpoint(UpdateServiceBaseUrl(), out, error);
}

UpdateChecker::HttpFetchResult FetchUpdateManifestFrom(const UpdateEndpoint& endpoint) {
    UpdateChecker::HttpFetchResult result;
    UniqueInternet session(WinHttpOpen(kUserAgent, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                       WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session ||
        !WinHttpSetTimeouts(session.get(), kTimeoutMs, kTimeoutMs, kTimeoutMs, kTimeoutMs)) {
        return result;
    }
    // The wait for the response head has a time-out of its own (90 s on Windows, none at all in
    // wine); without it a server that accepts and never answers holds the check far beyond the
    // receive time-out.
    DWORD responseTimeout = kTimeoutMs;
    WinHttpSetOption(session.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &responseTimeout,
                     sizeof(responseTimeout));
    UniqueInternet connection(
        WinHttpConnect(session.get(), BareHost(endpoint.host).c_str(), endpoint.port, 0));
    if (!connection) {
        return result;
    }
    UniqueInternet request(WinHttpOpenRequest(
        connection.get(), L"GET", kUpdateManifestPath, nullptr, WINHTTP_NO_REFERER,
        WINHTTP_DEFAULT_ACCEPT_TYPES, endpoint.secure ? WINHTTP_FLAG_SECURE : 0));
    if (!request ||
        !WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                            WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
        !WinHttpReceiveResponse(request.get(), nullptr)) {
        return result;
    }
    result.ok = true;

    DWORD status = 0;
    DWORD statusSize = sizeof(status);
    if (WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                            WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusSize,
                            WINHTTP_NO_HEADER_INDEX)) {
        result.statusCode = status;
    }
    wchar_t contentType[256] = {};  // 512 bytes of header buffer
    DWORD contentTypeSize = sizeof(contentType);
    if (WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_CONTENT_TYPE, WINHTTP_HEADER_NAME_BY_INDEX,
                            contentType, &contentTypeSize, WINHTTP_NO_HEADER_INDEX)) {
        result.contentType = LowerAscii(
            WideToUtf8(std::wstring_view(contentType, contentTypeSize / sizeof(wchar_t))));
    }
    result.body = ReadBody(request.get());
    return result;
}

std::optional<Version> ReadFileVersion(const std::wstring& path) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) {
        return std::nullopt;
    }
    std::vector<BYTE> data(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, data.data())) {
        return std::nullopt;
    }
    VS_FIXEDFILEINFO* info = nullptr;
    UINT infoSize = 0;
    if (!VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &infoSize) ||
        info == nullptr || infoSize < sizeof(VS_FIXEDFILEINFO) || info->dwSignature != 0xFEEF04BD) {
        return std::nullopt;
    }
    return Version{HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
                   HIWORD(info->dwFileVersionLS)};
}

std::optional<Version> ReadProgramVersion() {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return std::nullopt;
    }
    return ReadFileVersion(path);
}

UpdateChecker::HttpFetchResult UpdateChecker::FetchLatestManifest() {
    UpdateEndpoint endpoint;
    std::wstring error;
    if (!ResolveUpdateEndpoint(endpoint, error)) {
        return {};
    }
    return FetchUpdateManifestFrom(endpoint);
}

}  // namespace wrenpost
