// SAVE, LOAD, START and STOP through the window under wine: the folder picker and the monitor's
// Outlook and Telegram are answered by the test, the profile files are the real ones.
#include <windows.h>
// The headers below need windows.h first.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <set>
#include <string>

#include "app/AppStateStore_win.h"
#include "app/RunningInstances_win.h"
#include "common/LocalTime.h"
#include "common/TextFile.h"
#include "monitor/MonitorAdmission.h"
#include "monitor/SessionRecord.h"
#include "profile/OutboxFiles.h"
#include "profile/ProfileConfig.h"
#include "profile/TokenFile_win.h"
#include "rules/RulesFile.h"
#include "support/Screenshot_win.h"
#include "support/TempDir.h"
#include "telegram/TokenGuard_win.h"
#include "ui/ModalLoop_win.h"
#include "ui/message/MessageOptionsDialog_win.h"
#include "ui/rules/RuleDialog_win.h"
#include "win/ui/ProfileAndMonitorFixture.h"

namespace wrenpost {
namespace {

TEST_F(ProfileAndMonitorTest, EveryRefusalShowsOneBoxAndNeitherWritesNorStarts) {
    WriteProfile(profiles_ / L"Desk", L"Desk", DeskProfile());
    ProfileConfig noFolder = DeskProfile();
    noFolder.SelectedFolders.clear();
    WriteProfile(profiles_ / L"NoFolder", L"NoFolder", noFolder);
    WriteAllBytes(profiles_ / L"NoToken" / L"NoTokenConfig.json", "{}");
    OpenWindow();

    const auto form = [this](const wchar_t* name, const wchar_t* token) {
        SetText(kIdProfileName, name);
        SetText(kIdAccessToken, token);
    };
    // The form as the window opened: LOAD has no changes to ask about.
    const auto loadFrom = [&](const wchar_t* folder) {
        form(L"", L"");
        nextPick_ = profiles_ / folder;
    };
    const struct {
        const wchar_t* what;
        std::function<void()> prepare;
        int command;
        const wchar_t* caption;
    } refusals[] = {
        {L"SAVE without a name", [&] { form(L"", kToken); }, kIdSave, L"Missing Profile"},
        {L"SAVE without a token", [&] { form(L"Desk2", L""); }, kIdSave, L"Missing Token"},
        {L"SAVE as a device name", [&] { form(L"CON", kToken); }, kIdSave, L"Invalid Profile Name"},
        {L"START as a device name", [&] { form(L"a:b", kToken); }, kIdStartMonitor,
         L"Invalid Profile Name"},
        {L"LOAD without a config", [&] { loadFrom(L"Nothing"); }, kIdLoad, L"Missing Config"},
        {L"LOAD without a token file", [&] { loadFrom(L"NoToken"); }, kIdLoad, L"Missing Token"},
        {L"START without a token", [&] { form(L"", L""); }, kIdStartMonitor, L"Missing Token"},
        {L"START without a recipient", [&] { form(L"", kToken); }, kIdStartMonitor,
         L"Missing Recipient"},
        {L"START without a folder",
         [&] {
             form(L"", L"");  // as the window opened: LOAD has nothing to ask
             Load(profiles_ / L"NoFolder");
             form(L"Unsaved", kToken);
         },
         kIdStartMonitor, L"No Outlook Folder Selected"},
        {L"STOP when nothing runs", [] {}, kIdStopMonitor, L"Not Running"},
    };
    for (const auto& refusal : refusals) {
        SCOPED_TRACE(refusal.what);
        refusal.prepare();
        const std::set<std::wstring> before = FilesBelow(profiles_);
        const std::size_t asked = prompts_.Requests().size();
        Click(refusal.command);
        EXPECT_EQ(prompts_.Requests().size(), asked + 1);
        EXPECT_EQ(LastCaption(), refusal.caption);
        EXPECT_EQ(FilesBelow(profiles_), before);
        EXPECT_FALSE(window_->IsMonitoring());
    }
}

// While a session runs, START, CLEAR and the unread box refuse and change nothing.
TEST_F(ProfileAndMonitorTest, WhileASessionRunsStartClearAndTheUnreadBoxRefuse) {
    OpenDesk();
    Click(kIdStartMonitor);
    ASSERT_TRUE(window_->IsMonitoring());
    Click(kIdStartMonitor);
    EXPECT_EQ(LastCaption(), L"Already Running");
    Click(kIdClear);
    EXPECT_EQ(LastCaption(), L"Monitoring Active");
    EXPECT_EQ(window_->ControlText(kIdProfileName), L"Desk");
    SendMessageW(window_->Control(kIdSendExistingUnread), BM_CLICK, 0, 0);
    EXPECT_EQ(LastCaption(), L"Monitor Running");
    EXPECT_EQ(SendMessageW(window_->Control(kIdSendExistingUnread), BM_GETCHECK, 0, 0),
              BST_UNCHECKED);
    EXPECT_TRUE(window_->IsMonitoring());

    // The session keeps its token claim while the form moves on to another token.
    const TokenGuard outsider;
    SetText(kIdAccessToken, L"999:another-token");
    EXPECT_TRUE(IsTokenHeldElsewhere(outsider, kToken));
    // Windows ending the session stops monitoring, which gives the claim up.
    SendMessageW(window_->Window(), WM_ENDSESSION, TRUE, 0);
    EXPECT_FALSE(window_->IsMonitoring());
    EXPECT_FALSE(IsTokenHeldElsewhere(outsider, kToken));
    std::wstring status;
    ASSERT_TRUE(ReadTextFile(profiles_ / L"Desk" / L"DeskMonitor.json", status));
    EXPECT_NE(status.find(L"\"Status\": \"Stopped\""), std::wstring::npos) << status;
}

TEST_F(ProfileAndMonitorTest, SaveChoosesTheFolderRefusesMixingAndKeepsTheOldTokenOnFailure) {
    WriteAllBytes(profiles_ / L"C" / L"Sales" / L"OpsConfig.json", "{}");
    WriteAllBytes(profiles_ / L"D" / L"SALES" / L"salesConfig.json", "{}");
    fs::create_directories(profiles_ / L"A" / L"sales");
    OpenWindow();
    SetText(kIdProfileName, L"Sales");
    SetText(kIdAccessToken, kToken);
    const struct {
        fs::path picked;
        fs::path folder;  // where the files must land; empty when refused
    } saves[] = {
        {profiles_ / L"A" / L"sales", profiles_ / L"A" / L"sales"},  // the name, in any case
        {profiles_, profiles_ / L"Sales"},
        {profiles_ / L"C" / L"Sales", {}},  // another profile's folder
        {profiles_ / L"D" / L"SALES", profiles_ / L"D" / L"SALES"},
    };
    for (const auto& save : saves) {
        SCOPED_TRACE(save.picked.wstring());
        nextPick_ = save.picked;
        Click(kIdSave);
        if (save.folder.empty()) {
            EXPECT_EQ(LastCaption(), L"Profile Conflict");
            EXPECT_FALSE(fs::exists(save.picked / L"Sales.token"));
            continue;
        }
        EXPECT_EQ(LastCaption(), L"Saved");
        EXPECT_EQ(ReadTokenFile(save.folder / L"Sales.token"), kToken);
        EXPECT_TRUE(fs::exists(save.folder / L"SalesRules.json"));
        EXPECT_EQ(window_->CurrentProfileFolder(), save.folder);
    }
    // The picker opens where the last save went.
    Click(kIdSave);
    EXPECT_EQ(initialPick_, profiles_ / L"D" / L"SALES");

    // A token file that cannot be replaced: the save fails and the old token stays as it was.
    const fs::path token = profiles_ / L"D" / L"SALES" / L"Sales.token";
    const std::string before = ReadAllBytes(token);
    SetText(kIdAccessToken, L"999:another-token");
    {
        UniqueFileHandle locked(CreateFileW(token.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(locked);
        Click(kIdSave);
    }
    EXPECT_EQ(LastCaption(), L"Save Failed");
    EXPECT_EQ(ReadAllBytes(token), before);
    // A rules file that cannot be read or replaced: see ProfileFilesTest.
}

TEST_F(ProfileAndMonitorTest, LoadAppliesRulesOnlyWhenItCompletesAndKeepsUnreadableRulesAside) {
    WriteProfile(profiles_ / L"Alpha", L"Alpha", DeskProfile(), 1);
    WriteProfile(profiles_ / L"Beta", L"Beta", DeskProfile(), 2);
    WriteAllBytes(profiles_ / L"Beta" / L"Beta.token", "a token another user encrypted");
    ProfileConfig gamma = DeskProfile();
    gamma.Recipients.push_back(
        {L"77", L"Gone", true, L"2020-01-01 08:00:00", L"2020-02-01 09:00:00"});
    WriteProfile(profiles_ / L"Gamma", L"Gamma", gamma);
    const std::string corrupt = "{ \"Version\": 1, \"Rules\": [ {";
    WriteAllBytes(profiles_ / L"Gamma" / L"GammaRules.json", corrupt);
    OpenWindow();

    Load(profiles_ / L"Alpha");
    ASSERT_EQ(window_->Rules().Rules.size(), 1u);
    Load(profiles_ / L"Beta");  // refused at the token
    EXPECT_EQ(LastCaption(), L"Profile Cannot Be Loaded");
    EXPECT_EQ(window_->Rules().Rules.size(), 1u);
    EXPECT_EQ(window_->ControlText(kIdProfileName), L"Alpha");

    Load(profiles_ / L"Gamma");
    EXPECT_TRUE(window_->Rules().Rules.empty());
    EXPECT_TRUE(Logged(L"Notification Rules file is corrupted for this profile"));
    // The recipient silent for years is dropped, in the window and in the file.
    ASSERT_EQ(window_->Recipients().size(), 1u);
    ProfileConfigStore reread;
    ASSERT_TRUE(reread.ReadProfileConfig(profiles_ / L"Gamma" / L"GammaConfig.json"));
    EXPECT_EQ(reread.Current().Recipients, window_->Recipients());
    EXPECT_EQ(window_->ControlText(kIdRecipientCount), L"1");

    nextPick_ = profiles_ / L"Gamma";
    Click(kIdSave);
    const auto backups = testing::DatedBackups(profiles_ / L"Gamma" / L"GammaRules.json");
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(ReadAllBytes(backups[0]), corrupt);
    RulesFile saved = RulesWith(3);
    EXPECT_EQ(LoadRulesFile(profiles_ / L"Gamma" / L"GammaRules.json", saved),
              RuleLoadResult::Loaded);
    EXPECT_TRUE(saved.Rules.empty());
}

TEST_F(ProfileAndMonitorTest, LoadTicksItsFoldersInTheTreeAtOnceSoAClickKeepsThem) {
    ProfileConfig orders = DeskProfile();
    orders.SelectedFolders = {Folder(L"Mailbox", L"Inbox\\Orders")};
    WriteProfile(profiles_ / L"Alpha", L"Alpha", orders);
    ProfileConfig other = DeskProfile();
    other.SelectedFolders = {Folder(L"Mailbox", L"Inbox"), Folder(L"Archive", L"Old")};
    WriteProfile(profiles_ / L"Beta", L"Beta", other);
    OpenWindow();
    Load(profiles_ / L"Alpha");
    outlookDown_ = true;  // the tree stays the one detected for Alpha
    Load(profiles_ / L"Beta");
    ASSERT_EQ(LastCaption(), L"Outlook Error");
    SendMessageW(window_->Window(), kFolderChecksChangedMessage, 0, 0);  // a click on the tree
    const std::vector<SelectedFolder>& kept = window_->CheckedFolders();
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept[0].FolderPath + L"|" + kept[1].FolderPath, L"Inbox|Old");
}

TEST_F(ProfileAndMonitorTest, UnsavedSessionsRunOnThisInstancesTemporaryProfileAndReportBack) {
    OpenDesk(DeskProfile(L"Never"));
    SetText(kIdProfileName, L"");
    SetText(kIdCheckSeconds, L"0");
    mailArrives_ = true;
    Click(kIdStartMonitor);
    ASSERT_TRUE(window_->IsMonitoring());
    const fs::path temporary = window_->TemporaryProfile();
    ProfileConfigStore config;
    ASSERT_TRUE(config.ReadProfileConfig(SessionCopy(L"Config.json")));
    EXPECT_EQ(config.Current().CheckInterval, 10);
    EXPECT_EQ(ReadTokenFile(SessionCopy(L".token")), kToken);

    // The engine's reports reach the counters and the recipient.
    Pump([this] { return window_->ControlText(kIdMessagesSent) == L"Messages Sent: 1"; });
    EXPECT_EQ(window_->ControlText(kIdMessagesSent), L"Messages Sent: 1");
    EXPECT_NE(window_->Recipients()[0].LastNotification, L"Never");  // posted before the count
    EXPECT_EQ(window_->Lamp(), LampState::Running);
    EXPECT_EQ(window_->Tray().State(), TrayState::Running);
    testing::SaveScreenshot(window_->Window(), L"main-window-monitoring");

    Click(kIdStopMonitor);
    EXPECT_FALSE(fs::exists(temporary));
    EXPECT_EQ(window_->Lamp(), LampState::Stopped);

    // A saved profile whose token file is gone runs as unsaved.
    fs::remove(profiles_ / L"Desk" / L"Desk.token");
    SetText(kIdProfileName, L"Desk");
    Click(kIdStartMonitor);
    ASSERT_TRUE(window_->IsMonitoring());
    EXPECT_EQ(window_->TemporaryProfile().filename().wstring().rfind(L"_Temp_Desk@", 0), 0u);
    // Closing and answering No hides the window and monitoring goes on.
    prompts_.QueueAnswer(PromptAnswer::No);
    SendMessageW(window_->Window(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindowVisible(window_->Window()));
    EXPECT_TRUE(window_->IsMonitoring());
    Click(kIdStopMonitor);

    // Another instance runs this token: refused, and no temporary profile is left behind.
    UniqueHandle otherInstance(CreateMutexW(nullptr, FALSE, TokenMutexName(kToken).c_str()));
    Click(kIdStartMonitor);
    EXPECT_EQ(LastCaption(), L"Duplicate Bot Token");
    EXPECT_FALSE(window_->IsMonitoring());
    EXPECT_TRUE(FilesBelow(profiles_ / L"_Temporary").empty());
}

// The Message Options note tells what Outlook refused the running session's reader, as its log
// did; a session that read everything shows none.
TEST_F(ProfileAndMonitorTest, RulesAndMessageOptionsChangedWhileAnUnsavedSessionRunsReachItsCopy) {
    mailArrives_ = true;  // a read that completes
    for (const bool refused : {true, false}) {
        outlookRefuses_ = refused;
        ASSERT_NO_FATAL_FAILURE(StartUnsavedDesk(1));
        Pump([this] { return window_->ControlText(kIdLastCheck) != L"Last Check: -"; });
        WhenReady(OnWindow(kMessageOptionsClass, [refused](HWND dialog) {
            EXPECT_EQ(WindowText(GetDlgItem(dialog, kMessageOptionsNoteId)),
                      refused ? kOutlookRefusedNote : L"")
                << refused;
            SendMessageW(FindWindowExW(dialog, nullptr, L"ComboBox", nullptr), CB_SETCURSEL, 2, 0);
            Press(dialog, IDOK);
            return true;
        }));
        Click(kIdMessageOptions);
        ExpectEveryStepRan();
        ProfileConfigStore copy;
        ASSERT_TRUE(copy.ReadProfileConfig(SessionCopy(L"Config.json")));
        EXPECT_EQ(copy.Current().Message.Content, MessageContent::Preview);
        EXPECT_TRUE(
            Logged(L"Message Options change applies from the running session's next check"));
        SwitchRulesOnInTheRulesWindow();
        RulesFile rules;
        ASSERT_EQ(LoadRulesFile(SessionCopy(L"Rules.json"), rules), RuleLoadResult::Loaded);
        EXPECT_TRUE(rules.Enabled);
        EXPECT_TRUE(Logged(L"Notification Rules change applies from the running session"));
        Click(kIdStopMonitor);
        DestroyWindow(window_->Window());
    }
}

TEST_F(ProfileAndMonitorTest, StartUpRemovesOrphansAndTheSessionsOfInstancesThatEnded) {
    WriteAllBytes(profiles_ / L"OnlyStatus" / L"Monitor.json", "{}");
    WriteAllBytes(profiles_ / L"Notes" / L"notes.txt", "mine");
    const fs::path crashed = profiles_ / L"_Temporary" / L"_Temp_A@4000000000-1";
    const fs::path running = TemporaryProfileFolder(profiles_, L"B", CurrentInstance());
    const fs::path foreign = profiles_ / L"_Temporary" / L"_Temp_C";  // not named by us
    for (const fs::path& session : {crashed, running, foreign}) {
        WriteAllBytes(session / L"_Temp_X.token", "secret");
    }
    OpenWindow();
    EXPECT_FALSE(fs::exists(profiles_ / L"OnlyStatus"));
    EXPECT_FALSE(fs::exists(crashed));
    EXPECT_TRUE(fs::exists(running));
    EXPECT_TRUE(fs::exists(foreign));
    EXPECT_TRUE(Logged(L"did not write: " + (profiles_ / L"Notes").wstring()));
}

// How the user ends an unsaved session while a notification waits, and the answer given.
TEST_F(ProfileAndMonitorTest, AsksBeforeAnUnsavedSessionsWaitingNotificationsAreLost) {
    const WPARAM stop = MAKEWPARAM(kIdStopMonitor, BN_CLICKED);
    const struct {
        const char* name;
        UINT message;
        WPARAM command;
        PromptAnswer answer;
        bool stillMonitoring;
    } rows[] = {
        {"StopNo", WM_COMMAND, stop, PromptAnswer::No, true},
        {"StopYes", WM_COMMAND, stop, PromptAnswer::Yes, false},
        {"TrayStopNo", WM_COMMAND, MAKEWPARAM(kTrayStopMonitor, 0), PromptAnswer::No, true},
        {"TrayStopYes", WM_COMMAND, MAKEWPARAM(kTrayStopMonitor, 0), PromptAnswer::Yes, false},
        {"TrayExitNo", WM_COMMAND, MAKEWPARAM(kTrayExit, 0), PromptAnswer::No, true},
        {"CloseNo", WM_CLOSE, 0, PromptAnswer::No, true},
    };
    mailArrives_ = telegramDown_ = true;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_NO_FATAL_FAILURE(StartUnsavedDesk(0));
        Pump([this] { return window_->ControlText(kIdQueue) == L"Queue: 1"; });
        ASSERT_EQ(window_->ControlText(kIdQueue), L"Queue: 1");
        const fs::path temporary = window_->TemporaryProfile();
        if (row.message == WM_CLOSE) {
            prompts_.QueueAnswer(PromptAnswer::Yes);  // "stop monitoring and exit?"
        }
        prompts_.QueueAnswer(row.answer);
        SendMessageW(window_->Window(), row.message, row.command, 0);
        const auto asked = prompts_.Requests();
        ASSERT_FALSE(asked.empty());
        EXPECT_EQ(asked.back().text,
                  L"1 notifications have not been delivered yet. Stop anyway and discard them?");
        EXPECT_EQ(asked.back().defaultButton, PromptRequest::Default::Second);
        EXPECT_EQ(window_->IsMonitoring(), row.stillMonitoring);
        EXPECT_EQ(fs::exists(temporary), row.stillMonitoring);
        if (row.stillMonitoring) {
            prompts_.QueueAnswer(PromptAnswer::Yes);
            Click(kIdStopMonitor);
        }
        DestroyWindow(window_->Window());
    }
}

TEST_F(ProfileAndMonitorTest, ASavedProfileKeepsWhatWaitsAndWindowsEndingDiscardsUnsavedOnes) {
    OpenDesk(DeskProfile(L"Never"));
    mailArrives_ = telegramDown_ = true;
    Click(kIdStartMonitor);
    Pump([this] { return window_->ControlText(kIdQueue) == L"Queue: 1"; });
    const std::size_t asked = prompts_.Requests().size();
    Click(kIdStopMonitor);  // nothing is lost: no question
    EXPECT_EQ(prompts_.Requests().size(), asked);
    EXPECT_EQ(SummarizeOutbox(profiles_ / L"Desk" / L"DeskOutbox").Count, 1u);
    Load(profiles_ / L"Desk");
    EXPECT_TRUE(Logged(L"1 notifications of this profile are waiting since "));

    SetText(kIdProfileName, L"");
    Click(kIdStartMonitor);
    Pump([this] { return window_->ControlText(kIdQueue) == L"Queue: 1"; });
    const HWND window = window_->Window();
    SendMessageW(window, WM_ENDSESSION, TRUE, 0);
    EXPECT_TRUE(Logged(L"1 undelivered notifications of the unsaved session were discarded"));
    // The changed form is not asked about either, not even by closing afterwards; the log keeps it.
    EXPECT_TRUE(
        Logged(L"[WARNING] Windows is ending the session; unsaved changes to this profile were not "
               L"saved."));
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(prompts_.Requests().size(), asked);
}

// How the profile's previous session ended and how long ago its last check was, against a mail
// delivered half an hour ago, when Windows starts the program again.
TEST_F(ProfileAndMonitorTest, ResumingSendsTheGapsMailOnlyAfterAnEndWithWindowsWithinADay) {
    const struct {
        const char* name;
        SessionEnd ended;
        int hoursAgo;
        bool caughtUp;
    } rows[] = {
        {"EndedWithWindows", SessionEnd::Windows, 1, true},
        {"Crashed", SessionEnd::Running, 23, true},
        {"StoppedByTheUser", SessionEnd::User, 1, false},
        {"MoreThanADayAgo", SessionEnd::Windows, 25, false},
    };
    const fs::path folder = profiles_ / L"Desk";
    mailInSeconds_ = -30 * 60;
    mailArrives_ = true;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        fs::remove_all(folder);
        WriteProfile(folder, L"Desk", DeskProfile(L"Never"));
        const std::int64_t lastCheck =
            ToTicksSince1970(std::chrono::system_clock::now()) - row.hoursAgo * 3600LL * 10000000;
        ASSERT_TRUE(WriteSessionRecord(OutboxFolder(folder, L"Desk"), {lastCheck, row.ended}));
        ASSERT_TRUE(SetLastProfileFolder(folder.wstring()));
        OpenWindow();
        window_->ResumeLastProfile();
        ASSERT_TRUE(window_->IsMonitoring());
        Pump([this] { return Logged(L"Monitor cycle completed at "); });
        Pump([this] { return window_->ControlText(kIdMessagesSent) == L"Messages Sent: 1"; }, 2s);
        EXPECT_EQ(window_->ControlText(kIdMessagesSent),
                  row.caughtUp ? L"Messages Sent: 1" : L"Messages Sent: 0");
        EXPECT_EQ(Logged(L"Catching up on mail since "), row.caughtUp);
        Click(kIdStopMonitor);
        DestroyWindow(window_->Window());
    }
}

}  // namespace
}  // namespace wrenpost
