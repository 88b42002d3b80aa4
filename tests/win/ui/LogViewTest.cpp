// The main window under wine: the bounded log buffer and view, the reader's scroll position,
// lines from other threads, and a creation that fails.
#include <windows.h>
// The headers below need windows.h first.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "common/AppMessages_win.h"
#include "support/PromptRecorder.h"
#include "ui/main/Application_win.h"
#include "ui/main/MainWindow_win.h"
#include "win/ui/MainWindowFixture.h"

namespace wrenpost {
namespace {

std::wstring Numbered(int i) {
    return L"2025-01-01 00:00:00 [INFO] line " + std::to_wstring(i);
}

class LogViewTest : public MainWindowFixture {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        Open([](MainWindowServices& services) { services.logCapacity = kCap; });
        edit_ = window_->MainLogView().Control();
        ASSERT_NE(edit_, nullptr);
    }
    void AppendNumbered(int from, int to) {
        for (int i = from; i <= to; ++i) {
            window_->AppendLogLine(Numbered(i));
        }
    }
    // The text of a line (first visible: -1), with the rich edit's line end.
    std::wstring Line(LONG line = -1) const {
        line =
            line < 0 ? static_cast<LONG>(SendMessageW(edit_, EM_GETFIRSTVISIBLELINE, 0, 0)) : line;
        wchar_t buffer[512] = {};
        *reinterpret_cast<WORD*>(buffer) = 510;
        return std::wstring(
            buffer, static_cast<std::size_t>(
                        SendMessageW(edit_, EM_GETLINE, line, reinterpret_cast<LPARAM>(buffer))));
    }

    // A smaller cap than the program's 5,000: wine's rich edit needs ~0.1 s per line at that
    // size, and the behaviour at the cap does not depend on its value.
    static constexpr std::size_t kCap = 300;
    HWND edit_ = nullptr;
};

TEST_F(LogViewTest, AtTheCapTheOldestLineGoesAndAReaderKeepsTheSameTextInView) {
    AppendNumbered(2, kCap - 10);  // after the start-up line
    window_->MainLogView().ScrollToLine(100);
    ASSERT_EQ(SendMessageW(edit_, EM_GETFIRSTVISIBLELINE, 0, 0), 100);
    ASSERT_FALSE(window_->MainLogView().IsFollowing());
    const std::wstring inView = Line();
    AppendNumbered(kCap - 9, kCap + 30);  // the last 31 of these each drop the oldest line
    EXPECT_EQ(window_->MainLogView().LineCount(), kCap);
    EXPECT_EQ(Line(0), Numbered(31) + L"\r");
    EXPECT_EQ(Line(kCap - 1), Numbered(kCap + 30) + L"\r");
    EXPECT_EQ(Line(), inView);
    EXPECT_FALSE(window_->MainLogView().IsFollowing());

    // Back at the bottom by hand: following again at once.
    SendMessageW(edit_, WM_VSCROLL, SB_BOTTOM, 0);
    EXPECT_TRUE(window_->MainLogView().IsFollowing());
    AppendNumbered(kCap + 31, kCap + 40);
    EXPECT_NE(Line(), inView);
    EXPECT_EQ(Line(kCap - 1), Numbered(kCap + 40) + L"\r");
}

TEST_F(LogViewTest, LinesFromSeveralThreadsArriveInPerThreadOrderAndNoneOnceTheWindowIsGone) {
    constexpr int kThreads = 4;
    constexpr int kPerThread = 50;
    // What the window logged at its start (the endpoint warnings depend on the prefix's settings).
    const std::size_t before = window_->LogLines().Lines().size();
    {
        std::vector<std::jthread> threads;  // joined at the end of the block: posting never waits
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([this, t] {
                for (int i = 0; i < kPerThread; ++i) {
                    window_->Log().Info(L"#T" + std::to_wstring(t) + L"-" + std::to_wstring(i));
                }
            });
        }
    }
    const std::size_t expected = before + kThreads * kPerThread;
    Pump([&] { return window_->LogLines().Lines().size() >= expected; }, 20s);
    ASSERT_EQ(window_->LogLines().Lines().size(), expected);
    EXPECT_EQ(window_->MainLogView().LineCount(), expected);
    std::vector<int> next(kThreads, 0);
    for (const auto& line : window_->LogLines().Lines()) {
        const auto at = line.find(L"] #T");
        if (at != std::wstring::npos) {
            const int thread = std::stoi(line.substr(at + 4));
            EXPECT_EQ(std::stoi(line.substr(line.find(L'-', at) + 1)), next[thread]++);
        }
    }

    HWND window = window_->Window();
    DestroyWindow(window);
    std::thread([this] { window_->Log().Info(L"from a worker"); }).join();
    window_->Log().Info(L"after the end");
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, window, kLogLineMessage, kLogLineMessage, PM_REMOVE));
    EXPECT_EQ(window_->LogLines().Lines().size(), expected);
}

// Refuses every child window, so the main window's WM_CREATE cannot build its controls.
LRESULT CALLBACK RefuseChildWindows(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND &&
        (reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs->style & WS_CHILD) != 0) {
        return 1;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST(MainWindowStart, AWindowThatCannotBeBuiltIsReportedAndTheStartFails) {
    testing::PromptRecorder prompts;
    HHOOK hook = SetWindowsHookExW(WH_CBT, RefuseChildWindows, nullptr, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    MainWindow window;
    ASSERT_TRUE(MainWindow::RegisterWindowClass(GetModuleHandleW(nullptr)));
    EXPECT_FALSE(window.Create(GetModuleHandleW(nullptr), SW_HIDE));
    EXPECT_EQ(window.Window(), nullptr);
    EXPECT_TRUE(prompts.Requests().empty());
    // The vault switch skips the single-instance check.
    EXPECT_EQ(RunApplication(GetModuleHandleW(nullptr), L"--new-instance-from-vault x", SW_HIDE),
              1);
    UnhookWindowsHookEx(hook);
    ASSERT_EQ(prompts.Requests().size(), 1u);
    EXPECT_EQ(prompts.Requests()[0].icon, PromptIcon::Error);
    // A failed creation leaves no quit behind that would end a later loop.
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

}  // namespace
}  // namespace wrenpost
