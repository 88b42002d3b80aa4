// The platform pieces every subsystem leans on, under wine's real Win32.
#include <gtest/gtest.h>
#include <windows.h>

#include <thread>
#include <tuple>

#include "common/AppMessages_win.h"
#include "common/PostedRecord_win.h"
#include "common/Prompt.h"

namespace wrenpost {
namespace {

struct CountedRecord : PostedRecord {
    explicit CountedRecord(int* alive) : alive(alive) { ++*alive; }
    ~CountedRecord() override { --*alive; }
    int* alive;
};

TEST(PostedRecords, AreFreedWhenTheWindowIsGoneOrDestroyedWithThemQueued) {
    int alive = 0;
    HWND window =
        CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    const auto post = [&] {
        return PostRecord(window, kLogLineMessage, std::make_unique<CountedRecord>(&alive));
    };
    EXPECT_TRUE(post());
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, window, kLogLineMessage, kLogLineMessage, PM_REMOVE));
    EXPECT_EQ(alive, 1);
    AdoptRecord<CountedRecord>(msg.wParam, msg.lParam).reset();
    EXPECT_EQ(alive, 0);

    // A quit request queued before the window goes away must survive the clean-up.
    EXPECT_TRUE(post());
    PostQuitMessage(7);
    DiscardPendingRecords(window);
    EXPECT_EQ(alive, 0);
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 7u);

    DestroyWindow(window);
    EXPECT_FALSE(post());
    EXPECT_EQ(alive, 0);
}

// Enter on the real message box answers its default button: No where Yes would lose something.
TEST(PromptDefaultButton, EnterAnswersTheChosenDefault) {
    // The unsaved-changes question: Yes / No / Cancel, Enter saves.
    const std::tuple<PromptButtons, PromptRequest::Default, PromptAnswer> rows[] = {
        {PromptButtons::YesNo, PromptRequest::Default::First, PromptAnswer::Yes},
        {PromptButtons::YesNo, PromptRequest::Default::Second, PromptAnswer::No},
        {PromptButtons::YesNoCancel, PromptRequest::Default::First, PromptAnswer::Yes}};
    for (const auto& [buttons, choice, expected] : rows) {
        std::thread enter([] {
            for (int tries = 0; tries < 500; ++tries) {
                if (HWND box = FindWindowW(L"#32770", L"Default Test")) {
                    PostMessageW(box, WM_KEYDOWN, VK_RETURN, 0);
                    return;
                }
                Sleep(10);
            }
        });
        PromptRequest request;
        request.caption = L"Default Test";
        request.text = L"Stop anyway and discard them?";
        request.buttons = buttons;
        request.defaultButton = choice;
        EXPECT_EQ(ShowPlatformPrompt(request), expected);
        enter.join();
    }
}

}  // namespace
}  // namespace wrenpost
