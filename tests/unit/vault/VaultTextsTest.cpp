// The vault's small text forms: the recovery key as printed and as a user may type it, entry
// ids, and the hand-off's identifier rules and protected text.
#include <gtest/gtest.h>

#include <tuple>

#include "vault/Handoff.h"
#include "vault/RecoveryKey.h"

namespace wrenpost {
namespace {

// Only the low five bits of each byte count: 0xE8 & 31 = 8 -> 'A'.
TEST(RecoveryKeyFormat, UsesTheLowFiveBitsOfEachByteInSixGroupsOfFour) {
    RecoveryKeyRandom random{};
    for (std::size_t i = 0; i < random.size(); ++i) random[i] = static_cast<unsigned char>(i);
    EXPECT_EQ(FormatRecoveryKey(random), L"2345-6789-ABCD-EFGH-JKLM-NPQR");
    for (std::size_t i = 0; i < random.size(); ++i) random[i] += 0xE8;
    EXPECT_EQ(FormatRecoveryKey(random), L"ABCD-EFGH-JKLM-NPQR-STUV-WXYZ");
    EXPECT_EQ(FormatVaultEntryId({0x00, 0x01, 0x9A, 0xBC, 0xDE, 0xF0, 0x7F, 0xFF}),
              L"00019ABCDEF07FFF");
}

// Other characters stay for the verifier to refuse.
TEST(RecoveryKeyNormalize, AcceptsLowerCaseMissingDashesAndSpacingOnly) {
    for (const wchar_t* typed : {L"ABCD-EFGH-JKLM-NPQR-STUV-WXYZ", L"abcdefghjklmnpqrstuvwxyz",
                                 L" abcd efgh\tjklm\r\nnpqr--stuv wxyz \n"}) {
        EXPECT_EQ(NormalizeRecoveryKey(typed), L"ABCDEFGHJKLMNPQRSTUVWXYZ");
    }
    EXPECT_EQ(NormalizeRecoveryKey(L"ab_\u00e9\u0418.1"), L"AB_\u00e9\u0418.1");
    EXPECT_EQ(NormalizeRecoveryKey(L" - \t"), L"");
}

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
}

// Good for sixty seconds and from at most 5 s ahead; the token ends at the first zero; a refused
// text gives no token.
TEST(HandoffText, ReadsATokenUntilItExpiresAndRefusesMalformedTexts) {
    EXPECT_EQ(BuildHandoffText(1767225600, L"123:ab|c"), L"1767225600|123:ab|c");
    using enum HandoffTextResult;
    const std::tuple<std::wstring, std::int64_t, HandoffTextResult, std::wstring> cases[] = {
        // clang-format off
        {L"1000|1:a|c", 1000, Ok, L"1:a|c"}, {L"1000|t", 1060, Ok, L"t"},
        {L"1000|tok\0junk|"s, 1000, Ok, L"tok"}, {L"1000|t", 1061, Expired, L""},
        {L"1000|t", 100000, Expired, L""}, {L"-9223372036854775807|t", 1000, Expired, L""},
        {L"1005|t", 1000, Ok, L"t"}, {L"1006|t", 1000, Expired, L""},
        {L"9223372036854775807|t", -1000, Expired, L""},
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
