// The main window's update checks: the automatic ones and About's, their results, and the
// "Update Available" window.
#include <windows.h>
// The headers below need windows.h first.
#include <shellapi.h>

#include <utility>

#include "app/AppStateStore_win.h"
#include "common/Text.h"
#include "ui/ModalLoop_win.h"
#include "ui/main/AboutDialog_win.h"
#include "ui/main/MainWindow_win.h"
#include "ui/main/UpdateAvailableDialog_win.h"
#include "ui/main/WindowPrompt_win.h"
#include "update/UpdateService_win.h"

namespace wrenpost {

UpdateCheckLauncher MainWindow::UpdateLauncherFor(const MainWindowServices& services) {
    if (services.programVersion) {
        return UpdateCheckLauncher(&UpdateChecker::FetchLatestManifest, services.programVersion);
    }
    return UpdateCheckLauncher();
}

void MainWindow::StartAutomaticUpdateChecks() {
    StartUpdateCheck(false);
    SetTimer(Window(), kTimerUpdateCheck, 86'400'000, nullptr);
}

void MainWindow::StartUpdateCheck(bool manual) {
    // The user asked while an automatic check was running: that check's result answers them.
    if (!updateChecks_.Start(Window(), manual) && manual && updateChecks_.IsRunning()) {
        manualCheckWaiting_ = true;
    }
}

void MainWindow::ShowAbout() {
    RunAboutDialog(Window(), [this](HWND about) {
        aboutWindow_ = about;
        StartUpdateCheck(true);
    });
    aboutWindow_ = nullptr;
}

bool MainWindow::OnUpdateMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kUpdateCheckResultMessage) {
        std::unique_ptr<UpdateCheckRecord> record = updateChecks_.Finish(wParam, lParam);
        if (!record) {
            return true;
        }
        if (std::exchange(manualCheckWaiting_, false)) {
            record->result.manual = true;
        }
        if (record->result.outcome == UpdateOutcome::CheckFailed) {
            log_.Info(L"Update check failed: " + Utf8ToWide(record->result.failureReason));
        }
        // A newer result replaces one still held.
        heldUpdate_ = std::move(record);
        ShowHeldUpdateResult();
        return true;
    }
    if (message == kHeldUpdateResultMessage) {
        ShowHeldUpdateResult();
        return true;
    }
    // The window is enabled again while the closing dialog still counts as open: look once its
    // loop has returned.
    if (message == WM_ENABLE && wParam != FALSE && heldUpdate_) {
        PostMessageW(Window(), kHeldUpdateResultMessage, 0, 0);
    }
    return false;
}

void MainWindow::ShowHeldUpdateResult() {
    if (!heldUpdate_) {
        return;
    }
    const bool overAbout = heldUpdate_->result.manual && aboutWindow_ != nullptr &&
                           IsWindow(aboutWindow_) && ActiveModalDialog() == aboutWindow_;
    HWND owner = overAbout ? aboutWindow_ : Window();
    // Opened over another dialog or box, ours would find its owner enabled again under it when
    // that one closes: wait for it (WM_ENABLE brings the result back).
    if (!overAbout && (ActiveModalDialog() != nullptr || !IsWindowEnabled(Window()))) {
        return;
    }
    const std::unique_ptr<UpdateCheckRecord> record = std::move(heldUpdate_);
    const UpdateCheckResult& result = record->result;
    const AppState state = LoadAppState();
    switch (DecideUpdateResultAction(result, state.LastDismissedUpdateVersion,
                                     state.LastDismissedUpdateAtEpochSeconds, SystemClock())) {
        case UpdateResultAction::ShowUnableToCheck:
            Tell(owner, kCheckForUpdatesCaption, kUnableToCheckText, PromptIcon::Information);
            break;
        case UpdateResultAction::ShowUpToDate:
            Tell(owner, kCheckForUpdatesCaption, kUpToDateText, PromptIcon::Information);
            break;
        case UpdateResultAction::ShowUpdateWindow:
            ShowUpdateWindow(owner, result);
            break;
        case UpdateResultAction::Nothing:
            break;
    }
}

void MainWindow::ShowUpdateWindow(HWND owner, const UpdateCheckResult& result) {
    updateChecks_.SetUpdateWindowOpen(true);
    const UpdateChoice choice =
        RunUpdateAvailableDialog(owner, Window(), result, [this] { return OpenDownloadPage(); });
    updateChecks_.SetUpdateWindowOpen(false);
    if (choice != UpdateChoice::Later) {
        return;
    }
    const std::int64_t now = ToUnixSeconds(SystemClock().Now());
    std::wstring error;
    if (!UpdateAppState(
            [&](AppState& state) {
                state.LastDismissedUpdateVersion = result.latestVersionText;
                state.LastDismissedUpdateAtEpochSeconds = now;
            },
            &error)) {
        log_.Error(L"Could not save the postponed update; it will be offered again. " + error);
    }
}

bool MainWindow::OpenDownloadPage() {
    UpdateEndpoint endpoint;
    std::wstring error;
    if (!ResolveUpdateEndpoint(endpoint, error)) {
        log_.Error(L"Download page unknown: " + error);
        return false;
    }
    const std::wstring link = UpdateServiceAddress(endpoint, L"/download");
    if (services_.openLink) {
        return services_.openLink(link);
    }
    const auto opened =
        ShellExecuteW(Window(), L"open", link.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(opened) > 32;
}

}  // namespace wrenpost
