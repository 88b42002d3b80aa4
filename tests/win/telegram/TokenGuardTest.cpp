// The duplicate-token guard: claims within one guard, between guards and between processes.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "common/UniqueHandle_win.h"
#include "support/HelperProgram_win.h"
#include "telegram/TokenGuard_win.h"

namespace wrenpost {
namespace {

// Another "instance": wrenpost_token_holder beside this program claims the token, signals
// `ready` and holds the token until `quit`.
UniqueHandle LaunchHolder(const std::wstring& token, const std::wstring& ready,
                          const std::wstring& quit) {
    return testing::StartBesideThisProgram(L"wrenpost_token_holder.exe",
                                           token + L" " + ready + L" " + quit);
}

TEST(TokenGuard, ClaimsWithinOneGuardBetweenGuardsAndBetweenProcesses) {
    const std::wstring suffix = std::to_wstring(GetCurrentProcessId());
    const std::wstring token = L"4711:shared-token-" + suffix;
    const std::wstring readyName = L"WrenpostTestReady" + suffix;
    const std::wstring quitName = L"WrenpostTestQuit" + suffix;
    UniqueHandle ready(CreateEventW(nullptr, TRUE, FALSE, readyName.c_str()));
    UniqueHandle quit(CreateEventW(nullptr, TRUE, FALSE, quitName.c_str()));
    ASSERT_TRUE(ready && quit);
    const UniqueHandle holder = LaunchHolder(token, readyName, quitName);
    ASSERT_TRUE(holder) << GetLastError();
    ASSERT_EQ(WaitForSingleObject(ready.get(), 30000), WAIT_OBJECT_0);

    TokenGuard guard;
    EXPECT_EQ(ClaimToken(guard, token), kTokenHeldElsewhere);
    SetEvent(quit.get());
    DWORD code = 999;
    WaitForSingleObject(holder.get(), 30000);
    EXPECT_TRUE(GetExitCodeProcess(holder.get(), &code) && code == 0);

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
