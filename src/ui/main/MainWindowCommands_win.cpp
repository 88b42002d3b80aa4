// The main window's commands, control notifications, worker results, timers and tray.
#include <windows.h>
// The headers below need windows.h first.
#include <commctrl.h>
#include <shellapi.h>

#include <cstring>
#include <memory>
#include <utility>

#include "app/LaunchAtStartup_win.h"
#include "common/AppMessages_win.h"
#include "common/Clipboard_win.h"
#include "common/PostedRecord_win.h"
#include "common/Prompt.h"
#include "common/Text.h"
#include "outlook/FolderDiscovery_win.h"
#include "telegram/TelegramCommands.h"
#include "telegram/TelegramMessages_win.h"
#include "telegram/TelegramProvider.h"
#include "telegram/Verification.h"
#include "telegram/WinHttpTransport_win.h"
#include "ui/ModalLoop_win.h"
#include "ui/main/MainWindow_win.h"
#include "ui/main/WindowPrompt_win.h"

namespace wrenpost {
namespace {

constexpr wchar_t kSpinnerFrames[] = L"|/-\\";

}  // namespace

void MainWindow::OnCommand(int id, int notification, HWND control) {
    if (control != nullptr && notification != BN_CLICKED) {
        if (id == kIdAccessToken && notification == EN_CHANGE) {
            OnTokenEdited();
        } else if (id == kIdSource && notification == CBN_SELCHANGE) {
            ShowTitleControls();
        }
        return;
    }
    if (id == IDOK) {
        ClickFocusedButton();
    } else if (!OnProfileCommand(id) && !OnBotCommand(id)) {
        OnFormCommand(id);
    }
}

void MainWindow::ClickFocusedButton() {
    // Enter on a focused push button clicks it, as in a dialog.
    HWND focus = GetFocus();
    if (focus == nullptr || GetParent(focus) != Window()) {
        return;
    }
    const LRESULT code = SendMessageW(focus, WM_GETDLGCODE, 0, 0);
    // Owner-drawn buttons (START, STOP, "?") answer only DLGC_BUTTON, like check boxes.
    const bool ownerDrawn = (code & DLGC_BUTTON) != 0 &&
                            (GetWindowLongW(focus, GWL_STYLE) & BS_TYPEMASK) == BS_OWNERDRAW;
    if ((code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) != 0 || ownerDrawn) {
        SendMessageW(focus, BM_CLICK, 0, 0);
    }
}

// The profile as a whole: monitoring, SAVE, LOAD, CLEAR, folders, the tray's menu.
bool MainWindow::OnProfileCommand(int id) {
    switch (id) {
        case kIdStartMonitor:
            StartMonitoring();
            return true;
        case kIdStopMonitor:
            StopCommand();
            return true;
        case kIdSave:
            SaveProfile();
            return true;
        case kIdLoad:
            LoadProfile();
            return true;
        case kIdClear:
            ClearForm();
            return true;
        case kIdDetectFolders:
            StartFolderDetection();
            return true;
        case kTrayRestore:
        case kTrayStopMonitor:
        case kTrayExit:
            OnTrayCommand(id);
            return true;
        default:
            return false;
    }
}

// The bot and who it writes to.
bool MainWindow::OnBotCommand(int id) {
    switch (id) {
        case kIdTest:
            StartTestSend();
            return true;
        case kIdTokenHelp:
            Tell(Window(), L"How to Get a Bot Token",
                 L"1. Open Telegram.\n2. Search for BotFather.\n3. Send /newbot.\n4. Choose a bot "
                 L"name.\n5. Choose a username that ends with \"bot\".\n6. Copy the Bot Token that "
                 L"BotFather gives you.\n7. Paste it into the Access Token field.\n\nSecurity "
                 L"Note:\nNever share your Bot Token with anyone.\nThis application stores your "
                 L"Bot Token encrypted to help protect your credentials.",
                 PromptIcon::Information);
            return true;
        case kIdShareBot:
            OpenBotLink(true);
            return true;
        case kIdOpenBot:
            OpenBotLink(false);
            return true;
        case kIdCheckBot:
            StartBotCheck();
            return true;
        case kIdGetChatId:
            StartVerification();
            return true;
        case kIdManageRecipients:
            ManageRecipients();
            return true;
        case kIdVault:
            OpenVaultWindow();
            return true;
        default:
            return false;
    }
}

// The form's options and the windows it opens.
void MainWindow::OnFormCommand(int id) {
    switch (id) {
        case kIdLaunchAtStartup:
            ToggleLaunchAtStartup();
            break;
        case kIdDetachButton:
            OpenDetachedLog();
            break;
        case kIdTitlesYes:
            SetTitleMode(true);
            break;
        case kIdTitlesNo:
            SetTitleMode(false);
            break;
        case kIdSetFolderTitle:
            SetFolderTitle();
            break;
        case kIdSendExistingUnread:
            if (monitoring_) {
                // The option is read at START; a change now would silently not apply.
                SendMessageW(Control(id), BM_SETCHECK, IsChecked(id) ? BST_UNCHECKED : BST_CHECKED,
                             0);
                Tell(Window(), L"Monitor Running",
                     L"Please stop monitoring before changing this option, then start monitoring "
                     L"again to apply it.",
                     PromptIcon::Warning);
            }
            break;
        case kIdRules:
            ShowRules();
            break;
        case kIdMessageOptions:
            ShowMessageOptions();
            break;
        case kIdRulesHelp:
            Tell(Window(), L"Notification Rules",
                 L"If you already use Outlook Rules, you probably don't need the program's rules.",
                 PromptIcon::Information);
            break;
        case kIdAbout:
            ShowAbout();
            break;
        default:
            break;
    }
}

LRESULT MainWindow::OnNotify(const NMHDR& header) {
    if (header.idFrom == kIdFolderTree && !fillingTree_) {
        // A click on a check box or Space on an item: the tree toggles the box after this
        // notification, so the new state is read from the posted message.
        bool toggles = false;
        if (header.code == NM_CLICK) {
            TVHITTESTINFO hit{};
            GetCursorPos(&hit.pt);
            ScreenToClient(header.hwndFrom, &hit.pt);
            toggles = TreeView_HitTest(header.hwndFrom, &hit) != nullptr &&
                      (hit.flags & TVHT_ONITEMSTATEICON) != 0;
        } else if (header.code == TVN_KEYDOWN) {
            toggles = reinterpret_cast<const NMTVKEYDOWN&>(header).wVKey == VK_SPACE;
        }
        if (toggles) {
            PostMessageW(Window(), kFolderChecksChangedMessage, 0, 0);
        }
        return 0;
    }
    if (header.idFrom == kIdFolderTitleList) {
        if (header.code == LVN_ITEMCHANGED) {
            const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
            if ((change.uChanged & LVIF_STATE) != 0 && (change.uNewState & LVIS_SELECTED) != 0) {
                OnFolderTitleSelected();
            }
        } else if (header.code == NM_CUSTOMDRAW) {
            return PaintTitleListItem(
                *reinterpret_cast<NMLVCUSTOMDRAW*>(reinterpret_cast<LPARAM>(&header)));
        }
    }
    return 0;
}

bool MainWindow::OnWorkerMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ENABLE && wParam != FALSE && exitWaiting_) {
        exitWaiting_ = false;
        PostMessageW(Window(), WM_COMMAND, MAKEWPARAM(kTrayExit, 0), 0);
    }
    if (OnMonitorMessage(message, wParam, lParam) || OnUpdateMessage(message, wParam, lParam)) {
        return true;
    }
    switch (message) {
        case kBotCheckResultMessage:
            if (auto record = AdoptRecord<BotCheckResultRecord>(wParam, lParam)) {
                OnBotCheckResult(record->result);
            }
            return true;
        case kTestSendResultMessage:
            if (auto record = AdoptRecord<TestSendResultRecord>(wParam, lParam)) {
                OnTestSendResult(record->result);
            }
            return true;
        case kWorkerLogLinesMessage:
            if (auto record = AdoptRecord<LogLinesRecord>(wParam, lParam)) {
                for (const std::wstring& line : record->lines) {
                    log_.Info(line);
                }
            }
            return true;
        case kFolderDiscoveryMessage:
            if (auto record = AdoptRecord<FolderDiscoveryRecord>(wParam, lParam)) {
                OnFoldersDetected(record->Found, std::move(record->Folders), record->Explanation);
            }
            return true;
        default:
            return false;
    }
}

void MainWindow::OnTimer(UINT_PTR timer) {
    if (timer == kTimerOrphanCleanup) {
        CleanProfileFolders();
    } else if (timer == kTimerFolderDetection) {
        OnFolderDetectionDeadline();
    } else if (timer == kTimerLogReturn) {
        mainLogView_.OnReturnTimer();
    } else if (timer == kTimerUpdateCheck) {
        StartUpdateCheck(false);
    } else if (timer == kTimerSpinner) {
        spinnerStep_ = (spinnerStep_ + 1) % 4;
        SetControlText(kIdSpinner, std::wstring(1, kSpinnerFrames[spinnerStep_]));
    }
}

HttpTransport MainWindow::TelegramHttp() {
    if (!services_.telegramTransport) {
        services_.telegramTransport = TelegramTransport(
            [this](LogLevel level, const std::wstring& text) { log_.Log(level, text); });
    }
    return services_.telegramTransport;
}

void MainWindow::StartBotCheck() {
    const std::wstring token = TrimWhitespace(ControlText(kIdAccessToken));
    const auto owner = reinterpret_cast<std::uintptr_t>(Window());
    if (!ConfirmTokenEntered(token, owner)) {
        return;
    }
    if (TokenInUseElsewhere(token)) {
        PromptRequest prompt = DuplicateTokenPrompt(L"");
        prompt.owner = owner;
        ShowPrompt(prompt);
        return;
    }
    const std::uint32_t generation = botChecks_.Next();
    SetControlText(kIdBotName, L"Loading...");
    SetControlText(kIdBotUsername, L"Loading...");
    EnableBotLinks(false);
    spinnerStep_ = 0;
    SetControlText(kIdSpinner, std::wstring(1, kSpinnerFrames[0]));
    SetTimer(Window(), kTimerSpinner, 150, nullptr);
    spinnerRunning_ = true;
    StartBotCheckForWindow(Window(), TelegramHttp(), token, generation);
}

void MainWindow::OnBotCheckResult(const BotCheckResult& result) {
    // A newer check, a token edit or CLEAR superseded it.
    if (!botChecks_.IsCurrent(result.generation)) {
        return;
    }
    StopSpinner();
    const bool refused = result.success && ClaimCheckedToken(result.token) == kTokenHeldElsewhere;
    const BotCheckPresentation shown = PresentBotCheckResult(result, refused);
    for (const LogEntry& entry : shown.log) {
        log_.Log(entry.level, entry.text);
    }
    SetControlText(kIdBotName, shown.botNameField);
    SetControlText(kIdBotUsername, shown.botUsernameField);
    EnableBotLinks(shown.enableBotLinks);
    if (shown.rememberToken) {
        validatedToken_ = result.token;
    }
    if (shown.forgetToken) {
        validatedToken_.clear();
    }
    if (shown.showDuplicatePrompt) {
        PromptRequest prompt = shown.prompt;
        prompt.owner = reinterpret_cast<std::uintptr_t>(Window());
        ShowPrompt(prompt);
    }
}

void MainWindow::OnTokenEdited() {
    const std::wstring token = TrimWhitespace(ControlText(kIdAccessToken));
    if (!validatedToken_.empty() && token == validatedToken_) {
        return;
    }
    // A check still running was for another text: its result must not fill the bot fields.
    if (spinnerRunning_) {
        botChecks_.Supersede();
        StopSpinner();
    }
    ForgetCheckedBot();
}

void MainWindow::ForgetCheckedBot() {
    validatedToken_.clear();
    ReleaseToken(tokenGuard_);
    SetControlText(kIdBotName, L"");
    SetControlText(kIdBotUsername, L"");
    EnableBotLinks(false);
}

void MainWindow::OpenBotLink(bool copyOnly) {
    const wchar_t* caption = copyOnly ? L"Share Bot" : L"Open Bot";
    std::wstring username = TrimWhitespace(ControlText(kIdBotUsername));
    if (!username.empty() && username.front() == L'@') {
        username.erase(0, 1);
    }
    if (username.empty()) {
        Tell(Window(), caption, L"No bot username available.", PromptIcon::Warning);
        return;
    }
    const std::wstring link = BotLink(username);
    if (copyOnly) {
        if (CopyToClipboard(Window(), link)) {
            Tell(Window(), caption, L"Bot link copied to clipboard.", PromptIcon::Information);
        }
    } else if (services_.openLink) {
        services_.openLink(link);
    } else {
        ShellExecuteW(Window(), L"open", link.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    }
}

void MainWindow::StartTestSend() {
    const std::wstring token = TrimWhitespace(ControlText(kIdAccessToken));
    std::vector<std::wstring> chatIds;
    const LogFunction log = [this](LogLevel level, const std::wstring& text) {
        log_.Log(level, text);
    };
    if (!ConfirmTestSendAllowed(token, recipients_, chatIds, log,
                                reinterpret_cast<std::uintptr_t>(Window()))) {
        return;
    }
    log_.Info(L"Sending test notification...");
    EnableControl(kIdTest, false);
    SetStatus(L"Status: Sending Test...");
    StartTestSendForWindow(Window(), TelegramProviderFactory(TelegramHttp()), token,
                           std::move(chatIds), recipientTopics_);
}

void MainWindow::OnTestSendResult(const TestSendResult& result) {
    EnableControl(kIdTest, true);
    const TestSendPresentation shown = PresentTestSendResult(result);
    for (const LogEntry& failure : shown.failures) {
        log_.Log(failure.level, failure.text);
    }
    log_.Log(shown.log.level, shown.log.text);
    SetStatus(shown.statusLine);
    PromptRequest prompt = shown.prompt;
    prompt.owner = reinterpret_cast<std::uintptr_t>(Window());
    ShowPrompt(prompt);
}

void MainWindow::ToggleLaunchAtStartup() {
    const bool wanted = IsChecked(kIdLaunchAtStartup);
    const bool done = wanted ? EnableLaunchAtStartup() : DisableLaunchAtStartup();
    if (done) {
        log_.Info(wanted ? L"Launch at Windows startup enabled."
                         : L"Launch at Windows startup disabled.");
        return;
    }
    log_.Error(wanted ? L"Failed to enable Launch at Windows startup."
                      : L"Failed to disable Launch at Windows startup.");
    // The box shows what Windows will do, not what was asked for.
    SendMessageW(Control(kIdLaunchAtStartup), BM_SETCHECK,
                 IsLaunchAtStartupEnabled() ? BST_CHECKED : BST_UNCHECKED, 0);
}

void MainWindow::ClearForm() {
    if (monitoring_) {
        Tell(Window(), L"Monitoring Active",
             L"Monitoring is currently running.\n\nPlease stop monitoring before using Clear.",
             PromptIcon::Warning);
        return;
    }
    if (!SettleUnsavedChanges()) {
        return;
    }
    // A check still running belongs to the old profile: its result must not come back.
    botChecks_.Supersede();
    StopSpinner();
    SetControlText(kIdProfileName, L"");
    SetControlText(kIdAccessToken, L"");
    ForgetCheckedBot();
    for (int id : {kIdSource, kIdOperation, kIdProvider}) {
        SendMessageW(Control(id), CB_SETCURSEL, 0, 0);
    }
    SetControlText(kIdCheckSeconds, L"10");
    recipients_.clear();
    recipientTopics_.clear();
    ShowRecipientCount();
    folderTitles_.clear();
    SetControlText(kIdNotificationTitle, L"");
    SetControlText(kIdFolderTitle, L"");
    SetTitleMode(true);
    SendMessageW(Control(kIdSendExistingUnread), BM_SETCHECK, BST_UNCHECKED, 0);
    selectedFolders_.clear();
    fillingTree_ = true;
    folderTree_.Fill({});
    fillingTree_ = false;
    ListView_DeleteAllItems(Control(kIdFolderTitleList));
    SetControlText(kIdFoldersCount, L"Folders: 0");
    StartFolderDetection();
    SetControlText(kIdLastCheck, L"Last Check: -");
    SetControlText(kIdMessagesSent, L"Messages Sent: 0");
    SetControlText(kIdQueue, L"Queue: 0");
    rules_ = RulesFile{};
    messageOptions_ = MessageOptions{};
    profileFolder_.clear();
    profileName_.clear();
    ShowIdentity();
    SetStatus(L"Status: Cleared");
    log_.Info(L"All fields cleared. Form reset to a new, unsaved profile.");
    KeepForm();
}

void MainWindow::OnTrayCallback(LPARAM event) {
    if (LOWORD(event) == WM_LBUTTONDBLCLK) {
        OnTrayCommand(kTrayRestore);
    } else if (LOWORD(event) == WM_RBUTTONUP) {
        if (const int chosen = ShowTrayMenu(Window())) {
            OnTrayCommand(chosen);
        }
    }
}

void MainWindow::Restore() {
    ShowWindow(Window(), SW_RESTORE);
    // While one of our dialogs, pickers or boxes runs, it is what the user must see first.
    HWND front = ActiveModalDialog();
    if (front == nullptr) {
        front = IsWindowEnabled(Window()) ? Window() : GetLastActivePopup(Window());
    }
    SetForegroundWindow(front);
}

void MainWindow::OnTrayCommand(int id) {
    if (id == kTrayRestore) {
        Restore();
    } else if (id == kTrayStopMonitor) {
        Restore();
        if (ActiveModalDialog() == nullptr && IsWindowEnabled(Window())) {
            StopCommand();
        } else {
            StopFromTray();
        }
    } else if (id == kTrayExit) {
        Exit();
    }
}

void MainWindow::Exit() {
    // Destroying the window under a dialog's loop would leave that loop running without an
    // owner: end the dialog first and exit once its loop has returned.
    if (HWND modal = ActiveModalDialog()) {
        DestroyWindow(modal);
        PostMessageW(Window(), WM_COMMAND, MAKEWPARAM(kTrayExit, 0), 0);
        return;
    }
    // A folder picker, file dialog or box of ours runs the system's loop over this window: exit
    // once it has closed and its caller is done (WM_ENABLE brings the exit back).
    exitWaiting_ = !IsWindowEnabled(Window());
    if (exitWaiting_) {
        Restore();
        return;
    }
    if (monitoring_ && !ConfirmDiscardWaiting()) {
        return;  // No keeps monitoring
    }
    if (!sessionEnding_ && !SettleUnsavedChanges()) {
        return;  // Cancel, a cancelled picker or a failed save: nothing is dropped
    }
    if (monitoring_) {
        StopMonitoring();
    }
    tray_.Remove();
    DestroyWindow(Window());
}

void MainWindow::StopSpinner() {
    KillTimer(Window(), kTimerSpinner);
    spinnerRunning_ = false;
    SetControlText(kIdSpinner, L"");
}

void MainWindow::EnableBotLinks(bool enable) {
    EnableControl(kIdShareBot, enable);
    EnableControl(kIdOpenBot, enable);
}

}  // namespace wrenpost
