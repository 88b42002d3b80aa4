// The recovery key's printed form and the forms a user may type it in; entry ids.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace wrenpost
