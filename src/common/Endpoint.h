// Base addresses of the remote services (Bot API, update service): parsing, and the rule that
// plain http is accepted only for loopback hosts, so a token never travels in clear text over a
// network.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/ActivityLog.h"

namespace wrenpost {

struct Endpoint {
    bool secure = true;  // https
    std::wstring host;   // name, IPv4 address, or IPv6 address without brackets
    std::uint16_t port = 443;
    std::wstring basePath;  // "" or "/segment..." without a trailing slash

    // The normalised address, e.g. "https://api.telegram.org" or "http://127.0.0.1:8081/x".
    std::wstring ToUrl() const;
    bool operator==(const Endpoint&) const = default;
};

inline constexpr wchar_t kDefaultTelegramApiUrl[] = L"https://api.telegram.org";

// "localhost", any 127.0.0.0/8 address and ::1.
bool IsLoopbackHost(std::wstring_view host);

// Accepts "http(s)://host[:port][/path]" (scheme and host case-insensitive, surrounding white
// space ignored, trailing slashes dropped); refuses user information, query, fragment, an empty
// or malformed host, port 0 or above 65535, other schemes, and http to a non-loopback host.
[[nodiscard]] bool ParseEndpoint(std::wstring_view url, Endpoint& endpoint, std::wstring& error);

// The configured override when present and acceptable, else the default; `note` receives the
// reason when a present override was refused (empty otherwise).
Endpoint ResolveEndpoint(std::wstring_view configured, std::wstring_view defaultUrl,
                         std::wstring_view settingName, std::wstring& note);

// The log line for an address in use that is not the built-in one, so a redirected token or
// update never goes unnoticed: "<what> address in use: <url> (set by <setting>, not the default
// <default>)." Empty when `inUse` is the default.
std::wstring NonDefaultEndpointNotice(std::wstring_view what, std::wstring_view inUse,
                                      std::wstring_view defaultUrl, std::wstring_view settingName);

// How loudly that line is logged: a WARNING for an address elsewhere, where a token or an update
// could be redirected; INFO for a loopback address (a local test service, the playground), which
// nothing sent to it leaves this machine for.
LogLevel EndpointNoticeLevel(std::wstring_view inUse);

}  // namespace wrenpost
