// The update service base address: https anywhere, plain http only on loopback.
#include <gtest/gtest.h>

#include <cwchar>

#include "update/UpdateEndpoint.h"

namespace wrenpost {
namespace {

UpdateEndpoint Parsed(const std::wstring& url) {
    UpdateEndpoint endpoint;
    std::wstring error;
    EXPECT_TRUE(ParseUpdateEndpoint(url, endpoint, error)) << std::string(url.begin(), url.end());
    return endpoint;
}

bool Refused(const std::wstring& url) {
    UpdateEndpoint endpoint;
    std::wstring error;
    const bool ok = ParseUpdateEndpoint(url, endpoint, error);
    if (!ok) {
        EXPECT_FALSE(error.empty());
    }
    return !ok;
}

TEST(UpdateEndpointParse, HttpsHostWithOptionalPortAndSlash) {
    UpdateEndpoint endpoint = Parsed(L"https://updates.example.com");
    EXPECT_TRUE(endpoint.secure);
    EXPECT_EQ(endpoint.host, L"updates.example.com");
    EXPECT_EQ(endpoint.port, 443);
    endpoint = Parsed(L"HTTPS://updates.example.com:8443/");
    EXPECT_TRUE(endpoint.secure);
    EXPECT_EQ(endpoint.port, 8443);
    EXPECT_EQ(Parsed(L"https://[2001:db8::1]:444").host, L"[2001:db8::1]");
    EXPECT_EQ(Parsed(WRENPOST_UPDATE_SERVICE_URL).secure, true);
}

TEST(UpdateEndpointParse, PlainHttpOnlyForLoopback) {
    for (const wchar_t* url : {L"http://127.0.0.1:5000", L"http://localhost", L"http://[::1]:81",
                               L"http://127.8.9.10/", L"http://LOCALHOST:1"}) {
        const UpdateEndpoint endpoint = Parsed(url);
        EXPECT_FALSE(endpoint.secure);
    }
    EXPECT_EQ(Parsed(L"http://localhost").port, 80);
    for (const wchar_t* url : {L"http://updates.example.com", L"http://128.0.0.1",
                               L"http://127.0.0.1.example.com", L"http://localhost.example.com",
                               L"http://127.0.0", L"http://127.0.0.256", L"http://[::2]"}) {
        EXPECT_TRUE(Refused(url)) << std::string(url, url + wcslen(url));
    }
}

TEST(UpdateEndpointParse, RefusesAnythingButSchemeHostAndPort) {
    for (const wchar_t* url :
         {L"", L"updates.example.com", L"ftp://updates.example.com", L"https://",
          L"https://host/path", L"https://host?x=1", L"https://host#f", L"https://user@host",
          L"https://host:", L"https://host:0", L"https://host:65536", L"https://host:12a",
          L"https://ho st", L"https://-host", L"https://[::1", L"https://[zz]"}) {
        EXPECT_TRUE(Refused(url)) << std::string(url, url + wcslen(url));
    }
}

TEST(UpdateEndpointAddress, OmitsTheDefaultPort) {
    EXPECT_EQ(UpdateServiceAddress(Parsed(L"https://u.example.com/"), L"/download"),
              L"https://u.example.com/download");
    EXPECT_EQ(UpdateServiceAddress(Parsed(L"https://u.example.com:8443"), L"/download"),
              L"https://u.example.com:8443/download");
    EXPECT_EQ(UpdateServiceAddress(Parsed(L"http://127.0.0.1:5000"), kUpdateManifestPath),
              L"http://127.0.0.1:5000/api/updates/windows/latest");
}

}  // namespace
}  // namespace wrenpost
