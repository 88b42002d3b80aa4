// The main window under wine: the bounded log buffer and views, the reader's scroll position,
// colours, the detached window, lines from other threads, and a creation that fails.
#include <windows.h>
// The headers below need windows.h first.
#include <gtest/gtest.h>
#include <richedit.h>

#include <chrono>
#include <thread>
#include <vector>

#include "common/AppMessages_win.h"
#include "support/PromptRecorder.h"
#include "ui/main/Application_win.h"
#include "ui/main/MainWindow_win.h"

namespace wrenpost {
namespace {

void PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    MSG msg;
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(5);
    }
}

std::wstring LineText(HWND edit, LONG line) {
    wchar_t buffer[512] = {};
    *reinterpret_cast<WORD*>(buffer) = 510;
    const auto length = SendMessageW(edit, EM_GETLINE, line, reinterpret_cast<LPARAM>(buffer));
    return std::wstring(buffer, static_cast<std::size_t>(length));
}

std::wstring FirstVisibleText(HWND edit) {
    return LineText(edit, static_cast<LONG>(SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0)));
}

COLORREF ColourAt(HWND edit, LONG position) {
    CHARRANGE range{position, position + 1};
    SendMessageW(edit, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    CHARFORMAT2W format{};
    format.cbSize = sizeof(format);
    format.dwMask = CFM_COLOR;
    SendMessageW(edit, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
    return format.crTextColor;
}

std::wstring Numbered(int i) {
    return L"2025-01-01 00:00:00 [INFO] line " + std::to_wstring(i);
}

class LogViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(MainWindow::RegisterWindowClass(GetModuleHandleW(nullptr)));
        ASSERT_TRUE(window_.Create(GetModuleHandleW(nullptr), SW_SHOWNOACTIVATE));
        edit_ = window_.MainLogView().Control();
        ASSERT_NE(edit_, nullptr);
    }
    void TearDown() override {
        if (window_.Window()) {
            DestroyWindow(window_.Window());
        }
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
    void AppendNumbered(int from, int to) {
        for (int i = from; i <= to; ++i) {
            window_.AppendLogLine(Numbered(i));
        }
    }

    // A smaller cap than the program's 5,000: wine's rich edit needs ~0.1 s per line at that
    // size, and the behaviour at the cap does not depend on its value.
    static constexpr std::size_t kCap = 300;
    testing::PromptRecorder prompts_;
    MainWindow window_{kCap};
    HWND edit_ = nullptr;
};

TEST_F(LogViewTest, AtTheCapTheOldestLineGoesAndAReaderKeepsTheSameTextInView) {
    AppendNumbered(2, kCap - 10);  // after the start-up line
    window_.MainLogView().ScrollToLine(100);
    ASSERT_EQ(SendMessageW(edit_, EM_GETFIRSTVISIBLELINE, 0, 0), 100);
    ASSERT_FALSE(window_.MainLogView().IsFollowing());
    const std::wstring inView = FirstVisibleText(edit_);
    AppendNumbered(kCap - 9, kCap + 30);  // the last 31 of these each drop the oldest line
    ASSERT_EQ(window_.LogLines().Lines().size(), kCap);
    EXPECT_EQ(window_.LogLines().Lines().front(), Numbered(31));
    EXPECT_EQ(window_.MainLogView().LineCount(), kCap);
    EXPECT_EQ(LineText(edit_, 0), Numbered(31) + L"\r");
    EXPECT_EQ(LineText(edit_, kCap - 1), Numbered(kCap + 30) + L"\r");
    EXPECT_EQ(FirstVisibleText(edit_), inView);
    EXPECT_FALSE(window_.MainLogView().IsFollowing());

    // Back at the bottom by hand: following again at once.
    SendMessageW(edit_, WM_VSCROLL, SB_BOTTOM, 0);
    EXPECT_TRUE(window_.MainLogView().IsFollowing());
    AppendNumbered(kCap + 31, kCap + 40);
    EXPECT_NE(FirstVisibleText(edit_), inView);
    EXPECT_EQ(LineText(edit_, kCap - 1), Numbered(kCap + 40) + L"\r");
}

TEST_F(LogViewTest, TheHeadIsBlueTheBodyGreenAndALineWithoutHeadAllGreen) {
    window_.AppendLogLine(L"2025-01-01 10:00:00 [ERROR] a] b");
    window_.AppendLogLine(L"no head at all");
    const LONG second = static_cast<LONG>(SendMessageW(edit_, EM_LINEINDEX, 1, 0));
    const LONG third = static_cast<LONG>(SendMessageW(edit_, EM_LINEINDEX, 2, 0));
    EXPECT_EQ(ColourAt(edit_, second), RGB(80, 160, 255));
    EXPECT_EQ(ColourAt(edit_, second + 27), RGB(80, 160, 255));  // the space after "]"
    EXPECT_EQ(ColourAt(edit_, second + 28), RGB(0, 255, 0));     // "a] b" is body
    EXPECT_EQ(ColourAt(edit_, third), RGB(0, 255, 0));

    PARAFORMAT2 paragraph{};
    paragraph.cbSize = sizeof(paragraph);
    CHARRANGE range{second, second};
    SendMessageW(edit_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    SendMessageW(edit_, EM_GETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&paragraph));
    EXPECT_GT(paragraph.dxOffset, 0);  // wrapped lines start under the body
}

TEST_F(LogViewTest, ClearEmptiesOnlyTheViewAndTheDetachedWindowShowsEverything) {
    AppendNumbered(2, 20);
    window_.MainLogView().Clear();
    EXPECT_EQ(window_.MainLogView().LineCount(), 0u);
    EXPECT_EQ(window_.LogLines().Lines().size(), 20u);

    window_.OpenDetachedLog();
    ASSERT_TRUE(window_.DetachedLog().IsOpen());
    EXPECT_EQ(window_.DetachedLog().View().LineCount(), 20u);
    HWND detached = window_.DetachedLog().Window();
    window_.OpenDetachedLog();  // a second request brings the same window forward
    EXPECT_EQ(window_.DetachedLog().Window(), detached);

    window_.AppendLogLine(Numbered(21));
    EXPECT_EQ(window_.DetachedLog().View().LineCount(), 21u);
    EXPECT_EQ(window_.MainLogView().LineCount(), 1u);

    DestroyWindow(detached);
    EXPECT_FALSE(window_.DetachedLog().IsOpen());
    window_.OpenDetachedLog();
    EXPECT_EQ(window_.DetachedLog().View().LineCount(), 21u);
}

TEST_F(LogViewTest, LinesFromSeveralThreadsAllArriveInPerThreadOrder) {
    constexpr int kThreads = 4;
    constexpr int kPerThread = 50;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([this, t] {
            for (int i = 0; i < kPerThread; ++i) {
                window_.Log().Info(L"T" + std::to_wstring(t) + L"-" + std::to_wstring(i));
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();  // posting never waits for the window
    }
    const std::size_t expected = 1 + kThreads * kPerThread;
    PumpUntil([&] { return window_.LogLines().Lines().size() == expected; },
              std::chrono::seconds(20));
    ASSERT_EQ(window_.LogLines().Lines().size(), expected);
    EXPECT_EQ(window_.MainLogView().LineCount(), expected);
    std::vector<int> next(kThreads, 0);
    for (const auto& line : window_.LogLines().Lines()) {
        const auto at = line.find(L"] T");
        if (at != std::wstring::npos) {
            const int thread = std::stoi(line.substr(at + 3));
            EXPECT_EQ(std::stoi(line.substr(line.find(L'-', at) + 1)), next[thread]++);
        }
    }
}

TEST_F(LogViewTest, AWorkerLoggingAfterTheWindowIsGoneReachesNothing) {
    HWND window = window_.Window();
    DestroyWindow(window);
    std::thread([this] { window_.Log().Info(L"from a worker"); }).join();
    window_.Log().Info(L"after the end");
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, window, kLogLineMessage, kLogLineMessage, PM_REMOVE));
    EXPECT_EQ(window_.LogLines().Lines().size(), 1u);
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
