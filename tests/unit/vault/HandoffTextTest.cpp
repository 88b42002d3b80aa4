// The hand-off's identifier rules and its protected text: who may name a file, and when a
// hand-off is malformed or too old.
#include <gtest/gtest.h>

#include "vault/Handoff.h"

namespace wrenpost {
namespace {

TEST(HandoffId, AcceptsOneToSixtyFourAsciiLettersOrDigits) {
    EXPECT_TRUE(IsValidHandoffId(L"0123456789ABCDEF"));
    EXPECT_TRUE(IsValidHandoffId(L"a"));
    EXPECT_TRUE(IsValidHandoffId(std::wstring(64, L'Z')));
    EXPECT_FALSE(IsValidHandoffId(std::wstring(65, L'Z')));
    EXPECT_FALSE(IsValidHandoffId(L""));
}

TEST(HandoffId, RefusesAnythingThatCouldLeaveTheTemporaryFolder) {
    for (const wchar_t* id : {L"..\\x", L"a.b", L"a/b", L"a\\b", L"a b", L"a:b", L"a_b",
                              L"\u00c4bc", L"\u0661\u0662", L"abc\n"}) {
        EXPECT_FALSE(IsValidHandoffId(id)) << id;
    }
    EXPECT_FALSE(IsValidHandoffId(std::wstring(L"ab\0cd", 5)));
}

TEST(HandoffId, NamesTheFile) {
    EXPECT_EQ(HandoffFileName(L"0A1B"), L"VaultLaunch_0A1B.tmp");
}

TEST(HandoffText, RoundTripsATokenWithinItsLifetime) {
    const std::wstring text = BuildHandoffText(1767225600, L"123:ab|c");
    EXPECT_EQ(text, L"1767225600|123:ab|c");
    for (const std::int64_t age : {0, 1, 60}) {
        std::wstring token;
        EXPECT_EQ(ParseHandoffText(text, 1767225600 + age, token), HandoffTextResult::Ok) << age;
        EXPECT_EQ(token, L"123:ab|c");
    }
}

TEST(HandoffText, ExpiresFromSixtyOneSecondsOn) {
    const std::wstring text = BuildHandoffText(1000, L"t");
    std::wstring token;
    EXPECT_EQ(ParseHandoffText(text, 1061, token), HandoffTextResult::Expired);
    EXPECT_EQ(ParseHandoffText(text, 100000, token), HandoffTextResult::Expired);
    EXPECT_TRUE(token.empty());
    EXPECT_EQ(ParseHandoffText(L"-9223372036854775807|t", 1000, token), HandoffTextResult::Expired);
}

TEST(HandoffText, EndsAtTheFirstZero) {
    std::wstring token;
    const std::wstring text(L"1000|tok\0junk|", 14);
    EXPECT_EQ(ParseHandoffText(text, 1000, token), HandoffTextResult::Ok);
    EXPECT_EQ(token, L"tok");
    EXPECT_EQ(ParseHandoffText(std::wstring(L"1000\0|tok", 9), 1000, token),
              HandoffTextResult::Malformed);
}

TEST(HandoffText, RefusesATimestampThatIsNotADecimalInteger) {
    for (const wchar_t* text : {L"", L"1000", L"|tok", L"12a|tok", L" 1000|tok", L"+1000|tok",
                                L"-|tok", L"1e3|tok", L"99999999999999999999|tok"}) {
        std::wstring token;
        EXPECT_EQ(ParseHandoffText(text, 1000, token), HandoffTextResult::Malformed) << text;
    }
}

}  // namespace
}  // namespace wrenpost
