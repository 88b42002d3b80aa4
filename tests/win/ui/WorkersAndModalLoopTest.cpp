// Workers that fail to start or throw, and the nested modal loop, on real Win32 under wine: the
// window always hears back, the owner is left as found, and a quit still ends the program.
#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <stdexcept>
#include <system_error>

#include "common/AppMessages_win.h"
#include "common/WindowWorker_win.h"
#include "common/WorkerLauncher.h"
#include "ui/ModalLoop_win.h"

namespace wrenpost {
namespace {

struct Outcome final : PostedRecord {
    explicit Outcome(std::wstring reason) : text(std::move(reason)) {}
    std::wstring text;
};

bool ThrowingCreator(std::function<void()>) {
    throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
}

TEST(WindowWorker, AThrowingOrUnstartableWorkerPostsItsFailureRecord) {
    for (const bool creationFails : {false, true}) {
        std::optional<ScopedThreadCreator> seam;
        if (creationFails) {
            seam.emplace(ThrowingCreator);
        }
        HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      nullptr, nullptr);
        WindowWorker worker;
        worker.window = window;
        worker.message = kLogLineMessage;
        worker.work = []() -> std::unique_ptr<PostedRecord> { throw std::runtime_error("boom"); };
        worker.failure = [](const std::wstring& reason) {
            return std::make_unique<Outcome>(reason);
        };
        EXPECT_EQ(LaunchWindowWorker(std::move(worker)), !creationFails);
        MSG msg{};
        for (const DWORD end = GetTickCount() + 20000;
             !PeekMessageW(&msg, window, kLogLineMessage, kLogLineMessage, PM_REMOVE) &&
             GetTickCount() < end;) {
            Sleep(10);
        }
        ASSERT_EQ(msg.message, kLogLineMessage) << creationFails;
        const auto record = AdoptRecord<Outcome>(msg.wParam, msg.lParam);
        const std::wstring head = creationFails ? L"the worker thread could not be started: "
                                                : L"the worker failed: boom";
        EXPECT_EQ(record->text.substr(0, head.size()), head);
        DestroyWindow(window);
    }
}

enum class Trigger { EscapeKey, DestroyDialog, Quit };

// What the timer procedures below share with the test (they cannot capture).
struct ModalRun {
    HWND owner = nullptr;
    HWND dialog = nullptr;
    Trigger trigger = Trigger::Quit;
    bool ownerDisabledInside = false;
    ModalEnd end = ModalEnd::Failed;
} run;

// A top-level dialog stand-in: Esc through IsDialogMessageW arrives as IDCANCEL.
LRESULT CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 1);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// The dialog's nested loop runs inside a timer procedure of the outer loop; a timer of the
// dialog then fires inside the nested loop.
void CALLBACK RunDialog(HWND owner, UINT, UINT_PTR timer, DWORD) {
    KillTimer(owner, timer);
    SetTimer(run.dialog, 2, 10, [](HWND dialog, UINT, UINT_PTR timer, DWORD) {
        KillTimer(dialog, timer);
        if (run.trigger == Trigger::EscapeKey) {
            PostMessageW(dialog, WM_KEYDOWN, VK_ESCAPE, 0);
        } else if (run.trigger == Trigger::DestroyDialog) {
            DestroyWindow(dialog);
        } else {
            PostQuitMessage(42);
        }
    });
    run.end = RunModalLoop(owner, run.dialog, [] {
        run.ownerDisabledInside = !IsWindowEnabled(run.owner);
        return GetWindowLongPtrW(run.dialog, GWLP_USERDATA) == 1;
    });
    if (run.end != ModalEnd::Quit) {
        PostQuitMessage(0);
    }
}

TEST(ModalLoop, EndsOnDoneDialogGoneOrQuitAndRestoresExactlyTheOwnersState) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DialogProc;
    windowClass.lpszClassName = L"WrenpostModalLoopTest";
    RegisterClassW(&windowClass);
    const struct {
        Trigger trigger;
        bool ownerEnabled;
        ModalEnd expected;
    } cases[] = {
        {Trigger::EscapeKey, true, ModalEnd::Done},
        {Trigger::DestroyDialog, false, ModalEnd::DialogGone},
        {Trigger::Quit, true, ModalEnd::Quit},
        {Trigger::Quit, false, ModalEnd::Quit},
    };
    for (const auto& c : cases) {
        const int id = static_cast<int>(&c - cases);
        run = ModalRun{};
        run.trigger = c.trigger;
        run.owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200,
                                    nullptr, nullptr, nullptr, nullptr);
        EnableWindow(run.owner, c.ownerEnabled);
        run.dialog = CreateWindowExW(0, windowClass.lpszClassName, L"dialog", WS_POPUP | WS_VISIBLE,
                                     0, 0, 200, 100, run.owner, nullptr, nullptr, nullptr);
        ASSERT_NE(run.dialog, nullptr);
        SetTimer(run.owner, 1, 10, RunDialog);
        // A swallowed quit would leave the outer loop running: this one ends it with 99.
        const UINT_PTR safety =
            SetTimer(nullptr, 0, 5000, [](HWND, UINT, UINT_PTR, DWORD) { PostQuitMessage(99); });
        MSG msg{};
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            DispatchMessageW(&msg);
        }
        KillTimer(nullptr, safety);
        // The quit from inside the nested loop ended the outer one, with its exit code.
        EXPECT_EQ(msg.wParam, c.expected == ModalEnd::Quit ? 42u : 0u) << id;
        EXPECT_EQ(run.end, c.expected) << id;
        EXPECT_TRUE(run.ownerDisabledInside) << id;
        EXPECT_EQ(IsWindowEnabled(run.owner) != FALSE, c.ownerEnabled) << id;
        DestroyWindow(run.dialog);
        DestroyWindow(run.owner);
    }
}

}  // namespace
}  // namespace wrenpost
