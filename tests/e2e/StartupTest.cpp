// Starting the real program: one ordinary instance per session, vault starts beside it.
#include <windows.h>
// The headers below need windows.h first.
#include <gtest/gtest.h>

#include <deque>

#include "support/Driver_win.h"
#include "ui/main/MainWindow_win.h"

namespace wrenpost::testing {
namespace {

constexpr milliseconds kTimeout{20000};

class StartupTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (HWND window : FindWindows(kMainWindowClass, kMainWindowTitle)) {
            PostMessageW(window, WM_CLOSE, 0, 0);
        }
        for (const UniqueHandle& process : started_) {
            // Every started instance must end by itself once its window is closed.
            const auto code = WaitForExit(process.get(), milliseconds(10000));
            EXPECT_EQ(code, std::optional<DWORD>(0));
            if (!code) {
                TerminateProcess(process.get(), 1);
            }
        }
    }

    HANDLE Start(const std::wstring& arguments = L"") {
        started_.push_back(Launch(BuildPath(L"bin/Wrenpost.exe"), arguments));
        EXPECT_TRUE(started_.back());
        return started_.back().get();
    }

    std::deque<UniqueHandle> started_;
};

TEST_F(StartupTest, OneOrdinaryInstancePerSessionAndVaultStartsBesideIt) {
    HWND window =
        WaitForWindow(kMainWindowClass, kMainWindowTitle, GetProcessId(Start()), kTimeout);
    ASSERT_NE(window, nullptr);
    // A second ordinary start, also through the bare switch without an identifier, leaves at once.
    EXPECT_EQ(WaitForExit(Start(), milliseconds(15000)), std::optional<DWORD>(0));
    EXPECT_EQ(WaitForExit(Start(L"--new-instance-from-vault"), milliseconds(15000)),
              std::optional<DWORD>(0));
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(FindWindows(kMainWindowClass, kMainWindowTitle).size(), 1u);

    const DWORD vault = GetProcessId(Start(L"--new-instance-from-vault abc123"));
    EXPECT_NE(WaitForWindow(kMainWindowClass, kMainWindowTitle, vault, kTimeout), nullptr);
    // No hand-off of that name exists: the new instance says so and carries on.
    const HWND box = WaitForWindow(L"#32770", L"Token Vault", vault, kTimeout);
    ASSERT_NE(box, nullptr);
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_EQ(FindWindows(kMainWindowClass, kMainWindowTitle).size(), 2u);
}

}  // namespace
}  // namespace wrenpost::testing
