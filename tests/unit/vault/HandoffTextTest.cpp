// The hand-off's identifier rules and its protected text: who may name a file, and when a
// hand-off is malformed or too old.
#include <gtest/gtest.h>

#include "vault/Handoff.h"

namespace wrenpost {
namespace {

TEST(HandoffId, AcceptsOneToSixtyFourAsciiLettersOrDigitsOnly) {
    EXPECT_TRUE(IsValidHandoffId(L"0123456789ABCDEFaz"));
    EXPECT_TRUE(IsValidHandoffId(std::wstring(64, L'Z')));
    // Anything that could leave the temporary folder, or is too long or empty.
    for (const std::wstring& id :
         {std::wstring(65, L'Z'), std::wstring(), std::wstring(L"ab\0cd", 5),
          std::wstring(L"..\\x"), std::wstring(L"a.b"), std::wstring(L"a/b"), std::wstring(L"a b"),
          std::wstring(L"a:b"), std::wstring(L"a_b"), std::wstring(L"\u00c4bc"),
          std::wstring(L"\u0661\u0662"), std::wstring(L"abc\n")}) {
        EXPECT_FALSE(IsValidHandoffId(id)) << id.size();
    }
    EXPECT_EQ(HandoffFileName(L"0A1B"), L"VaultLaunch_0A1B.tmp");
}

TEST(HandoffText, RoundTripsATokenForSixtySecondsAndEndsAtTheFirstZero) {
    const std::wstring text = BuildHandoffText(1767225600, L"123:ab|c");
    EXPECT_EQ(text, L"1767225600|123:ab|c");
    std::wstring token;
    for (const std::int64_t age : {0, 60}) {
        EXPECT_EQ(ParseHandoffText(text, 1767225600 + age, token), HandoffTextResult::Ok) << age;
        EXPECT_EQ(token, L"123:ab|c");
    }
    EXPECT_EQ(ParseHandoffText(std::wstring(L"1000|tok\0junk|", 14), 1000, token),
              HandoffTextResult::Ok);
    EXPECT_EQ(token, L"tok");
}

TEST(HandoffText, RefusesExpiredAndMalformedTextsWithoutAToken) {
    std::wstring token;
    for (const std::int64_t now : {1061, 100000}) {
        EXPECT_EQ(ParseHandoffText(L"1000|t", now, token), HandoffTextResult::Expired) << now;
    }
    EXPECT_EQ(ParseHandoffText(L"-9223372036854775807|t", 1000, token), HandoffTextResult::Expired);
    EXPECT_TRUE(token.empty());
    for (const std::wstring& text :
         {std::wstring(L"1000\0|tok", 9), std::wstring(L""), std::wstring(L"1000"),
          std::wstring(L"|tok"), std::wstring(L"12a|tok"), std::wstring(L" 1000|tok"),
          std::wstring(L"+1000|tok"), std::wstring(L"-|tok"), std::wstring(L"1e3|tok"),
          std::wstring(L"99999999999999999999|tok")}) {
        EXPECT_EQ(ParseHandoffText(text, 1000, token), HandoffTextResult::Malformed) << text.size();
        EXPECT_TRUE(token.empty());
    }
}

}  // namespace
}  // namespace wrenpost
