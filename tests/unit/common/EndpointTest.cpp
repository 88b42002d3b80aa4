// Service base addresses: what is accepted, how it is normalised, and the loopback-only rule
// for plain http.
#include <gtest/gtest.h>

#include "common/Endpoint.h"
#include "common/Text.h"

namespace wrenpost {
namespace {

Endpoint Parsed(const std::wstring& url) {
    Endpoint endpoint;
    std::wstring error;
    EXPECT_TRUE(ParseEndpoint(url, endpoint, error))
        << WideToUtf8(url) << ": " << WideToUtf8(error);
    return endpoint;
}

std::wstring Refusal(const std::wstring& url) {
    Endpoint endpoint;
    endpoint.host = L"untouched";
    std::wstring error;
    EXPECT_FALSE(ParseEndpoint(url, endpoint, error)) << WideToUtf8(url);
    EXPECT_EQ(endpoint.host, L"untouched");
    return error;
}

TEST(ParseEndpoint, AcceptsHttpsAnywhereWithPortAndPath) {
    EXPECT_EQ(Parsed(L"https://api.telegram.org"), (Endpoint{true, L"api.telegram.org", 443, L""}));
    EXPECT_EQ(Parsed(L"  HTTPS://Bot.Example.COM:8443/tg/api/ \r\n"),
              (Endpoint{true, L"bot.example.com", 8443, L"/tg/api"}));
    EXPECT_EQ(Parsed(L"https://[2001:db8::1]:444"), (Endpoint{true, L"2001:db8::1", 444, L""}));
}

TEST(ParseEndpoint, AcceptsPlainHttpOnlyForLoopback) {
    EXPECT_EQ(Parsed(L"http://127.0.0.1:8081"), (Endpoint{false, L"127.0.0.1", 8081, L""}));
    EXPECT_EQ(Parsed(L"http://localhost/"), (Endpoint{false, L"localhost", 80, L""}));
    EXPECT_EQ(Parsed(L"http://127.12.0.3:1"), (Endpoint{false, L"127.12.0.3", 1, L""}));
    EXPECT_EQ(Parsed(L"http://[::1]:9000/x"), (Endpoint{false, L"::1", 9000, L"/x"}));
    const std::wstring loopbackOnly = L"plain http is accepted only for loopback hosts";
    EXPECT_EQ(Refusal(L"http://api.telegram.org"), loopbackOnly);
    EXPECT_EQ(Refusal(L"http://127.0.0.1.evil.example"), loopbackOnly);
    EXPECT_EQ(Refusal(L"http://128.0.0.1"), loopbackOnly);
    EXPECT_EQ(Refusal(L"http://127.0.0.256"), loopbackOnly);
    EXPECT_EQ(Refusal(L"http://localhost.example"), loopbackOnly);
    EXPECT_EQ(Refusal(L"http://[::2]"), loopbackOnly);
}

TEST(ParseEndpoint, RefusesMalformedAddresses) {
    for (const wchar_t* url :
         {L"", L"api.telegram.org", L"ftp://host", L"https://", L"https://:443", L"https://h:0",
          L"https://h:65536", L"https://h:", L"https://h:x1", L"https://user@h", L"https://h/p?q=1",
          L"https://h#f", L"https://h/a b", L"https://[::1", L"https://[zz]", L"https://-h",
          L"https://h\u00e9.com", L"https://h/a\\b"}) {
        EXPECT_FALSE(Refusal(url).empty()) << WideToUtf8(url);
    }
}

TEST(Endpoint, PrintsItsNormalisedAddress) {
    EXPECT_EQ(Parsed(L"https://API.telegram.org:443/").ToUrl(), L"https://api.telegram.org");
    EXPECT_EQ(Parsed(L"http://[::1]:8080/base").ToUrl(), L"http://[::1]:8080/base");
    EXPECT_EQ(Parsed(L"http://localhost:80").ToUrl(), L"http://localhost");
}

TEST(ResolveEndpoint, FallsBackToTheDefaultAndSaysWhy) {
    std::wstring note;
    EXPECT_EQ(ResolveEndpoint(L"", kDefaultTelegramApiUrl, L"TelegramApiBaseUrl", note).ToUrl(),
              L"https://api.telegram.org");
    EXPECT_TRUE(note.empty());
    EXPECT_EQ(ResolveEndpoint(L"http://127.0.0.1:5000", kDefaultTelegramApiUrl,
                              L"TelegramApiBaseUrl", note)
                  .ToUrl(),
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
