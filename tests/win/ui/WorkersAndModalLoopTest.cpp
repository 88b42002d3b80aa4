// Workers that fail to start or throw, on real Win32 under wine: the window always hears back.
#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <stdexcept>
#include <system_error>

#include "common/AppMessages_win.h"
#include "common/WindowWorker_win.h"
#include "common/WorkerLauncher.h"

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

}  // namespace
}  // namespace wrenpost
