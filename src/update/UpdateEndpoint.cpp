// Parsing and checking of the update service base address.
#include "update/UpdateEndpoint.h"

#include <string>
#include <utility>

namespace wrenpost {
namespace {

wchar_t AsciiLower(wchar_t c) {
    return (c >= L'A' && c <= L'Z') ? c - L'A' + L'a' : c;
}

std::wstring Lower(std::wstring_view text) {
    std::wstring out(text);
    for (wchar_t& c : out) {
        c = AsciiLower(c);
    }
    return out;
}

bool IsHostNameChar(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
           c == L'-' || c == L'.';
}

bool IsValidHost(std::wstring_view host) {
    if (host.empty() || host.size() > 255) {
        return false;
    }
    if (host.front() == L'[') {
        if (host.size() < 4 || host.back() != L']') {
            return false;
        }
        for (const wchar_t c : host.substr(1, host.size() - 2)) {
            const bool hex =
                (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
            if (!hex && c != L':' && c != L'.') {
                return false;
            }
        }
        return true;
    }
    if (host.front() == L'.' || host.front() == L'-') {
        return false;
    }
    for (const wchar_t c : host) {
        if (!IsHostNameChar(c)) {
            return false;
        }
    }
    return true;
}

bool ParsePort(std::wstring_view text, std::uint16_t& out) {
    if (text.empty() || text.size() > 5) {
        return false;
    }
    unsigned value = 0;
    for (const wchar_t c : text) {
        if (c < L'0' || c > L'9') {
            return false;
        }
        value = value * 10 + static_cast<unsigned>(c - L'0');
    }
    if (value == 0 || value > 65535) {
        return false;
    }
    out = static_cast<std::uint16_t>(value);
    return true;
}

// 127.0.0.0/8 written as four decimal parts.
bool IsLoopbackIpv4(std::wstring_view host) {
    if (host.substr(0, 4) != L"127.") {
        return false;
    }
    int parts = 0;
    std::size_t start = 0;
    while (start <= host.size()) {
        std::size_t end = host.find(L'.', start);
        if (end == std::wstring_view::npos) {
            end = host.size();
        }
        const std::wstring_view part = host.substr(start, end - start);
        if (part.empty() || part.size() > 3) {
            return false;
        }
        unsigned value = 0;
        for (const wchar_t c : part) {
            if (c < L'0' || c > L'9') {
                return false;
            }
            value = value * 10 + static_cast<unsigned>(c - L'0');
        }
        if (value > 255) {
            return false;
        }
        ++parts;
        start = end + 1;
    }
    return parts == 4;
}

}  // namespace

bool IsLoopbackHost(std::wstring_view host) {
    const std::wstring lower = Lower(host);
    return lower == L"localhost" || lower == L"[::1]" || IsLoopbackIpv4(lower);
}

bool ParseUpdateEndpoint(std::wstring_view baseUrl, UpdateEndpoint& out, std::wstring& error) {
    const std::size_t schemeEnd = baseUrl.find(L"://");
    if (schemeEnd == std::wstring_view::npos) {
        error = L"The update service address has no scheme.";
        return false;
    }
    const std::wstring scheme = Lower(baseUrl.substr(0, schemeEnd));
    UpdateEndpoint endpoint;
    if (scheme == L"https") {
        endpoint.secure = true;
        endpoint.port = 443;
    } else if (scheme == L"http") {
        endpoint.secure = false;
        endpoint.port = 80;
    } else {
        error = L"The update service address must start with https://.";
        return false;
    }
    std::wstring_view authority = baseUrl.substr(schemeEnd + 3);
    if (!authority.empty() && authority.back() == L'/') {
        authority.remove_suffix(1);
    }
    if (authority.find_first_of(L"/?#@") != std::wstring_view::npos) {
        error = L"The update service address must be a scheme and a host only.";
        return false;
    }
    // The port follows the last ':' unless that ':' is inside an IPv6 literal.
    std::wstring_view host = authority;
    const std::size_t colon = authority.rfind(L':');
    const std::size_t bracket = authority.rfind(L']');
    if (colon != std::wstring_view::npos &&
        (bracket == std::wstring_view::npos || colon > bracket)) {
        host = authority.substr(0, colon);
        if (!ParsePort(authority.substr(colon + 1), endpoint.port)) {
            error = L"The update service address has an invalid port.";
            return false;
        }
    }
    if (!IsValidHost(host)) {
        error = L"The update service address has an invalid host.";
        return false;
    }
    endpoint.host = std::wstring(host);
    if (!endpoint.secure && !IsLoopbackHost(endpoint.host)) {
        error = L"Plain http is allowed only for a loopback update service.";
        return false;
    }
    out = std::move(endpoint);
    return true;
}

std::wstring UpdateServiceAddress(const UpdateEndpoint& endpoint, std::wstring_view path) {
    std::wstring address = endpoint.secure ? L"https://" : L"http://";
    address += endpoint.host;
    if (endpoint.port != (endpoint.secure ? 443 : 80)) {
        address += L":" + std::to_wstring(endpoint.port);
    }
    address += path;
    return address;
}

}  // namespace wrenpost
