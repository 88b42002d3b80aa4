// The update service base address: the shared endpoint rules (tested with common/Endpoint)
// narrowed to a scheme, a host and a port, and the addresses built from it.
#include <gtest/gtest.h>

#include "update/UpdateEndpoint.h"

namespace wrenpost {
namespace {

UpdateEndpoint Parsed(const std::wstring& url) {
    UpdateEndpoint endpoint;
    std::wstring error;
    EXPECT_TRUE(ParseUpdateEndpoint(url, endpoint, error)) << std::string(url.begin(), url.end());
    return endpoint;
}

TEST(UpdateEndpointParse, SchemeHostAndPortOnly) {
    const UpdateEndpoint endpoint = Parsed(L"HTTPS://updates.example.com:8443/");
    EXPECT_TRUE(endpoint.secure);
    EXPECT_EQ(endpoint.host, L"updates.example.com");
    EXPECT_EQ(endpoint.port, 8443);
    EXPECT_EQ(Parsed(L"https://[2001:db8::1]").host, L"[2001:db8::1]");
    EXPECT_FALSE(Parsed(L"http://localhost").secure);
    for (const wchar_t* url : {L"https://host/path", L"http://updates.example.com", L"not a url"}) {
        UpdateEndpoint refused;
        std::wstring error;
        EXPECT_FALSE(ParseUpdateEndpoint(url, refused, error));
        EXPECT_FALSE(error.empty());
    }
}

TEST(UpdateEndpointAddress, OmitsTheDefaultPort) {
    EXPECT_EQ(UpdateServiceAddress(Parsed(L"https://u.example.com/"), L"/download"),
              L"https://u.example.com/download");
    EXPECT_EQ(UpdateServiceAddress(Parsed(L"https://u.example.com:8443"), L"/download"),
              L"https://u.example.com:8443/download");
    EXPECT_EQ(UpdateServiceAddress(Parsed(L"http://127.0.0.1:5000"), kUpdateManifestPath),
              L"http://127.0.0.1:5000/api/updates/windows/latest");
    EXPECT_EQ(UpdateServiceAddress(Parsed(L"http://[::1]:80"), L"/x"), L"http://[::1]/x");
}

}  // namespace
}  // namespace wrenpost
