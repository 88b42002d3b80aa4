// The recovery key's printed form and the forms a user may type it in; entry ids.
#include <gtest/gtest.h>

#include "vault/RecoveryKey.h"

namespace wrenpost {
namespace {

RecoveryKeyRandom Counting(unsigned char start) {
    RecoveryKeyRandom random{};
    for (std::size_t i = 0; i < random.size(); ++i) {
        random[i] = static_cast<unsigned char>(start + i);
    }
    return random;
}

TEST(RecoveryKeyFormat, UsesTheLowFiveBitsOfEachByteInSixGroupsOfFour) {
    EXPECT_EQ(FormatRecoveryKey(Counting(0)), L"2345-6789-ABCD-EFGH-JKLM-NPQR");
    // 0xE8 & 31 = 8 -> 'A'; the high bits never matter.
    EXPECT_EQ(FormatRecoveryKey(Counting(0xE8)), FormatRecoveryKey(Counting(8)));
    EXPECT_EQ(FormatRecoveryKey(Counting(8)), L"ABCD-EFGH-JKLM-NPQR-STUV-WXYZ");
}

TEST(RecoveryKeyFormat, NeverUsesAmbiguousSymbols) {
    for (int start = 0; start < 256; ++start) {
        const std::wstring key = FormatRecoveryKey(Counting(static_cast<unsigned char>(start)));
        ASSERT_EQ(key.size(), 29u);
        for (std::size_t i = 0; i < key.size(); ++i) {
            if (i % 5 == 4) {
                EXPECT_EQ(key[i], L'-');
            } else {
                EXPECT_EQ(std::wstring(L"01IO-").find(key[i]), std::wstring::npos) << i;
            }
        }
    }
}

TEST(RecoveryKeyNormalize, AcceptsLowerCaseMissingDashesAndSpacing) {
    const std::wstring printed = L"ABCD-EFGH-JKLM-NPQR-STUV-WXYZ";
    const std::wstring expected = L"ABCDEFGHJKLMNPQRSTUVWXYZ";
    EXPECT_EQ(NormalizeRecoveryKey(printed), expected);
    EXPECT_EQ(NormalizeRecoveryKey(L"abcd-efgh-jklm-npqr-stuv-wxyz"), expected);
    EXPECT_EQ(NormalizeRecoveryKey(L"ABCDEFGHJKLMNPQRSTUVWXYZ"), expected);
    EXPECT_EQ(NormalizeRecoveryKey(L" abcd efgh\tjklm\r\nnpqr--stuv wxyz \n"), expected);
}

TEST(RecoveryKeyNormalize, LeavesOtherCharactersForTheVerifierToRefuse) {
    EXPECT_EQ(NormalizeRecoveryKey(L"ab_\u00e9\u0418.1"), L"AB_\u00e9\u0418.1");
    EXPECT_EQ(NormalizeRecoveryKey(L" - \t"), L"");
}

TEST(VaultEntryIdFormat, PrintsTheBytesInOrderAsUpperCaseHex) {
    EXPECT_EQ(FormatVaultEntryId({0x00, 0x01, 0x9A, 0xBC, 0xDE, 0xF0, 0x7F, 0xFF}),
              L"00019ABCDEF07FFF");
}

}  // namespace
}  // namespace wrenpost
