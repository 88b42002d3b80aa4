// The program's one top-level window: the profile form, the tray icon, the timers and every
// worker's result. Only the UI thread touches it; workers reach it through posted records.
#pragma once

#include <windows.h>
// The headers below need windows.h first.
#include <commctrl.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/ActivityLog.h"
#include "common/HttpClient.h"
#include "common/UniqueHandle_win.h"
#include "monitor/MonitorEngine.h"
#include "outlook/DetectionGate.h"
#include "profile/ProfileCleanup.h"
#include "profile/ProfileConfig.h"
#include "profile/ProfileFolders.h"
#include "rules/RuleModel.h"
#include "rules/RulesFile.h"
#include "rules/RulesFileSave.h"
#include "telegram/BotCheck.h"
#include "telegram/TokenGuard_win.h"
#include "ui/BaseWindow_win.h"
#include "ui/FileDialog_win.h"
#include "ui/log/DetachedLogWindow_win.h"
#include "ui/log/LogView_win.h"
#include "ui/main/FolderTree_win.h"
#include "ui/main/FormSnapshot.h"
#include "ui/main/MainForm.h"
#include "ui/main/TrayIcon_win.h"
#include "update/UpdateCheckLauncher_win.h"

namespace wrenpost {

// Found by a second start (to activate this window) and by the end-to-end tests.
inline constexpr wchar_t kMainWindowClass[] = L"WrenpostMainWindow";
inline constexpr wchar_t kMainWindowTitle[] = L"Wrenpost";

inline constexpr UINT_PTR kTimerOrphanCleanup = 3001;
inline constexpr UINT_PTR kTimerFolderDetection = 3002;
inline constexpr UINT_PTR kTimerLogReturn = 3097;
inline constexpr UINT_PTR kTimerUpdateCheck = 3098;
inline constexpr UINT_PTR kTimerSpinner = 3099;

enum class LampState { NeverStarted = 0, Running = 1, Stopped = 2 };

// What the window reaches outside itself; tests replace any of it. Empty members take the
// real thing.
struct MainWindowServices {
    std::size_t logCapacity = LogLineBuffer::kDefaultCapacity;
    HttpTransport telegramTransport;
    ShellNotifyFunction trayNotify;
    std::function<bool(HWND window)> startFolderDetection;
    // How long Outlook may take to answer a folder detection before it is given up.
    std::chrono::milliseconds folderDetectionTimeout{30000};
    std::function<bool(const std::wstring& link)> openLink;
    // The work area the window must fit into (the monitor's, by default).
    std::function<RECT(HWND window)> workArea;
    // The folder picker of SAVE and LOAD: false when cancelled. `initial` is the folder to
    // pre-select.
    std::function<bool(HWND owner, const std::filesystem::path& initial,
                       std::filesystem::path& picked)>
        pickFolder;
    // The monitor engine's collaborators; by default Outlook, Telegram and the system clock.
    std::optional<MonitorDependencies> monitor;
    // The verification window's time; it must outlive the program's workers. Null: the system's.
    const Clock* clock = nullptr;
    // The running program's version for update checks; by default its version resource.
    UpdateCheckLauncher::VersionSource programVersion;
    // The open and save dialogs of rule packages; by default the system's.
    FileDialogFunction pickFile;
};

class MainWindow : public BaseWindow<MainWindow> {
public:
    explicit MainWindow(MainWindowServices services = {});
    explicit MainWindow(std::size_t logCapacity);
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    static bool RegisterWindowClass(HINSTANCE instance);
    // Creates and shows the window, sized for its monitor; false on failure, including a
    // WM_CREATE that could not create its controls.
    bool Create(HINSTANCE instance, int showCommand);

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    // Started by Windows at log-on: LOAD the last saved profile and START it from the tray; a
    // refusal shows the window with its reason.
    void ResumeLastProfile();

    ActivityLog& Log() { return log_; }
    // On the UI thread only; other threads log through Log(), whose lines travel as records.
    void AppendLogLine(std::wstring line);
    void OpenDetachedLog();
    void SetStatus(const std::wstring& text);
    std::wstring StatusText() const;

    HWND Control(int id) const { return GetDlgItem(Window(), id); }
    std::wstring ControlText(int id) const;
    UINT Dpi() const { return dpi_; }
    int ScrollOffset() const { return scrollOffset_; }
    LampState Lamp() const { return lamp_; }
    bool IsMonitoring() const { return monitoring_; }
    const TrayIcon& Tray() const { return tray_; }
    const std::vector<SelectedFolder>& CheckedFolders() const { return selectedFolders_; }
    const std::vector<FolderTitle>& FolderTitles() const { return folderTitles_; }
    const std::wstring& ValidatedToken() const { return validatedToken_; }
    const std::vector<RecipientEntry>& Recipients() const { return recipients_; }
    const std::vector<RecipientTopic>& RecipientTopics() const { return recipientTopics_; }
    const RulesFile& Rules() const { return rules_; }
    const MessageOptions& Message() const { return messageOptions_; }
    const std::filesystem::path& CurrentProfileFolder() const { return profileFolder_; }
    const std::filesystem::path& TemporaryProfile() const { return temporaryProfile_; }

    const LogLineBuffer& LogLines() const { return logLines_; }
    LogView& MainLogView() { return mainLogView_; }
    DetachedLogWindow& DetachedLog() { return detachedLog_; }

    // One update check now and one a day after; silent unless a new version may be shown.
    void StartAutomaticUpdateChecks();
    bool UpdateCheckRunning() const { return updateChecks_.IsRunning(); }

    // The Token Vault (MainWindowVault_win.cpp): the "Vault" button, and at start-up a token
    // handed over by another instance's vault window.
    void OpenVaultWindow();
    void LoadTokenFromVault(const std::wstring& handoffId);

private:
    // Creation, layout and painting (MainWindow_win.cpp, MainWindowPaint_win.cpp).
    LRESULT OnCreate();
    bool CreateControls();
    void CreateFonts();
    void ApplyFonts();
    void Layout();
    void PlaceControls();
    void UpdateScrollBar(int clientHeight);
    void ScrollTo(int offset);
    void OnVerticalScroll(WPARAM request);
    void OnDpiChanged(UINT dpi, const RECT& suggested);
    void OnGetMinMaxInfo(MINMAXINFO& info);
    RECT WorkAreaFor(HWND window) const;
    void ShowTitleControls();
    LRESULT OnControlColour(UINT message, HDC dc, HWND control);
    bool OnDrawItem(const DRAWITEMSTRUCT& item);
    void DrawMonitorButton(const DRAWITEMSTRUCT& item) const;
    void DrawLamp(const DRAWITEMSTRUCT& item) const;
    void DrawDetachButton(const DRAWITEMSTRUCT& item) const;
    LRESULT PaintTitleListItem(NMLVCUSTOMDRAW& draw) const;
    static LRESULT CALLBACK HoverProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam,
                                      UINT_PTR, DWORD_PTR data);
    void OnClose();
    void OnDestroy();
    // HandleMessage's parts: true when the message is handled and `result` is its answer.
    bool OnGeometryMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool OnPaintMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool OnLifeMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    void OnPowerBroadcast(WPARAM event);

    // Commands, notifications, worker results, timers, tray (MainWindowCommands_win.cpp).
    void OnCommand(int id, int notification, HWND control);
    void ClickFocusedButton();
    bool OnProfileCommand(int id);
    bool OnBotCommand(int id);
    void OnFormCommand(int id);
    LRESULT OnNotify(const NMHDR& header);
    bool OnWorkerMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // Keyboard focus across activation, and on from a control being disabled
    // (MainWindowFocus_win.cpp).
    bool OnFocusMessage(UINT message, WPARAM wParam);
    void EnableControl(int id, bool enable);
    void OnTimer(UINT_PTR timer);
    HttpTransport TelegramHttp();
    void StartBotCheck();
    void OnBotCheckResult(const BotCheckResult& result);
    void OnTokenEdited();
    void ForgetCheckedBot();
    void OpenBotLink(bool copyOnly);
    void StartTestSend();
    void OnTestSendResult(const TestSendResult& result);
    void StartFolderDetection();
    void OnFoldersDetected(bool found, std::vector<SelectedFolder> folders,
                           const std::wstring& explanation);
    void OnFolderDetectionDeadline();
    void EnableDetectionButtons(bool enable);
    void OnFolderChecksChanged();
    void RebuildFolderTitleList();
    std::wstring TitleOf(const std::wstring& folderPath) const;
    int SelectedTitleRow() const;
    void OnFolderTitleSelected();
    void SetFolderTitle();
    void SetTitleMode(bool single);
    void ToggleLaunchAtStartup();
    void ClearForm();
    void StartVerification();
    void ManageRecipients();
    void ShowRecipientCount();
    void ShowRules();           // MainWindowRules_win.cpp
    void ShowMessageOptions();  // MainWindowMessage_win.cpp
    bool OutlookRefusedGuardedMembers() const;

    // SAVE and LOAD (MainWindowProfile_win.cpp).
    LogFunction WindowLog();
    // True once the profile and its rules are saved.
    bool SaveProfile();
    void LoadProfile();
    void LoadProfileFrom(const std::filesystem::path& folder);
    bool PickProfileFolder(std::filesystem::path& picked);
    ProfileConfig GatherProfile() const;
    // Unsaved changes (MainWindowChanges_win.cpp): the form as SAVE would store it, kept at
    // each SAVE, LOAD and CLEAR; true from the question when the form may be replaced.
    FormSnapshot CurrentForm() const;
    void KeepForm();
    bool SettleUnsavedChanges();
    void NoteChangesLostAtSessionEnd();
    void ShowProfile(const ProfileConfig& config, const std::wstring& token);
    RulesSaveResult SaveRulesWithProfile(const std::filesystem::path& rulesPath);
    bool ReadConfigForLoad(const FoundProfileConfig& found, ProfileConfigStore& loaded);
    RuleLoadResult ReadRulesForLoad(const std::filesystem::path& rulesPath, RulesFile& rules);
    void CleanProfileFolders();

    // START and STOP (MainWindowMonitor_win.cpp).
    void CreateMonitorEngine();
    bool OnMonitorMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void StartMonitoring();
    bool PrepareTemporaryProfile(const std::wstring& sessionName, const std::wstring& token,
                                 std::int32_t interval);
    void OnMonitorStarted(bool started);
    void OnMonitorStatus(const std::wstring& lastCheck, std::int32_t sent, std::int32_t queue,
                         const std::wstring& status);
    void OnRecipientNotified(const std::wstring& chatId, const std::wstring& when);
    void StopCommand();
    // The tray's Stop while a dialog or box of ours is open: no question can be asked.
    void StopFromTray();
    void StopMonitoring(SessionEnd how = SessionEnd::User);
    // An unsaved session's outbox ends with it: true when nothing waits or the user agrees.
    bool ConfirmDiscardWaiting();
    // The engine's reports reach the window only as posted records.
    void AttachSessionCallbacks(MonitorSession& session);
    bool PrepareSavedSession(const std::filesystem::path& folder, std::wstring& token,
                             MonitorSession& session);
    void OnEndSession();
    void ShowIdentity();
    ClaimTokenResult ClaimCheckedToken(const std::wstring& token);
    bool TokenInUseElsewhere(const std::wstring& token) const;
    void OnTrayCallback(LPARAM event);
    void OnTrayCommand(int id);
    void Restore();
    void Exit();
    void StopSpinner();
    void EnableBotLinks(bool enable);
    void SetControlText(int id, const std::wstring& text);
    bool IsChecked(int id) const;

    MainWindowServices services_;
    DWORD uiThread_;
    bool created_ = false;
    ActivityLog log_;
    LogLineBuffer logLines_;
    LogView mainLogView_;
    DetachedLogWindow detachedLog_;
    TrayIcon tray_;

    UINT dpi_ = 96;
    int scrollOffset_ = 0;
    int formHeight_ = 0;
    UniqueGdiObject controlBrush_;
    UniqueGdiObject windowBrush_;
    UniqueGdiObject logFont_;
    UniqueGdiObject uiFont_;
    UniqueGdiObject boldFont_;
    HWND tooltip_ = nullptr;
    int hoveredButton_ = 0;
    HWND lastFocus_ = nullptr;   // the control that had the focus when the window was deactivated
    bool highContrast_ = false;  // the system's setting, re-read when settings change
    bool inLayout_ = false;
    bool layoutAgain_ = false;

    // The profile being edited.
    std::vector<RecipientEntry> recipients_;
    std::vector<RecipientTopic> recipientTopics_;  // kept with the recipients they name
    HWND recipientsManager_ = nullptr;             // while it is open
    std::vector<SelectedFolder> selectedFolders_;
    std::vector<FolderTitle> folderTitles_;
    FolderTree folderTree_;
    bool fillingTree_ = false;
    DetectionGate detection_;

    BotCheckGenerations botChecks_;
    std::wstring validatedToken_;
    TokenGuard tokenGuard_;
    int spinnerStep_ = 0;
    bool spinnerRunning_ = false;

    std::unique_ptr<MonitorEngine> engine_;
    bool monitoring_ = false;
    bool resumingAtSignIn_ = false;
    std::int32_t waitingShown_ = 0;  // the session's outbox, for the tray tip  // the start of a
                                     // session resumed with Windows
    LampState lamp_ = LampState::NeverStarted;
    // The running session's own claim on its token: the form's claim above follows the token
    // field, this one lasts until STOP.
    TokenGuard sessionGuard_;
    std::wstring sessionName_;
    std::wstring lastCycle_;  // the tray tooltip's "last check" part while monitoring
    // The form still shows the profile the running session started from: an unsaved session's
    // rules copy follows the form's rules only while it does.
    bool formHoldsSession_ = false;
    bool sessionEnding_ = false;  // after WM_ENDSESSION nothing may be asked
    bool exitWaiting_ = false;    // the tray's Exit waits for a system dialog or box to close
    FormSnapshot keptForm_;       // the form as the last SAVE, LOAD or CLEAR left it

    ProfileConfigStore store_;
    RulesFile rules_;
    MessageOptions messageOptions_;
    std::filesystem::path rulesUnread_;  // a rules file LOAD could not read; rules_ is not its text
    std::wstring profileName_;           // of the last successful SAVE or LOAD
    std::filesystem::path profileFolder_;     // of the last successful SAVE or LOAD
    std::filesystem::path temporaryProfile_;  // the running unsaved session's folder
    KeptFolderReports keptFolders_;

    // Update checks and the "Update Available" window (MainWindowUpdate_win.cpp).
    static UpdateCheckLauncher UpdateLauncherFor(const MainWindowServices& services);
    void StartUpdateCheck(bool manual);
    void ShowAbout();
    bool OnUpdateMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void ShowHeldUpdateResult();
    void ShowUpdateWindow(HWND owner, const UpdateCheckResult& result);
    bool OpenDownloadPage();
    UpdateCheckLauncher updateChecks_ = UpdateLauncherFor(services_);
    std::unique_ptr<UpdateCheckRecord> heldUpdate_;  // waiting for our other dialogs to close
    HWND aboutWindow_ = nullptr;                     // while About is open
    bool manualCheckWaiting_ = false;
};

}  // namespace wrenpost
