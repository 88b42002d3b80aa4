// SAVE, LOAD, START and STOP through the window under wine: the folder picker and the monitor's
// Outlook and Telegram are answered by the test, the profile files are the real ones.
#include <windows.h>
// The headers below need windows.h first.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <set>
#include <string>

#include "app/AppPaths_win.h"
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
#include "ui/rules/RulesDialog_win.h"
#include "win/ui/MainWindowFixture.h"

namespace wrenpost {
namespace {

namespace fs = std::filesystem;
using testing::ReadAllBytes;
using testing::WriteAllBytes;

constexpr wchar_t kToken[] = L"123456:sample-token";

std::set<std::wstring> FilesBelow(const fs::path& folder) {
    std::set<std::wstring> files;
    std::error_code error;
    for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        files.insert(it->path().lexically_relative(folder).wstring());
    }
    return files;
}

RulesFile RulesWith(std::size_t count) {
    RulesFile rules;
    for (std::size_t i = 0; i < count; ++i) {
        rules.Rules.push_back({L"r" + std::to_wstring(i), L"rule"});
    }
    return rules;
}

// One allowed recipient (notified `lastNotification`) and the Inbox.
ProfileConfig DeskProfile(const std::wstring& lastNotification = FormatLocalTimestamp()) {
    ProfileConfig config;
    config.Recipients = {{L"42", L"Ann", true, FormatLocalTimestamp(), lastNotification}};
    config.SelectedFolders = {Folder(L"Mailbox", L"Inbox")};
    return config;
}

// A profile folder as SAVE leaves it.
void WriteProfile(const fs::path& folder, const std::wstring& name, ProfileConfig config,
                  std::size_t rules = 0) {
    config.ProfileName = name;
    ASSERT_TRUE(SaveProfileConfig(folder / (name + L"Config.json"), config));
    ASSERT_TRUE(WriteTokenFile(folder / (name + L".token"), kToken));
    ASSERT_TRUE(SaveRulesFile(folder / (name + L"Rules.json"), RulesWith(rules)));
}

// Accepts every send, or answers 502 while `down` is set.
class TestProvider final : public NotificationProvider {
public:
    explicit TestProvider(const std::atomic<bool>& down) : down_(down) {}
    using NotificationProvider::Send;
    SendResult Send(const std::wstring&, const std::wstring&, const SendOptions&) override {
        return down_.load() ? SendResult{false, L"HTTP 502", 502, 0} : SendResult{true, L""};
    }
    std::wstring Name() const override { return L"test"; }

private:
    const std::atomic<bool>& down_;
};

class ProfileAndMonitorTest : public MainWindowFixture {
public:
    void SetUp() override {
        MainWindowFixture::SetUp();
        profiles_ = ProfilesFolder();
        std::error_code ignored;
        fs::remove_all(profiles_, ignored);
        fs::remove(AppStateFilePath(), ignored);
        fs::create_directories(profiles_);
    }
    void TearDown() override {
        MainWindowFixture::TearDown();
        std::error_code ignored;
        fs::remove_all(profiles_, ignored);
    }

    // Outlook offers one new mail once `mailArrives` is set; sends succeed unless
    // `telegramDown` is set.
    MainWindow& OpenWindow() {
        return Open([this](MainWindowServices& services) {
            services.pickFolder = [this](HWND, const fs::path& initial, fs::path& picked) {
                initialPick_ = initial;
                picked = nextPick_;
                return !picked.empty();
            };
            MonitorDependencies monitor;
            monitor.ReadFolders = [this](const MailReadRequest&) {
                MailReadResult found;
                std::vector<MailSnapshot>& messages = found.Messages;
                MailSnapshot mail;  // by default a minute from now: after any session's start
                mail.Subject = L"Quarterly numbers";
                mail.EntryId = L"M1";
                mail.DeliveryTimeUtc = (std::chrono::system_clock::now().time_since_epoch() +
                                        std::chrono::seconds(mailInSeconds_.load())) /
                                       100ns;
                mail.DeliveryTimeKnown = true;
                messages.push_back(mail);
                found.Ok = mailArrives_.load();
                return found;
            };
            monitor.MakeProvider = [this](const std::wstring&, const std::wstring&) {
                return std::make_unique<TestProvider>(telegramDown_);
            };
            monitor.KeepAwake = [](bool) {};
            services.monitor = monitor;
        });
    }

    void Load(const fs::path& folder) {
        nextPick_ = folder;
        Click(kIdLoad);
        Pump([this] { return IsWindowEnabled(window_->Control(kIdLoad)) != FALSE; });
    }
    std::wstring LastCaption() const {
        const auto asked = prompts_.Requests();
        return asked.empty() ? L"" : asked.back().caption;
    }
    bool Logged(const std::wstring& text) const {
        const auto& lines = window_->LogLines().Lines();
        return std::any_of(lines.begin(), lines.end(), [&](const std::wstring& line) {
            return line.find(text) != std::wstring::npos;
        });
    }
    // Desk with `rules` rules, LOADed and STARTed under no name: an unsaved session.
    void StartUnsavedDesk(std::size_t rules) {
        WriteProfile(profiles_ / L"Desk", L"Desk", DeskProfile(), rules);
        OpenWindow();
        Load(profiles_ / L"Desk");
        SetText(kIdProfileName, L"");
        Click(kIdStartMonitor);
        ASSERT_TRUE(window_->IsMonitoring());
    }
    // A file of the running unsaved session's copy, by the end of its name.
    fs::path SessionCopy(const std::wstring& suffix) const {
        const fs::path temporary = window_->TemporaryProfile();
        const std::wstring name = temporary.filename().wstring();
        return temporary / (name.substr(0, name.rfind(L'@')) + suffix);
    }

    fs::path profiles_;
    fs::path nextPick_;  // empty: the picker is cancelled
    fs::path initialPick_;
    std::atomic<bool> mailArrives_{false};
    std::atomic<bool> telegramDown_{false};
    std::atomic<int> mailInSeconds_{60};  // when the mail is delivered, from now
};

TEST_F(ProfileAndMonitorTest, EveryRefusalShowsOneBoxAndNeitherWritesNorStarts) {
    WriteProfile(profiles_ / L"Desk", L"Desk", DeskProfile());
    ProfileConfig noFolder = DeskProfile();
    noFolder.SelectedFolders.clear();
    WriteProfile(profiles_ / L"NoFolder", L"NoFolder", noFolder);
    WriteAllBytes(profiles_ / L"NoToken" / L"NoTokenConfig.json", "{}");
    WriteProfile(profiles_ / L"Foreign", L"Foreign", DeskProfile());
    WriteAllBytes(profiles_ / L"Foreign" / L"Foreign.token", "a token another user encrypted");
    OpenWindow();

    struct Refusal {
        const wchar_t* what;
        std::function<void()> prepare;
        int command;
        const wchar_t* caption;
    };
    const auto form = [this](const wchar_t* name, const wchar_t* token) {
        SetText(kIdProfileName, name);
        SetText(kIdAccessToken, token);
    };
    const Refusal refusals[] = {
        {L"SAVE without a name", [&] { form(L"", kToken); }, kIdSave, L"Missing Profile"},
        {L"SAVE without a token", [&] { form(L"Desk2", L""); }, kIdSave, L"Missing Token"},
        {L"SAVE as a device name", [&] { form(L"CON", kToken); }, kIdSave, L"Invalid Profile Name"},
        {L"START as a device name", [&] { form(L"a:b", kToken); }, kIdStartMonitor,
         L"Invalid Profile Name"},
        {L"LOAD without a config", [&] { nextPick_ = profiles_ / L"Nothing"; }, kIdLoad,
         L"Missing Config"},
        {L"LOAD without a token file", [&] { nextPick_ = profiles_ / L"NoToken"; }, kIdLoad,
         L"Missing Token"},
        {L"LOAD another user's token", [&] { nextPick_ = profiles_ / L"Foreign"; }, kIdLoad,
         L"Profile Cannot Be Loaded"},
        {L"START without a token", [&] { form(L"", L""); }, kIdStartMonitor, L"Missing Token"},
        {L"START without a recipient", [&] { form(L"", kToken); }, kIdStartMonitor,
         L"Missing Recipient"},
        {L"START without a folder",
         [&] {
             Load(profiles_ / L"NoFolder");
             form(L"Unsaved", kToken);
         },
         kIdStartMonitor, L"No Outlook Folder Selected"},
        {L"STOP when nothing runs", [] {}, kIdStopMonitor, L"Not Running"},
    };
    for (const Refusal& refusal : refusals) {
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

    // While a session runs, START, CLEAR and the unread box refuse and change nothing.
    Load(profiles_ / L"Desk");
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
    struct Save {
        fs::path picked;
        fs::path folder;  // where the files must land; empty when refused
    };
    const Save saves[] = {
        {profiles_ / L"A" / L"sales", profiles_ / L"A" / L"sales"},  // the name, in any case
        {profiles_, profiles_ / L"Sales"},
        {profiles_ / L"C" / L"Sales", {}},  // another profile's folder
        {profiles_ / L"D" / L"SALES", profiles_ / L"D" / L"SALES"},
    };
    for (const Save& save : saves) {
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
        const DWORD attributes = GetFileAttributesW((save.folder / L"Sales.token").c_str());
        EXPECT_NE(attributes & FILE_ATTRIBUTE_HIDDEN, 0u);
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
    WriteProfile(profiles_ / L"Desk", L"Desk", DeskProfile(L"Never"));
    OpenWindow();
    Load(profiles_ / L"Desk");
    SetText(kIdProfileName, L"");
    SetText(kIdCheckSeconds, L"0");
    mailArrives_ = true;
    Click(kIdStartMonitor);
    ASSERT_TRUE(window_->IsMonitoring());
    const fs::path temporary = window_->TemporaryProfile();
    const std::wstring folderName = temporary.filename().wstring();
    EXPECT_EQ(folderName.rfind(L"_Temp_Session_", 0), 0u) << folderName;
    EXPECT_NE(folderName.find(L"@" + std::to_wstring(GetCurrentProcessId()) + L"-"),
              std::wstring::npos);
    const std::wstring name = folderName.substr(0, folderName.rfind(L'@'));
    ProfileConfigStore config;
    ASSERT_TRUE(config.ReadProfileConfig(temporary / (name + L"Config.json")));
    EXPECT_EQ(config.Current().CheckInterval, 10);
    EXPECT_EQ(ReadTokenFile(temporary / (name + L".token")), kToken);

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

TEST_F(ProfileAndMonitorTest, RulesEditedWhileAnUnsavedSessionRunsReachItsCopy) {
    ASSERT_NO_FATAL_FAILURE(StartUnsavedDesk(1));
    // The one enabled rule allows the switch on; the window saves and closes.
    WhenReady([] {
        HWND rules = ActiveModalDialog();
        for (const int button : {static_cast<int>(kRulesMasterId), IDOK}) {
            PostMessageW(GetDlgItem(rules, button), BM_CLICK, 0, 0);
        }
        return rules != nullptr;
    });
    Click(kIdRules);
    RulesFile copy;
    ASSERT_EQ(LoadRulesFile(SessionCopy(L"Rules.json"), copy), RuleLoadResult::Loaded);
    EXPECT_TRUE(copy.Enabled);
    EXPECT_TRUE(Logged(L"applies from the running session's next check"));
    Click(kIdStopMonitor);
}

TEST_F(ProfileAndMonitorTest, MessageOptionsChangedWhileAnUnsavedSessionRunsReachItsCopy) {
    ASSERT_NO_FATAL_FAILURE(StartUnsavedDesk(0));
    WhenReady([] {
        HWND dialog = ActiveModalDialog();
        if (dialog != nullptr) {
            SendMessageW(FindWindowExW(dialog, nullptr, L"ComboBox", nullptr), CB_SETCURSEL, 2, 0);
            PostMessageW(FindWindowExW(dialog, nullptr, L"Button", L"OK"), BM_CLICK, 0, 0);
        }
        return dialog != nullptr;
    });
    Click(kIdMessageOptions);
    ProfileConfigStore copy;
    ASSERT_TRUE(copy.ReadProfileConfig(SessionCopy(L"Config.json")));
    EXPECT_EQ(copy.Current().Message.Content, MessageContent::Preview);
    EXPECT_TRUE(Logged(L"Message Options change applies from the running session's next check"));
    Click(kIdStopMonitor);
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
struct DiscardCase {
    const char* name;
    UINT message;
    WPARAM command;
    PromptAnswer answer;
    bool stillMonitoring;
};

class DiscardQuestion : public ProfileAndMonitorTest,
                        public ::testing::WithParamInterface<DiscardCase> {};

TEST_P(DiscardQuestion, AsksBeforeAnUnsavedSessionsWaitingNotificationsAreLost) {
    const DiscardCase& row = GetParam();
    WriteProfile(profiles_ / L"Desk", L"Desk", DeskProfile(L"Never"));
    OpenWindow();
    Load(profiles_ / L"Desk");
    SetText(kIdProfileName, L"");
    mailArrives_ = telegramDown_ = true;
    Click(kIdStartMonitor);
    ASSERT_TRUE(window_->IsMonitoring());
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
}

INSTANTIATE_TEST_SUITE_P(
    Window, DiscardQuestion,
    ::testing::Values(DiscardCase{"StopNo", WM_COMMAND, MAKEWPARAM(kIdStopMonitor, BN_CLICKED),
                                  PromptAnswer::No, true},
                      DiscardCase{"StopYes", WM_COMMAND, MAKEWPARAM(kIdStopMonitor, BN_CLICKED),
                                  PromptAnswer::Yes, false},
                      DiscardCase{"TrayStopNo", WM_COMMAND, MAKEWPARAM(kTrayStopMonitor, 0),
                                  PromptAnswer::No, true},
                      DiscardCase{"TrayStopYes", WM_COMMAND, MAKEWPARAM(kTrayStopMonitor, 0),
                                  PromptAnswer::Yes, false},
                      DiscardCase{"TrayExitNo", WM_COMMAND, MAKEWPARAM(kTrayExit, 0),
                                  PromptAnswer::No, true},
                      DiscardCase{"CloseNo", WM_CLOSE, 0, PromptAnswer::No, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProfileAndMonitorTest, ASavedProfileKeepsWhatWaitsAndWindowsEndingDiscardsUnsavedOnes) {
    WriteProfile(profiles_ / L"Desk", L"Desk", DeskProfile(L"Never"));
    OpenWindow();
    Load(profiles_ / L"Desk");
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
    SendMessageW(window_->Window(), WM_ENDSESSION, TRUE, 0);
    EXPECT_EQ(prompts_.Requests().size(), asked);
    EXPECT_FALSE(window_->IsMonitoring());
    EXPECT_TRUE(Logged(L"1 undelivered notifications of the unsaved session were discarded"));
}

// How the profile's previous session ended and how long ago its last check was, against a mail
// delivered half an hour ago, when Windows starts the program again.
struct ResumeCase {
    const char* name;
    SessionEnd ended;
    int hoursAgo;
    bool caughtUp;
};

class ResumeWithWindows : public ProfileAndMonitorTest,
                          public ::testing::WithParamInterface<ResumeCase> {};

TEST_P(ResumeWithWindows, SendsTheGapsMailOnlyAfterAnEndWithWindowsWithinADay) {
    const ResumeCase& row = GetParam();
    const fs::path folder = profiles_ / L"Desk";
    WriteProfile(folder, L"Desk", DeskProfile(L"Never"));
    const std::int64_t lastCheck =
        ToTicksSince1970(std::chrono::system_clock::now()) - row.hoursAgo * 3600LL * 10000000;
    ASSERT_TRUE(WriteSessionRecord(OutboxFolder(folder, L"Desk"), {lastCheck, row.ended}));
    ASSERT_TRUE(SetLastProfileFolder(folder.wstring()));
    mailInSeconds_ = -30 * 60;
    mailArrives_ = true;
    OpenWindow();
    window_->ResumeLastProfile();
    ASSERT_TRUE(window_->IsMonitoring());
    Pump([this] { return Logged(L"Monitor cycle completed at "); });
    Pump([this] { return window_->ControlText(kIdMessagesSent) == L"Messages Sent: 1"; }, 2s);
    EXPECT_EQ(window_->ControlText(kIdMessagesSent),
              row.caughtUp ? L"Messages Sent: 1" : L"Messages Sent: 0");
    EXPECT_EQ(Logged(L"Catching up on mail since "), row.caughtUp);
    Click(kIdStopMonitor);
}

INSTANTIATE_TEST_SUITE_P(
    Window, ResumeWithWindows,
    ::testing::Values(ResumeCase{"EndedWithWindows", SessionEnd::Windows, 1, true},
                      ResumeCase{"Crashed", SessionEnd::Running, 23, true},
                      ResumeCase{"StoppedByTheUser", SessionEnd::User, 1, false},
                      ResumeCase{"MoreThanADayAgo", SessionEnd::Windows, 25, false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace wrenpost
