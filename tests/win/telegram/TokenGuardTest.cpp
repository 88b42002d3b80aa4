// The duplicate-token guard: claims within one guard, between guards and between processes.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "common/UniqueHandle_win.h"
#include "support/HelperProgram_win.h"
#include "telegram/TokenGuard_win.h"

namespace wrenpost {
namespace {

TEST(TokenGuard, ClaimsWithinOneGuardBetweenGuardsAndBetweenProcesses) {
    const std::wstring token = L"4711:shared-token-" + std::to_wstring(GetCurrentProcessId());
    // Another "instance" claims the token and holds it until let go.
    testing::HeldByHelper holder(L"wrenpost_token_holder.exe", token, L"");
    ASSERT_TRUE(holder.Holding());

    TokenGuard guard;
    EXPECT_EQ(ClaimToken(guard, token), kTokenHeldElsewhere);
    EXPECT_EQ(holder.End(), 0u);

    EXPECT_EQ(ClaimToken(guard, token), kTokenClaimed);
    EXPECT_EQ(guard.heldName, TokenMutexName(token));
    EXPECT_EQ(ClaimToken(guard, token), kTokenAlreadyHeld);
    EXPECT_FALSE(IsTokenHeldElsewhere(guard, token));  // held here, not elsewhere
    // Claiming another token releases the first.
    ASSERT_EQ(ClaimToken(guard, token + L"-2"), kTokenClaimed);
    EXPECT_FALSE(IsTokenHeldElsewhere(TokenGuard(), token));
    ReleaseToken(guard);
    EXPECT_TRUE(guard.heldName.empty() && !guard.mutex);
}

// A token mutex this user may not open (another user's session created it) is held, not free.
TEST(TokenGuard, AMutexThatCannotBeOpenedCountsAsHeldElsewhere) {
    const std::wstring token = L"4712:other-user-" + std::to_wstring(GetCurrentProcessId());
    SECURITY_DESCRIPTOR nobody{};  // an empty access list: every open is denied
    ASSERT_TRUE(InitializeSecurityDescriptor(&nobody, SECURITY_DESCRIPTOR_REVISION));
    ASSERT_TRUE(SetSecurityDescriptorDacl(&nobody, TRUE, nullptr, FALSE));
    ACL empty{};
    ASSERT_TRUE(InitializeAcl(&empty, sizeof(empty), ACL_REVISION));
    ASSERT_TRUE(SetSecurityDescriptorDacl(&nobody, TRUE, &empty, FALSE));
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), &nobody, FALSE};
    const UniqueHandle other(CreateMutexW(&attributes, FALSE, TokenMutexName(token).c_str()));
    ASSERT_TRUE(other);
    EXPECT_TRUE(IsTokenHeldElsewhere(TokenGuard(), token));
    TokenGuard guard;
    EXPECT_EQ(ClaimToken(guard, token), kTokenHeldElsewhere);
    EXPECT_FALSE(guard.mutex);
}

}  // namespace
}  // namespace wrenpost
