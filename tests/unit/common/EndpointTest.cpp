// Service base addresses: what is accepted, how it is normalised, and the loopback-only rule
// for plain http.
#include <gtest/gtest.h>

#include <tuple>

#include "common/Endpoint.h"
#include "common/Text.h"

namespace wrenpost {
namespace {

// A null printed form: the address prints back as given.
TEST(EndpointParse, AcceptsHttpsAnywhereAndPlainHttpOnlyForLoopback) {
    const std::tuple<const wchar_t*, Endpoint, const wchar_t*> cases[] = {
        // clang-format off
        {L"  HTTPS://Bot.Example.COM:8443/tg/api/ \r\n",
         {true, L"bot.example.com", 8443, L"/tg/api"}, L"https://bot.example.com:8443/tg/api"},
        {L"https://API.telegram.org:443/", {true, L"api.telegram.org", 443, L""},
         L"https://api.telegram.org"},
        {L"https://[2001:db8::1]:444", {true, L"2001:db8::1", 444, L""}, nullptr},
        {L"http://127.0.0.1:8081", {false, L"127.0.0.1", 8081, L""}, nullptr},
        {L"http://localhost:80/", {false, L"localhost", 80, L""}, L"http://localhost"},
        {L"http://127.12.0.3:1", {false, L"127.12.0.3", 1, L""}, nullptr},
        {L"http://[::1]:9000/x", {false, L"::1", 9000, L"/x"}, nullptr},
        // clang-format on
    };
    for (const auto& [url, expected, printed] : cases) {
        Endpoint endpoint;
        std::wstring error;
        ASSERT_TRUE(ParseEndpoint(url, endpoint, error)) << WideToUtf8(url);
        EXPECT_EQ(endpoint, expected) << WideToUtf8(url);
        EXPECT_EQ(endpoint.ToUrl(), printed ? printed : url);
    }
}

TEST(EndpointParse, RefusesMalformedAddressesAndPlainHttpElsewhere) {
    // One address per line, the first one empty.
    const std::wstring refused =
        L"\napi.telegram.org\nftp://host\nhttps://\nhttps://:443\nhttps://h:0\nhttps://h:65536\n"
        L"https://h:\nhttps://h:x1\nhttps://user@h\nhttps://h/p?q=1\nhttps://h#f\nhttps://h/a b\n"
        L"https://[::1\nhttps://[zz]\nhttps://-h\nhttps://h\u00e9.com\nhttps://h/a\\b\n"
        L"http://api.telegram.org\nhttp://127.0.0.1.evil.example\nhttp://128.0.0.1\n"
        L"http://127.0.0.256\nhttp://localhost.example\nhttp://[::2]";
    std::size_t count = 0;
    for (std::size_t start = 0; start != std::wstring::npos; ++count) {
        const std::size_t end = refused.find(L'\n', start);
        const std::wstring url = refused.substr(start, end - start);
        start = end == std::wstring::npos ? end : end + 1;
        Endpoint endpoint;
        endpoint.host = L"untouched";
        std::wstring error;
        EXPECT_FALSE(ParseEndpoint(url, endpoint, error)) << WideToUtf8(url);
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(endpoint.host, L"untouched");
    }
    EXPECT_EQ(count, 24u);
}

TEST(EndpointResolve, FallsBackToTheDefaultAndSaysWhy) {
    std::wstring note;
    for (const wchar_t* url : {L"", L"http://127.0.0.1:5000"}) {
        const Endpoint used = ResolveEndpoint(url, kDefaultTelegramApiUrl, L"S", note);
        EXPECT_EQ(used.ToUrl(), *url ? url : kDefaultTelegramApiUrl);
        EXPECT_TRUE(note.empty()) << WideToUtf8(note);
    }
    EXPECT_EQ(ResolveEndpoint(L"http://x.example", kDefaultTelegramApiUrl, L"Url", note).ToUrl(),
              L"https://api.telegram.org");
    EXPECT_EQ(note.rfind(L"Url \"http://x.example\" ignored", 0), 0u) << WideToUtf8(note);
}

// Every address in use other than the built-in one is named in the log, with its setting.
TEST(EndpointNotice, NamesEveryAddressThatIsNotTheDefault) {
    const std::pair<const wchar_t*, const wchar_t*> rows[] = {
        {L"https://api.telegram.org", L""},
        {L"HTTPS://API.telegram.org/", L""},
        {L"http://127.0.0.1:8081", L"http://127.0.0.1:8081"},
        {L"https://api.telegram.org/proxy", L"https://api.telegram.org/proxy"},
        {L"https://api.telegram.org:8443", L"https://api.telegram.org:8443"},
    };
    for (const auto& [inUse, shown] : rows) {
        // Only an address on this machine is told quietly.
        EXPECT_EQ(EndpointNoticeLevel(inUse), std::wstring_view(inUse).starts_with(L"http://127")
                                                  ? LogLevel::Info
                                                  : LogLevel::Warning);
        const std::wstring notice =
            NonDefaultEndpointNotice(L"Telegram Bot API", inUse, kDefaultTelegramApiUrl, L"Key");
        EXPECT_EQ(notice, *shown ? L"Telegram Bot API address in use: " + std::wstring(shown) +
                                       L" (set by Key, not the default https://api.telegram.org)."
                                 : L"")
            << WideToUtf8(inUse);
    }
}

}  // namespace
}  // namespace wrenpost
