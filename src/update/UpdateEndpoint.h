// Where the update service lives: a base address "https://host[:port]" (a trailing "/" is
// allowed), from the build or a per-user override. Plain http is accepted only for loopback
// hosts, so a real service is always reached over TLS (the shared rules of common/Endpoint.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace wrenpost {

struct UpdateEndpoint {
    bool secure = true;
    std::wstring host;  // name, IPv4 address, or IPv6 address in brackets
    std::uint16_t port = 443;
};

inline constexpr wchar_t kUpdateManifestPath[] = L"/api/updates/windows/latest";

[[nodiscard]] bool ParseUpdateEndpoint(std::wstring_view baseUrl, UpdateEndpoint& out,
                                       std::wstring& error);

// "https://host[:port]" + path, the port only when it is not the scheme's default.
std::wstring UpdateServiceAddress(const UpdateEndpoint& endpoint, std::wstring_view path);

}  // namespace wrenpost
