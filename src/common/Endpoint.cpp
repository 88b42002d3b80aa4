#include "common/Endpoint.h"

#include <algorithm>

#include "common/Text.h"

namespace wrenpost {
namespace {

wchar_t AsciiLower(wchar_t c) {
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

std::wstring Lowered(std::wstring_view text) {
    std::wstring out(text);
    for (wchar_t& c : out) c = AsciiLower(c);
    return out;
}

bool IsDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}
bool IsHexDigit(wchar_t c) {
    return IsDigit(c) || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}

// Letters, digits, '-' and '.' (host names and IPv4 addresses).
bool IsHostName(std::wstring_view host) {
    if (host.empty() || host.front() == L'.' || host.front() == L'-') {
        return false;
    }
    for (const wchar_t c : host) {
        if (!(IsDigit(c) || (c >= L'a' && c <= L'z') || c == L'-' || c == L'.')) {
            return false;
        }
    }
    return true;
}

bool IsIpv6Text(std::wstring_view host) {
    if (host.size() < 2)
        return false;
    for (const wchar_t c : host) {
        if (!IsHexDigit(c) && c != L':' && c != L'.')
            return false;
    }
    return host.find(L':') != std::wstring_view::npos;
}

bool IsIpv4Loopback(std::wstring_view host) {
    int parts = 0;
    std::size_t pos = 0;
    while (pos <= host.size()) {
        const std::size_t dot = std::min(host.find(L'.', pos), host.size());
        const std::wstring_view part = host.substr(pos, dot - pos);
        if (part.empty() || part.size() > 3)
            return false;
        int value = 0;
        for (const wchar_t c : part) {
            if (!IsDigit(c))
                return false;
            value = value * 10 + (c - L'0');
        }
        if (value > 255 || (parts == 0 && value != 127))
            return false;
        ++parts;
        pos = dot + 1;
    }
    return parts == 4;
}

constexpr wchar_t kBadPort[] = L"the port is not a number from 1 to 65535";
constexpr wchar_t kBadHostAddress[] = L"the host address is malformed";

// The scheme sets security and the default port; `pos` is where the authority starts.
bool ParseScheme(const std::wstring& lower, Endpoint& parsed, std::size_t& pos,
                 std::wstring& error) {
    if (lower.rfind(L"https://", 0) == 0) {
        parsed.secure = true;
        parsed.port = 443;
        pos = 8;
    } else if (lower.rfind(L"http://", 0) == 0) {
        parsed.secure = false;
        parsed.port = 80;
        pos = 7;
    } else {
        error = L"the address must start with https://";
        return false;
    }
    return true;
}

bool CheckAuthorityAndPath(const std::wstring& authority, const std::wstring& path,
                           std::wstring& error) {
    if (authority.find(L'@') != std::wstring::npos) {
        error = L"user information is not allowed in the address";
        return false;
    }
    if (path.find_first_of(L"?#") != std::wstring::npos ||
        authority.find_first_of(L"?#") != std::wstring::npos) {
        error = L"a query or fragment is not allowed in the address";
        return false;
    }
    for (const wchar_t c : path) {
        if (c <= L' ' || c == 0x7F || c == L'\\') {
            error = L"the address path contains characters that are not allowed";
            return false;
        }
    }
    return true;
}

// "[v6]" or "[v6]:port".
bool ParseBracketedAuthority(const std::wstring& authority, std::wstring& host,
                             std::wstring& portText, std::wstring& error) {
    const std::size_t close = authority.find(L']');
    if (close == std::wstring::npos) {
        error = kBadHostAddress;
        return false;
    }
    host = authority.substr(1, close - 1);
    const std::wstring rest = authority.substr(close + 1);
    if (!rest.empty()) {
        if (rest.front() != L':') {
            error = kBadHostAddress;
            return false;
        }
        portText = rest.substr(1);
        if (portText.empty()) {
            error = kBadPort;
            return false;
        }
    }
    if (!IsIpv6Text(host)) {
        error = kBadHostAddress;
        return false;
    }
    return true;
}

// The host and the port's text (empty when none is given).
bool ParseAuthority(const std::wstring& authority, std::wstring& host, std::wstring& portText,
                    std::wstring& error) {
    if (!authority.empty() && authority.front() == L'[') {
        return ParseBracketedAuthority(authority, host, portText, error);
    }
    const std::size_t colon = authority.find(L':');
    host = authority.substr(0, colon);
    if (colon != std::wstring::npos) {
        portText = authority.substr(colon + 1);
        if (portText.empty()) {
            error = kBadPort;
            return false;
        }
    }
    if (!IsHostName(host)) {
        error = host.empty() ? L"the address has no host" : L"the host name is malformed";
        return false;
    }
    return true;
}

bool ParsePort(const std::wstring& portText, std::uint16_t& port, std::wstring& error) {
    long value = 0;
    for (const wchar_t c : portText) {
        if (!IsDigit(c) || value > 65535) {
            value = -1;
            break;
        }
        value = value * 10 + (c - L'0');
    }
    if (value < 1 || value > 65535) {
        error = kBadPort;
        return false;
    }
    port = static_cast<std::uint16_t>(value);
    return true;
}

}  // namespace

std::wstring Endpoint::ToUrl() const {
    std::wstring url = secure ? L"https://" : L"http://";
    url += host.find(L':') != std::wstring::npos ? L"[" + host + L"]" : host;
    if (port != (secure ? 443 : 80)) {
        url += L":" + ToWideDecimal(port);
    }
    return url + basePath;
}

bool IsLoopbackHost(std::wstring_view host) {
    const std::wstring lower = Lowered(host);
    return lower == L"localhost" || lower == L"::1" || lower == L"0:0:0:0:0:0:0:1" ||
           IsIpv4Loopback(lower);
}

bool ParseEndpoint(std::wstring_view url, Endpoint& endpoint, std::wstring& error) {
    const std::wstring text = TrimWhitespace(url);
    Endpoint parsed;
    std::size_t pos = 0;
    if (!ParseScheme(Lowered(text), parsed, pos, error)) {
        return false;
    }
    const std::size_t authorityEnd = std::min(text.find(L'/', pos), text.size());
    const std::wstring authority = Lowered(std::wstring_view(text).substr(pos, authorityEnd - pos));
    std::wstring path = text.substr(authorityEnd);
    std::wstring portText;
    if (!CheckAuthorityAndPath(authority, path, error) ||
        !ParseAuthority(authority, parsed.host, portText, error) ||
        (!portText.empty() && !ParsePort(portText, parsed.port, error))) {
        return false;
    }
    while (!path.empty() && path.back() == L'/') {
        path.pop_back();
    }
    parsed.basePath = path;
    if (!parsed.secure && !IsLoopbackHost(parsed.host)) {
        error = L"plain http is accepted only for loopback hosts";
        return false;
    }
    endpoint = parsed;
    return true;
}

Endpoint ResolveEndpoint(std::wstring_view configured, std::wstring_view defaultUrl,
                         std::wstring_view settingName, std::wstring& note) {
    note.clear();
    Endpoint fallback;
    std::wstring ignored;
    if (!ParseEndpoint(defaultUrl, fallback, ignored)) {
        fallback = Endpoint{};
    }
    if (TrimWhitespace(configured).empty()) {
        return fallback;
    }
    Endpoint endpoint;
    std::wstring reason;
    if (ParseEndpoint(configured, endpoint, reason)) {
        return endpoint;
    }
    note = std::wstring(settingName) + L" \"" + std::wstring(configured) + L"\" ignored (" +
           reason + L"); using " + fallback.ToUrl() + L".";
    return fallback;
}

LogLevel EndpointNoticeLevel(std::wstring_view inUse) {
    Endpoint used;
    std::wstring ignored;
    return ParseEndpoint(inUse, used, ignored) && IsLoopbackHost(used.host) ? LogLevel::Info
                                                                            : LogLevel::Warning;
}

std::wstring NonDefaultEndpointNotice(std::wstring_view what, std::wstring_view inUse,
                                      std::wstring_view defaultUrl, std::wstring_view settingName) {
    Endpoint used, builtIn;
    std::wstring ignored;
    std::wstring shown(inUse);
    bool same = inUse == defaultUrl;
    if (ParseEndpoint(inUse, used, ignored) && ParseEndpoint(defaultUrl, builtIn, ignored)) {
        shown = used.ToUrl();
        same = used == builtIn;
    }
    if (same) {
        return {};
    }
    return std::wstring(what) + L" address in use: " + shown + L" (set by " +
           std::wstring(settingName) + L", not the default " + std::wstring(defaultUrl) + L").";
}

}  // namespace wrenpost
