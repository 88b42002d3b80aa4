// The update manifest fetched through the program's WinHTTP client, the registry override of
// the service address, and the program's version resource.
#include "update/UpdateService_win.h"

#include <windows.h>

#include <vector>

#include "common/HttpClient_win.h"
#include "common/Text.h"
#include "common/UniqueHandle_win.h"

namespace wrenpost {
namespace {

constexpr wchar_t kUserAgent[] = L"Wrenpost-UpdateChecker/1.0";
constexpr int kTimeoutMs = 5000;
constexpr DWORD kMaxRegistryUrlBytes = 4096;

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

std::string LowerAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

}  // namespace

std::wstring UpdateServiceBaseUrl() {
    std::wstring override = ReadRegistryOverride();
    return override.empty() ? std::wstring(WRENPOST_UPDATE_SERVICE_URL) : override;
}

bool ResolveUpdateEndpoint(UpdateEndpoint& out, std::wstring& error) {
    return ParseUpdateEndpoint(UpdateServiceBaseUrl(), out, error);
}

UpdateChecker::HttpFetchResult FetchUpdateManifestFrom(const UpdateEndpoint& endpoint,
                                                       std::chrono::milliseconds deadline) {
    HttpRequest request;
    request.deadline = deadline;
    request.path = kUpdateManifestPath;
    request.timeouts = {kTimeoutMs, kTimeoutMs, kTimeoutMs, kTimeoutMs, kTimeoutMs};
    request.maxBodyBytes = kMaxManifestBytes;
    const HttpResponse response =
        PerformHttpRequest(Endpoint{endpoint.secure, BareHost(endpoint.host), endpoint.port, L""},
                           kUserAgent, request);
    UpdateChecker::HttpFetchResult result;
    if (response.failedStage == HttpStage::Deadline) {
        result.failure = "the update service did not answer within " +
                         std::to_string(DeadlineSeconds(response.deadline)) + " s";
        return result;
    }
    if (response.failedStage != HttpStage::None && response.failedStage != HttpStage::Read &&
        response.failedStage != HttpStage::TooLarge) {
        return result;
    }
    result.ok = true;
    result.statusCode = response.status;
    result.contentType = LowerAscii(response.contentType);
    // An oversized body or one broken off midway stays empty: no truncated manifest is used.
    if (response.failedStage == HttpStage::None) {
        result.body = response.body;
    }
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
