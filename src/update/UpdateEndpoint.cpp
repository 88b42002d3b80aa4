// The update service base address: the shared endpoint rules, limited to a scheme and a host.
#include "update/UpdateEndpoint.h"

#include "common/Endpoint.h"

namespace wrenpost {

bool ParseUpdateEndpoint(std::wstring_view baseUrl, UpdateEndpoint& out, std::wstring& error) {
    Endpoint parsed;
    std::wstring reason;
    if (!ParseEndpoint(baseUrl, parsed, reason)) {
        error = L"The update service address is not usable: " + reason + L".";
        return false;
    }
    if (!parsed.basePath.empty()) {
        error = L"The update service address must be a scheme and a host only.";
        return false;
    }
    out.secure = parsed.secure;
    out.host = parsed.host.find(L':') != std::wstring::npos ? L"[" + parsed.host + L"]"
                                                            : parsed.host;
    out.port = parsed.port;
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
