// The duplicate-token guard: the mutex name, claims within one guard, between guards, and
// between processes.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "common/UniqueHandle_win.h"
#include "telegram/TokenGuard_win.h"

namespace wrenpost {
namespace {

TEST(TokenMutexName, IsTheLowerCaseSha256OfTheUtf8Token) {
    EXPECT_EQ(
        TokenMutexName(L"abc"),
        L"Global\\Wrenpost_Token_ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    // UTF-8 bytes of U+00E9 are C3 A9.
    EXPECT_EQ(
        TokenMutexName(L"\u00e9"),
        L"Global\\Wrenpost_Token_4a99557e4033c3539de2eb65472017cad5f9557f7a0625a09f1c3f6e2ba69c4c");
    EXPECT_NE(TokenMutexName(L"123:ABC"), TokenMutexName(L" 123:ABC"));  // callers trim
}

TEST(TokenGuard, ClaimsWithinAndBetweenGuards) {
    TokenGuard guard;
    TokenGuard other;
    EXPECT_EQ(ClaimToken(guard, L"guard-test-1"), kTokenClaimed);
    EXPECT_EQ(guard.heldName, TokenMutexName(L"guard-test-1"));
    EXPECT_EQ(ClaimToken(guard, L"guard-test-1"), kTokenAlreadyHeld);
    EXPECT_FALSE(IsTokenHeldElsewhere(guard, L"guard-test-1"));  // held here, not elsewhere
    EXPECT_TRUE(IsTokenHeldElsewhere(other, L"guard-test-1"));
    // A refused claim leaves the guard holding nothing.
    EXPECT_EQ(ClaimToken(other, L"guard-test-1"), kTokenHeldElsewhere);
    EXPECT_TRUE(other.heldName.empty());
    // Claiming another token releases the first.
    ASSERT_EQ(ClaimToken(guard, L"guard-test-2"), kTokenClaimed);
    EXPECT_FALSE(IsTokenHeldElsewhere(other, L"guard-test-1"));
    EXPECT_TRUE(IsTokenHeldElsewhere(other, L"guard-test-2"));
    ReleaseToken(guard);
    EXPECT_TRUE(guard.heldName.empty());
    EXPECT_FALSE(static_cast<bool>(guard.mutex));
    EXPECT_EQ(ClaimToken(other, L"guard-test-2"), kTokenClaimed);
}

// Another "instance": wrenpost_token_holder beside this program claims the token, signals
// `ready` and holds the token until `quit`; its exit code is the claim's result otherwise.
struct Helper {
    UniqueHandle process;
    bool Launch(const std::wstring& token, const std::wstring& ready, const std::wstring& quit) {
        wchar_t self[MAX_PATH];
        std::wstring path(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
        std::wstring command = L"\"" + path.substr(0, path.find_last_of(L"\\/") + 1) +
                               L"wrenpost_token_holder.exe\" " + token + L" " + ready + L" " + quit;
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info{};
        if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &info)) {
            return false;
        }
        CloseHandle(info.hThread);
        process.reset(info.hProcess);
        return true;
    }
    DWORD Wait() {
        DWORD code = 999;
        WaitForSingleObject(process.get(), 30000);
        GetExitCodeProcess(process.get(), &code);
        return code;
    }
};

TEST(TokenGuardAcrossProcesses, TheSecondInstanceIsRefusedUntilTheFirstExits) {
    const std::wstring suffix = std::to_wstring(GetCurrentProcessId());
    const std::wstring token = L"4711:shared-token-" + suffix;
    const std::wstring readyName = L"WrenpostTestReady" + suffix;
    const std::wstring quitName = L"WrenpostTestQuit" + suffix;
    UniqueHandle ready(CreateEventW(nullptr, TRUE, FALSE, readyName.c_str()));
    UniqueHandle quit(CreateEventW(nullptr, TRUE, FALSE, quitName.c_str()));
    ASSERT_TRUE(ready && quit);

    Helper first;
    ASSERT_TRUE(first.Launch(token, readyName, quitName)) << "cannot start " << GetLastError();
    ASSERT_EQ(WaitForSingleObject(ready.get(), 30000), WAIT_OBJECT_0);

    TokenGuard guard;
    EXPECT_TRUE(IsTokenHeldElsewhere(guard, token));
    EXPECT_EQ(ClaimToken(guard, token), kTokenHeldElsewhere);

    // A third instance is refused too, and says so by its exit code.
    Helper third;
    ASSERT_TRUE(third.Launch(token, readyName, quitName));
    EXPECT_EQ(third.Wait(), static_cast<DWORD>(kTokenHeldElsewhere));

    SetEvent(quit.get());
    EXPECT_EQ(first.Wait(), 0u);
    EXPECT_EQ(ClaimToken(guard, token), kTokenClaimed);
}

}  // namespace
}  // namespace wrenpost
