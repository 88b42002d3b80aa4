// START and STOP: a monitor session on the saved profile or on a temporary copy of the form, the
// engine's reports, and the window's and tray's view of the session.
#include <windows.h>

#include <algorithm>
#include <ctime>
#include <system_error>

#include "app/AppPaths_win.h"
#include "app/AppStateStore_win.h"
#include "app/CrashReporter_win.h"
#include "app/EndpointNotices_win.h"
#include "app/RunningInstances_win.h"
#include "common/AppMessages_win.h"
#include "common/LocalTime.h"
#include "common/PostedRecord_win.h"
#include "common/Text.h"
#include "monitor/MonitorDependencies_win.h"
#include "profile/CheckInterval.h"
#include "profile/InitialMonitorStatus.h"
#include "profile/ProfileFolders.h"
#include "profile/ProfileName.h"
#include "profile/TemporaryProfiles.h"
#include "profile/TokenFile_win.h"
#include "rules/RulesFile.h"
#include "telegram/BotCheck.h"
#include "ui/main/MainWindow_win.h"
#include "ui/main/WindowPrompt_win.h"
#include "ui/recipients/RecipientsManager_win.h"

namespace wrenpost {
namespace {

struct MonitorStatusRecord final : PostedRecord {
    std::wstring lastCheck;
    std::int32_t messagesSent = 0;
    std::int32_t waiting = 0;  // the outbox: what "Queue:" shows
    std::wstring status;
};

bool Exists(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

}  // namespace

void MainWindow::CreateMonitorEngine() {
    engine_ = std::make_unique<MonitorEngine>(
        services_.monitor ? *services_.monitor : WindowsMonitorDependencies(WindowLog()));
}

bool MainWindow::OnMonitorMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kMonitorStatusMessage) {
        if (auto record = AdoptRecord<MonitorStatusRecord>(wParam, lParam)) {
            OnMonitorStatus(record->lastCheck, record->messagesSent, record->waiting,
                            record->status);
        }
        return true;
    }
    if (message == kRecipientNotifiedMessage) {
        if (auto record = AdoptRecord<RecipientNotifiedRecord>(wParam, lParam)) {
            OnRecipientNotified(record->chatId, record->when);
        }
        return true;
    }
    return false;
}

void MainWindow::StartMonitoring() {
    const std::wstring name = TrimWhitespace(ControlText(kIdProfileName));
    std::wstring token = TrimWhitespace(ControlText(kIdAccessToken));
    const bool anyAllowed = std::any_of(recipients_.begin(), recipients_.end(),
                                        [](const RecipientEntry& entry) { return entry.Allowed; });
    if (monitoring_) {
        Tell(Window(), L"Already Running", L"Monitor is already running.", PromptIcon::Information);
        return;
    }
    const std::int32_t interval = SessionCheckInterval(ControlText(kIdCheckSeconds));
    if (const std::wstring problem = ProfileNameProblem(name); !problem.empty()) {
        Tell(Window(), L"Invalid Profile Name", problem, PromptIcon::Warning);
        return;
    }
    std::wstring sessionName = name;
    if (sessionName.empty()) {
        std::tm local{};
        ToLocalCalendar(std::time(nullptr), local);
        sessionName = SessionNameAt(local);
    }

    MonitorSession session;
    session.ProfileName = sessionName;
    session.CheckIntervalSeconds = interval;
    std::filesystem::path folder;
    if (!name.empty()) {
        folder = ProfileFolderFor(ProfilesFolder(), profileFolder_, name);
    }
    const std::filesystem::path configPath = folder / (name + L"Config.json");
    const std::filesystem::path tokenPath = folder / (name + L".token");
    // Without an application-data folder the path is relative: nothing of ours is there.
    if (folder.is_absolute() && Exists(configPath) && Exists(tokenPath)) {
        if (!PrepareSavedSession(folder, token, session)) {
            return;
        }
    } else {
        if (token.empty()) {
            Tell(Window(), L"Missing Token", L"Enter Access Token first.", PromptIcon::Warning);
            return;
        }
        if (!anyAllowed) {
            Tell(Window(), L"Missing Recipient", L"Please select a Telegram recipient first.",
                 PromptIcon::Warning);
            return;
        }
        if (selectedFolders_.empty()) {
            Tell(Window(), L"No Outlook Folder Selected",
                 L"Please select at least one Outlook folder before starting the monitor.",
                 PromptIcon::Warning);
            return;
        }
        if (!PrepareTemporaryProfile(sessionName, token, interval)) {
            return;
        }
        session.ProfileName = TemporaryProfileName(sessionName);
        session.ProfileFolder = temporaryProfile_;
        session.IncludeOldMessages = IsChecked(kIdSendExistingUnread);
    }
    session.BotToken = token;

    if (ClaimTokenAlongside(sessionGuard_, tokenGuard_, token) == kTokenHeldElsewhere) {
        PromptRequest prompt = DuplicateTokenPrompt(L"");
        prompt.owner = reinterpret_cast<std::uintptr_t>(Window());
        ShowPrompt(prompt);
        DeleteTemporaryProfile(temporaryProfile_, WindowLog());
        return;
    }
    tray_.SetState(TrayState::Stopping);
    AttachSessionCallbacks(session);
    sessionName_ = sessionName;
    const std::wstring crashName = session.ProfileName;
    const std::filesystem::path statusFile =
        session.ProfileFolder / (session.ProfileName + L"Monitor.json");
    OnMonitorStarted(engine_->Start(std::move(session)));
    if (monitoring_) {
        SetCrashReportProfile(crashName, statusFile);
        CrashHereForTesting(CrashTestPoint::WindowThread);
        CrashHereForTesting(CrashTestPoint::Abort);
    }
}

// A session on the saved profile in `folder`: its own configuration, token and folders.
bool MainWindow::PrepareSavedSession(const std::filesystem::path& folder, std::wstring& token,
                                     MonitorSession& session) {
    const std::wstring& name = session.ProfileName;
    const std::filesystem::path configPath = folder / (name + L"Config.json");
    const std::filesystem::path tokenPath = folder / (name + L".token");
    ProfileConfigStore saved;
    if (!saved.ReadProfileConfig(configPath)) {
        Tell(Window(), L"Config Error", L"Failed to load config before starting.",
             PromptIcon::Error);
        return false;
    }
    token = ReadTokenFile(tokenPath);
    if (token.empty()) {
        Tell(Window(), L"Token Error", L"Failed to load encrypted token.", PromptIcon::Error);
        return false;
    }
    if (saved.Current().SelectedFolders.empty()) {
        Tell(Window(), L"No Outlook Folder Selected",
             L"The saved profile does not contain any selected Outlook folders.",
             PromptIcon::Warning);
        return false;
    }
    session.ProfileFolder = folder;
    session.IncludeOldMessages = saved.Current().IncludeOldMessages;
    session.ResumeAtSignIn = resumingAtSignIn_;
    return true;
}

void MainWindow::AttachSessionCallbacks(MonitorSession& session) {
    session.OnLog = [log = &log_](const std::wstring& line) { log->Info(line); };
    // The worker reaches the window only through posted records.
    session.OnStatus = [window = Window()](const MonitorProgress& progress) {
        auto record = std::make_unique<MonitorStatusRecord>();
        record->lastCheck = progress.LastCheck;
        record->messagesSent = progress.MessagesSent;
        record->waiting = progress.Waiting;
        record->status = progress.Status;
        PostRecord(window, kMonitorStatusMessage, std::move(record));
    };
    session.OnRecipientNotified = [window = Window()](const std::wstring& chatId,
                                                      const std::wstring& when) {
        auto record = std::make_unique<RecipientNotifiedRecord>();
        record->chatId = chatId;
        record->when = when;
        PostRecord(window, kRecipientNotifiedMessage, std::move(record));
    };
}

bool MainWindow::PrepareTemporaryProfile(const std::wstring& sessionName, const std::wstring& token,
                                         std::int32_t interval) {
    DeleteTemporaryProfile(temporaryProfile_, WindowLog());
    const std::wstring profileName = TemporaryProfileName(sessionName);
    const std::filesystem::path profiles = ProfilesFolder();
    // This instance's own folder: another instance's session of the same name has its own.
    temporaryProfile_ = TemporaryProfileFolder(profiles, sessionName, CurrentInstance());
    const std::filesystem::path& folder = temporaryProfile_;
    ProfileConfig config = GatherProfile();
    config.ProfileName = profileName;
    config.CheckInterval = interval;

    std::error_code error;
    if (!profiles.empty()) {
        std::filesystem::create_directories(folder, error);
    }
    const wchar_t* failure = nullptr;
    if (profiles.empty() || error ||
        !SaveProfileConfig(folder / (profileName + L"Config.json"), config)) {
        failure = L"Failed to create temporary config.";
    } else if (!WriteTokenFile(folder / (profileName + L".token"), token)) {
        failure = L"Failed to create temporary token.";
    } else if (!WriteInitialMonitorStatus(folder / (profileName + L"Monitor.json"), profileName)) {
        failure = L"Failed to create temporary monitor file.";
    } else if (!SaveRulesFile(folder / (profileName + L"Rules.json"), rules_)) {
        failure = L"Failed to create temporary notification rules.";
    }
    if (failure != nullptr) {
        Tell(Window(), L"Temp Error", failure, PromptIcon::Error);
        DeleteTemporaryProfile(temporaryProfile_, WindowLog());
        return false;
    }
    log_.Info(L"Temporary profile created: " + folder.wstring());
    return true;
}

void MainWindow::OnMonitorStarted(bool started) {
    if (!started) {
        ReleaseToken(sessionGuard_);
        tray_.SetState(TrayState::Stopped);
        Tell(Window(), L"Start Failed", L"Failed to start monitor.", PromptIcon::Error);
        log_.Error(L"Failed to start MonitorEngine.");
        DeleteTemporaryProfile(temporaryProfile_, WindowLog());
        return;
    }
    monitoring_ = true;
    formHoldsSession_ = true;
    waitingShown_ = static_cast<std::int32_t>(engine_->WaitingNotifications());
    SetControlText(kIdQueue, L"Queue: " + std::to_wstring(waitingShown_));
    tray_.SetState(TrayState::Running);
    SetStatus(L"Status: Monitor Running");
    log_.Info(L"MonitorEngine started.");
    LogNonDefaultEndpoints(WindowLog());
    mainLogView_.ScrollToEnd();
    lamp_ = LampState::Running;
    SetControlText(kIdMonitorLamp, L"Monitor: running");  // what a screen reader says of it
    InvalidateRect(Control(kIdMonitorLamp), nullptr, TRUE);
    lastCycle_.clear();
    ShowIdentity();
}

void MainWindow::OnMonitorStatus(const std::wstring& lastCheck, std::int32_t sent,
                                 std::int32_t queue, const std::wstring& status) {
    SetControlText(kIdLastCheck, L"Last Check: " + lastCheck);
    SetControlText(kIdMessagesSent, L"Messages Sent: " + std::to_wstring(sent));
    SetControlText(kIdQueue, L"Queue: " + std::to_wstring(queue));
    waitingShown_ = queue;
    // A report the worker posted just before STOP must not undo "Monitor Stopped".
    if (!monitoring_) {
        return;
    }
    SetStatus(L"Status: " + status);
    lastCycle_ = status == L"Running" ? lastCheck : lastCheck + L" (" + status + L")";
    ShowIdentity();
}

void MainWindow::OnRecipientNotified(const std::wstring& chatId, const std::wstring& when) {
    const auto found =
        std::find_if(recipients_.begin(), recipients_.end(),
                     [&](const RecipientEntry& entry) { return entry.ChatId == chatId; });
    if (found != recipients_.end()) {
        found->LastNotification = when;
    }
    if (recipientsManager_ != nullptr) {
        auto forwarded = std::make_unique<RecipientNotifiedRecord>();
        forwarded->chatId = chatId;
        forwarded->when = when;
        PostRecord(recipientsManager_, kRecipientNotifiedForwardMessage, std::move(forwarded));
    }
}

void MainWindow::StopCommand() {
    if (!monitoring_) {
        Tell(Window(), L"Not Running", L"Monitor is not running.", PromptIcon::Information);
        return;
    }
    if (ConfirmDiscardWaiting()) {
        StopMonitoring();
    }
}

void MainWindow::StopFromTray() {
    if (!monitoring_) {
        return;
    }
    const std::size_t waiting = engine_->WaitingNotifications();
    if (!temporaryProfile_.empty() && waiting > 0) {
        log_.Warning(std::to_wstring(waiting) +
                     L" undelivered notifications of the unsaved session were discarded: "
                     L"monitoring was stopped from the tray.");
    }
    StopMonitoring();
}

bool MainWindow::ConfirmDiscardWaiting() {
    const std::size_t waiting = engine_->WaitingNotifications();
    if (!monitoring_ || temporaryProfile_.empty() || waiting == 0) {
        return true;
    }
    PromptRequest question;
    question.owner = reinterpret_cast<std::uintptr_t>(Window());
    question.caption = L"Notifications Waiting";
    question.text = std::to_wstring(waiting) +
                    L" notifications have not been delivered yet. Stop anyway and discard them?";
    question.icon = PromptIcon::Warning;
    question.buttons = PromptButtons::YesNo;
    question.defaultButton = PromptRequest::Default::Second;
    return ShowPrompt(question) == PromptAnswer::Yes;
}

void MainWindow::StopMonitoring(SessionEnd how) {
    // The tray's Stop may have ended the session while a question about it was open.
    if (!monitoring_) {
        return;
    }
    tray_.SetState(TrayState::Stopping);
    engine_->Stop(how);
    monitoring_ = false;
    SetCrashReportProfile(L"", {});
    DeleteTemporaryProfile(temporaryProfile_, WindowLog());
    ReleaseToken(sessionGuard_);
    tray_.SetState(TrayState::Stopped);
    lamp_ = LampState::Stopped;
    SetControlText(kIdMonitorLamp, L"Monitor: stopped");
    InvalidateRect(Control(kIdMonitorLamp), nullptr, TRUE);
    SetStatus(L"Status: Monitor Stopped");
    log_.Info(L"MonitorEngine stopped.");
    lastCycle_.clear();
    ShowIdentity();
}

void MainWindow::OnEndSession() {
    // Nothing can be asked any more: the log keeps what is lost.
    sessionEnding_ = true;
    NoteChangesLostAtSessionEnd();
    // Windows may end the process as soon as this returns: stop while the worker can still
    // write its final status.
    if (monitoring_) {
        log_.Info(L"Windows is ending the session. Monitoring stops.");
        const std::size_t waiting = engine_->WaitingNotifications();
        if (!temporaryProfile_.empty() && waiting > 0) {
            log_.Error(std::to_wstring(waiting) +
                       L" undelivered notifications of the unsaved session were discarded "
                       L"because Windows is ending the session.");
        }
        StopMonitoring(SessionEnd::Windows);
    }
    DeleteTemporaryProfile(temporaryProfile_, WindowLog());
}

void MainWindow::ResumeLastProfile() {
    log_.Info(L"Started with Windows: loading the last saved profile.");
    const std::filesystem::path folder = LoadAppState().LastProfileFolder;
    std::error_code error;
    if (folder.empty() || !std::filesystem::is_directory(folder, error)) {
        log_.Error(L"Started with Windows, but no saved profile folder was found to monitor.");
        ShowWindow(Window(), SW_SHOW);
        Tell(Window(), L"Automatic Start",
             L"Wrenpost was started with Windows, but there is no saved profile to monitor.\n\n"
             L"Save or load a profile, then start monitoring.",
             PromptIcon::Warning);
        return;
    }
    LoadProfileFrom(folder);
    if (profileFolder_ == folder) {
        log_.Info(L"Started with Windows: starting monitoring of profile " + profileName_ + L".");
        resumingAtSignIn_ = true;
        StartMonitoring();
        resumingAtSignIn_ = false;
    }
    if (!monitoring_) {
        log_.Error(L"Started with Windows, but monitoring could not start.");
        ShowWindow(Window(), SW_SHOW);
        SetForegroundWindow(Window());
    }
}

ClaimTokenResult MainWindow::ClaimCheckedToken(const std::wstring& token) {
    return ClaimTokenAlongside(tokenGuard_, sessionGuard_, token);
}

bool MainWindow::TokenInUseElsewhere(const std::wstring& token) const {
    return IsTokenHeldElsewhere(tokenGuard_, token) &&
           sessionGuard_.heldName != TokenMutexName(token);
}

void MainWindow::ShowIdentity() {
    const std::wstring& name = monitoring_ ? sessionName_ : profileName_;
    std::wstring title = kMainWindowTitle;
    if (!name.empty()) {
        title += L" \u2014 " + name;
    }
    SetWindowTextW(Window(), title.c_str());
    if (monitoring_) {
        title += lastCycle_.empty() ? L"\nMonitoring" : L"\nLast check " + lastCycle_;
        if (waitingShown_ > 0) {
            title += L"\n" + std::to_wstring(waitingShown_) + L" waiting";
        }
    }
    tray_.SetTooltip(title);
}

}  // namespace wrenpost
