// Starting the real program: one ordinary instance per session, vault starts beside it, and the
// application-data failure report.
#include <windows.h>
// The headers below need windows.h first.
#include <gtest/gtest.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <deque>
#include <fstream>

#include "common/UniqueHandle_win.h"
#include "support/Driver_win.h"
#include "ui/main/MainWindow_win.h"

namespace wrenpost::testing {
namespace {

constexpr milliseconds kStartTimeout{20000};

class StartupTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (HWND window : FindWindows(kMainWindowClass, kMainWindowTitle)) {
            PostMessageW(window, WM_CLOSE, 0, 0);
        }
        for (auto& process : started_) {
            // Every started instance must end by itself once its window is closed.
            const auto code = WaitForExit(process, milliseconds(10000));
            EXPECT_EQ(code, std::optional<DWORD>(0));
            if (!code) {
                TerminateProcess(process.process.get(), 1);
            }
        }
    }

    LaunchedProcess& Start(const std::wstring& arguments = L"") {
        auto launched = Launch(BuildPath(L"bin/Wrenpost.exe"), arguments);
        EXPECT_TRUE(launched.has_value());
        started_.push_back(std::move(*launched));
        return started_.back();
    }

    std::deque<LaunchedProcess> started_;
};

TEST_F(StartupTest, ASecondOrdinaryStartExitsWithZeroAndTheFirstWindowStays) {
    auto& first = Start();
    HWND window = WaitForWindow(kMainWindowClass, kMainWindowTitle, first.id, kStartTimeout);
    ASSERT_NE(window, nullptr);
    auto& second = Start();
    EXPECT_EQ(WaitForExit(second, milliseconds(15000)), std::optional<DWORD>(0));

    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(FindWindows(kMainWindowClass, kMainWindowTitle).size(), 1u);

    // The bare switch without an identifier is an ordinary start too.
    auto& bare = Start(L"--new-instance-from-vault");
    EXPECT_EQ(WaitForExit(bare, milliseconds(15000)), std::optional<DWORD>(0));
}

TEST_F(StartupTest, AVaultStartWithAnIdentifierOpensASecondWindow) {
    auto& first = Start();
    ASSERT_NE(WaitForWindow(kMainWindowClass, kMainWindowTitle, first.id, kStartTimeout), nullptr);
    auto& vault = Start(L"--new-instance-from-vault abc123");
    EXPECT_NE(WaitForWindow(kMainWindowClass, kMainWindowTitle, vault.id, kStartTimeout), nullptr);
    EXPECT_EQ(FindWindows(kMainWindowClass, kMainWindowTitle).size(), 2u);
    EXPECT_FALSE(WaitForExit(vault, milliseconds(0)).has_value());
}

TEST_F(StartupTest, AnUncreatableDataFolderIsReportedAndStartUpContinues) {
    PWSTR base = nullptr;
    const HRESULT found = SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &base);
    const UniqueCoTaskMemory owned(base);
    ASSERT_TRUE(SUCCEEDED(found));
    const std::filesystem::path blocker = std::filesystem::path(base) / L"Wrenpost";
    std::error_code ignored;
    std::filesystem::remove_all(blocker, ignored);
    { std::ofstream(blocker) << "a file where the folder should be"; }

    auto& program = Start();
    const auto box = WaitForMessageBox(program.id, kStartTimeout);
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->caption, L"Application Data Folder");
    EXPECT_NE(box->text.find(L"(Windows error "), std::wstring::npos);
    EXPECT_TRUE(AnswerMessageBox(*box, IDOK));
    EXPECT_NE(WaitForWindow(kMainWindowClass, kMainWindowTitle, program.id, kStartTimeout),
              nullptr);
    std::filesystem::remove(blocker, ignored);
}

}  // namespace
}  // namespace wrenpost::testing
