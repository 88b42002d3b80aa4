// The main window in this process, under wine: opened with recording seams (tray, prompts), a
// bot check that answers only when a test posts its result, and a folder detection that finds
// two folders at once.
#pragma once

#include <windows.h>
// The headers below need windows.h first.
#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/AppMessages_win.h"
#include "common/PostedRecord_win.h"
#include "outlook/FolderDiscovery_win.h"
#include "support/PromptRecorder.h"
#include "ui/ModalLoop_win.h"
#include "ui/main/MainWindow_win.h"

namespace wrenpost {

using namespace std::chrono_literals;

inline void Pump(
    const std::function<bool()>& done = [] { return false; },
    std::chrono::milliseconds timeout = 5s) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    MSG msg;
    do {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done()) {
            return;
        }
        Sleep(5);
    } while (std::chrono::steady_clock::now() < deadline);
}

// Runs `step` from inside whatever loop dispatches next (a dialog's), every 20 ms until it says
// it is done, never inside itself. Timer procedures cannot capture, hence the one pending step.
inline std::function<bool()> pendingStep;
inline bool stepRunning = false;
inline void WhenReady(std::function<bool()> step) {
    pendingStep = std::move(step);
    SetTimer(nullptr, 0, 20, [](HWND, UINT, UINT_PTR timer, DWORD) {
        if (stepRunning || !pendingStep) {
            return;
        }
        stepRunning = true;
        const bool done = pendingStep();
        stepRunning = false;
        if (done) {
            KillTimer(nullptr, timer);
            pendingStep = nullptr;
        }
    });
}

// Runs `steps` in turn through WhenReady, each until it says it is done. A step that has not come
// within `limit` fails the test and ends the dialogs still open, so a stalled case cannot hang.
inline void WhenReadyInTurn(std::vector<std::function<bool()>> steps,
                            std::chrono::milliseconds limit = 30s) {
    auto next = std::make_shared<std::size_t>(0);
    const auto deadline = std::chrono::steady_clock::now() + limit;
    WhenReady([steps = std::move(steps), next, deadline] {
        if (std::chrono::steady_clock::now() > deadline) {
            if (*next < steps.size()) {
                ADD_FAILURE() << "step " << *next << " never came";
                *next = steps.size();
            }
            DestroyWindow(ActiveModalDialog());
            return ActiveModalDialog() == nullptr;
        }
        if (*next < steps.size() && steps[*next]()) {
            ++*next;
        }
        return *next == steps.size();
    });
}

// A step: `act` on the window of `className` once it is up, until `act` says it is done.
inline std::function<bool()> OnWindow(const wchar_t* className, std::function<bool(HWND)> act) {
    return [className, act = std::move(act)] {
        const HWND window = FindWindowW(className, nullptr);
        return window != nullptr && act(window);
    };
}

// After the dialogs a test drove have closed: every step of theirs has run.
inline void ExpectEveryStepRan() {
    EXPECT_FALSE(pendingStep) << "not every step ran";
    pendingStep = nullptr;
}

// The n-th child of a class, in creation order.
inline HWND Nth(HWND dialog, const wchar_t* className, int n) {
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t name[40] = L"";
        GetClassNameW(child, name, 40);
        if (_wcsicmp(name, className) == 0 && n-- == 0) {
            return child;
        }
    }
    return nullptr;
}

inline void Press(HWND dialog, int id) {
    PostMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

// The first lines of the boxes `recorder` was shown, in order.
inline std::vector<std::wstring> FirstLines(const testing::PromptRecorder& recorder) {
    std::vector<std::wstring> lines;
    for (const PromptRequest& request : recorder.Requests()) {
        lines.push_back(request.text.substr(0, request.text.find(L'\n')));
    }
    return lines;
}

inline SelectedFolder Folder(const wchar_t* store, const wchar_t* path) {
    SelectedFolder folder;
    folder.StoreName = store;
    folder.FolderPath = path;
    folder.Name = path;
    folder.EntryId = std::wstring(L"id-") + path;
    return folder;
}

class MainWindowFixture : public ::testing::Test {
public:
    void SetUp() override {
        ASSERT_TRUE(MainWindow::RegisterWindowClass(GetModuleHandleW(nullptr)));
    }
    void TearDown() override {
        releaseTransport_ = true;
        if (window_ && window_->Window()) {
            DestroyWindow(window_->Window());
        }
        Pump([] { return true; }, 0ms);
    }

    MainWindow& Open(std::function<void(MainWindowServices&)> adjust = {}) {
        MainWindowServices services;
        services.logCapacity = 200;
        services.trayNotify = [this](DWORD message, NOTIFYICONDATAW*) {
            ++trayCalls_[message];
            return TRUE;
        };
        // A check never answers by itself: the tests post the worker's result when they want it.
        services.telegramTransport = [this](const HttpRequest&) {
            while (!releaseTransport_) {
                Sleep(10);
            }
            return HttpResponse{};
        };
        services.startFolderDetection = [this](HWND window) {
            auto record = std::make_unique<FolderDiscoveryRecord>();
            record->Found = !outlookDown_;
            record->Folders = {Folder(L"Mailbox", L"Inbox"), Folder(L"Mailbox", L"Inbox\\Orders")};
            return PostRecord(window, kFolderDiscoveryMessage, std::move(record));
        };
        if (adjust) {
            adjust(services);
        }
        window_ = std::make_unique<MainWindow>(std::move(services));
        EXPECT_TRUE(window_->Create(GetModuleHandleW(nullptr), SW_SHOWNOACTIVATE));
        Pump([] { return true; }, 0ms);
        return *window_;
    }

    void Click(int id) {
        SendMessageW(window_->Window(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(window_->Control(id)));
    }
    void SetText(int id, const wchar_t* text) { SetWindowTextW(window_->Control(id), text); }
    // The boxes shown with `caption`, in order.
    std::vector<PromptRequest> Boxes(const std::wstring& caption) const {
        std::vector<PromptRequest> found = prompts_.Requests();
        std::erase_if(found, [&](const PromptRequest& r) { return r.caption != caption; });
        return found;
    }
    bool Logged(const std::wstring& text) const {
        const auto& lines = window_->LogLines().Lines();
        return std::any_of(lines.begin(), lines.end(), [&](const std::wstring& line) {
            return line.find(text) != std::wstring::npos;
        });
    }

protected:
    testing::PromptRecorder prompts_;
    std::unique_ptr<MainWindow> window_;
    std::map<DWORD, int> trayCalls_;
    std::atomic<bool> releaseTransport_{false};
    std::atomic<bool> outlookDown_{false};  // folder detection fails
};

}  // namespace wrenpost
