// The hand-off's identifier rules and its protected text: who may name a file, and when a
// hand-off is malformed or too old.
#include <gtest/gtest.h>

#include <tuple>

#include "vault/Handoff.h"

namespace wrenpost {
namespace {

using namespace std::string_literals;

TEST(HandoffId, AcceptsOneToSixtyFourAsciiLettersOrDigitsOnly) {
    EXPECT_TRUE(IsValidHandoffId(L"0123456789ABCDEFaz"));
    EXPECT_TRUE(IsValidHandoffId(std::wstring(64, L'Z')));
    // Anything that could leave the temporary folder, or is too long or empty.
    for (const std::wstring& id :
         {std::wstring(65, L'Z'), L""s, L"ab\0cd"s, L"..\\x"s, L"a.b"s, L"a/b"s, L"a b"s, L"a:b"s,
          L"a_b"s, L"\u00c4bc"s, L"\u0661\u0662"s, L"abc\n"s}) {
        EXPECT_FALSE(IsValidHandoffId(id)) << id.size();
    }
    EXPECT_EQ(HandoffFileName(L"0A1B"), L"VaultLaunch_0A1B.tmp");
}

// Good for sixty seconds; the token ends at the first zero; a refused text gives no token.
TEST(HandoffText, ReadsATokenUntilItExpiresAndRefusesMalformedTexts) {
    EXPECT_EQ(BuildHandoffText(1767225600, L"123:ab|c"), L"1767225600|123:ab|c");
    using enum HandoffTextResult;
    const std::tuple<std::wstring, std::int64_t, HandoffTextResult, std::wstring> cases[] = {
        // clang-format off
        {L"1000|1:a|c", 1000, Ok, L"1:a|c"}, {L"1000|t", 1060, Ok, L"t"},
        {L"1000|tok\0junk|"s, 1000, Ok, L"tok"}, {L"1000|t", 1061, Expired, L""},
        {L"1000|t", 100000, Expired, L""}, {L"-9223372036854775807|t", 1000, Expired, L""},
        {L"1000\0|tok"s, 1000, Malformed, L""}, {L"", 1000, Malformed, L""},
        {L"1000", 1000, Malformed, L""}, {L"|tok", 1000, Malformed, L""},
        {L"12a|tok", 1000, Malformed, L""}, {L" 1000|tok", 1000, Malformed, L""},
        {L"+1000|tok", 1000, Malformed, L""}, {L"-|tok", 1000, Malformed, L""},
        {L"1e3|tok", 1000, Malformed, L""}, {L"99999999999999999999|tok", 1000, Malformed, L""},
        // clang-format on
    };
    for (const auto& [text, now, result, expected] : cases) {
        std::wstring token;
        EXPECT_EQ(ParseHandoffText(text, now, token), result) << text.size() << " " << now;
        EXPECT_EQ(token, expected);
    }
}

}  // namespace
}  // namespace wrenpost
