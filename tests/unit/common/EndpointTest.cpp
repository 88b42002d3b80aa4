// Service base addresses: what is accepted, how it is normalised, and the loopback-only rule
// for plain http.
#include <gtest/gtest.h>

#include "common/Endpoint.h"
#include "common/Text.h"

namespace wrenpost {
namespace {

TEST(EndpointParse, AcceptsHttpsAnywhereAndPlainHttpOnlyForLoopback) {
    const struct {
        const wchar_t* url;
        Endpoint endpoint;
        const wchar_t* printed;
    } cases[] = {
        {L"https://api.telegram.org", {true, L"api.telegram.org", 443, L""}, nullptr},
        {L"  HTTPS://Bot.Example.COM:8443/tg/api/ \r\n",
         {true, L"bot.example.com", 8443, L"/tg/api"},
         L"https://bot.example.com:8443/tg/api"},
        {L"https://API.telegram.org:443/",
         {true, L"api.telegram.org", 443, L""},
         L"https://api.telegram.org"},
        {L"https://[2001:db8::1]:444", {true, L"2001:db8::1", 444, L""}, nullptr},
        {L"http://127.0.0.1:8081", {false, L"127.0.0.1", 8081, L""}, nullptr},
        {L"http://localhost:80/", {false, L"localhost", 80, L""}, L"http://localhost"},
        {L"http://127.12.0.3:1", {false, L"127.12.0.3", 1, L""}, nullptr},
        {L"http://[::1]:9000/x", {false, L"::1", 9000, L"/x"}, nullptr},
    };
    for (const auto& c : cases) {
        Endpoint endpoint;
        std::wstring error;
        ASSERT_TRUE(ParseEndpoint(c.url, endpoint, error)) << WideToUtf8(c.url);
        EXPECT_EQ(endpoint, c.endpoint) << WideToUtf8(c.url);
        EXPECT_EQ(endpoint.ToUrl(), c.printed ? c.printed : c.url);
    }
}

TEST(EndpointParse, RefusesMalformedAddressesAndPlainHttpElsewhere) {
    for (const wchar_t* url : {L"",
                               L"api.telegram.org",
                               L"ftp://host",
                               L"https://",
                               L"https://:443",
                               L"https://h:0",
                               L"https://h:65536",
                               L"https://h:",
                               L"https://h:x1",
                               L"https://user@h",
                               L"https://h/p?q=1",
                               L"https://h#f",
                               L"https://h/a b",
                               L"https://[::1",
                               L"https://[zz]",
                               L"https://-h",
                               L"https://h\u00e9.com",
                               L"https://h/a\\b",
                               L"http://api.telegram.org",
                               L"http://127.0.0.1.evil.example",
                               L"http://128.0.0.1",
                               L"http://127.0.0.256",
                               L"http://localhost.example",
                               L"http://[::2]"}) {
        Endpoint endpoint;
        endpoint.host = L"untouched";
        std::wstring error;
        EXPECT_FALSE(ParseEndpoint(url, endpoint, error)) << WideToUtf8(url);
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(endpoint.host, L"untouched");
    }
}

TEST(EndpointResolve, FallsBackToTheDefaultAndSaysWhy) {
    std::wstring note;
    EXPECT_EQ(ResolveEndpoint(L"", kDefaultTelegramApiUrl, L"S", note).ToUrl(),
              L"https://api.telegram.org");
    EXPECT_TRUE(note.empty());
    EXPECT_EQ(ResolveEndpoint(L"http://127.0.0.1:5000", kDefaultTelegramApiUrl, L"S", note).ToUrl(),
              L"http://127.0.0.1:5000");
    EXPECT_TRUE(note.empty());
    EXPECT_EQ(ResolveEndpoint(L"http://bots.example.com", kDefaultTelegramApiUrl,
                              L"TelegramApiBaseUrl", note)
                  .ToUrl(),
              L"https://api.telegram.org");
    EXPECT_EQ(note,
              L"TelegramApiBaseUrl \"http://bots.example.com\" ignored (plain http is accepted "
              L"only for loopback hosts); using https://api.telegram.org.");
}

}  // namespace
}  // namespace wrenpost
