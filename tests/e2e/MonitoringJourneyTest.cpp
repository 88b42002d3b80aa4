// The program's main job end to end, against the fake Outlook and the fake Bot API: a profile
// loaded, its bot checked and tested, given a folder with a title and saved turns one new mail into
// one Telegram message, and a start at log-on monitors it again without sending that mail twice;
// two instances with sessions of one name keep to their own recipients.
#include <windows.h>
// The headers below need windows.h first.
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <string>

#include "MonitoredWorld.h"
#include "app/AppPaths_win.h"
#include "app/AppStateStore_win.h"
#include "common/LocalTime.h"
#include "common/Text.h"
#include "support/FakeBotApiServer_win.h"
#include "support/FakeOutlook_win.h"
#include "support/RunningProgram_win.h"

namespace wrenpost::testing {
namespace {

namespace fs = std::filesystem;

// A mail delivered now, as Outlook records it (UTC).
std::wstring NewMail(const wchar_t* id, const wchar_t* subject) {
    std::tm utc{};
    ToUtcCalendar(std::time(nullptr), utc);
    wchar_t now[32];
    std::wcsftime(now, 32, L"%Y-%m-%d %H:%M:%S", &utc);
    return ScenarioLine({L"item", L"folder=F1", std::wstring(L"id=") + id,
                         std::wstring(L"subject=") + subject, L"sender=Dana",
                         std::wstring(L"received=") + now, std::wstring(L"delivery=") + now});
}

class MonitoringJourneyTest : public ::testing::Test, protected MonitoredWorld {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(StartWorld()); }
    void TearDown() override {
        for (RunningProgram* program : {&first_, &second_}) {
            program->End();
        }
        EndWorld();
        std::error_code ignored;
        fs::remove_all(ProfilesFolder(), ignored);
    }

    // LOAD through the folder picker, which opens on the last profile folder.
    void Load(const RunningProgram& program, const fs::path& folder, const std::wstring& name) {
        ASSERT_TRUE(SetLastProfileFolder(folder.wstring()));
        // The first picker of a fresh wine prefix opens on the desktop instead: LOAD then says
        // the folder holds no profile, and a second LOAD finds it.
        for (int attempt = 0; attempt < 2 && program.Text(kIdProfileName) != name; ++attempt) {
            program.Click(kIdLoad);
            ASSERT_TRUE(program.PressOk(nullptr));
            ASSERT_TRUE(WaitFor([&] {
                return program.Text(kIdProfileName) == name ||
                       !FindWindows(L"#32770", L"Missing Config", program.Id()).empty();
            }));
            if (program.Text(kIdProfileName) != name) {
                ASSERT_TRUE(program.PressOk(L"Missing Config"));
            }
        }
        ASSERT_EQ(program.Text(kIdProfileName), name);
    }
    void StartMonitoring(const RunningProgram& program) {
        program.Type(kIdCheckSeconds, L"1");
        program.Click(kIdStartMonitor);
        ASSERT_TRUE(program.WaitForText(kIdStatusLine, L"Status: Running"))
            << program.Text(kIdStatusLine);
    }
    // The sendMessage requests of one bot, as "chat|text".
    std::vector<std::string> Sent(const std::wstring& token) const {
        std::vector<std::string> sent;
        for (const FakeBotApiRequest& request : server_.Requests("sendMessage")) {
            if (request.token == WideToUtf8(token)) {
                sent.push_back(request.parameters.at("chat_id") + "|" +
                               request.parameters.at("text"));
            }
        }
        return sent;
    }
    // Lets `cycles` more monitor cycles of the program pass.
    bool WaitCycles(const RunningProgram& program, int cycles) {
        std::wstring last;
        for (int i = 0; i < cycles; ++i) {
            last = program.Text(kIdLastCheck);
            if (!WaitFor([&] { return program.Text(kIdLastCheck) != last; })) {
                return false;
            }
        }
        return true;
    }

    RunningProgram first_;
    RunningProgram second_;
};

TEST_F(MonitoringJourneyTest, ANewMailBecomesOneMessageWithTheFolderTitleAndNeverTwo) {
    const std::wstring token = L"111:desk-token";
    const fs::path folder = SaveProfile(L"Orders", token, L"4242", false);
    ASSERT_TRUE(first_.Start());
    Load(first_, folder, L"Orders");
    EXPECT_EQ(first_.Text(kIdRecipientCount), L"1");
    ASSERT_TRUE(first_.WaitForText(kIdStatusLine, L"Status: Outlook Tree Loaded"));

    first_.Click(kIdCheckBot);
    ASSERT_TRUE(first_.WaitForText(kIdBotName, L"Wren Test Bot"));
    first_.Click(kIdTest);
    ASSERT_TRUE(first_.PressOk(L"Success"));

    first_.Click(kIdDetectFolders);
    ASSERT_TRUE(first_.WaitForText(kIdStatusLine, L"Status: Outlook Tree Loaded"));
    ASSERT_TRUE(first_.TickFirstFolder());
    first_.Click(kIdTitlesNo);
    first_.Key(kIdFolderTitleList, VK_DOWN);  // selects the one row
    ASSERT_TRUE(WaitFor([&] {
        return SendMessageW(first_.Control(kIdFolderTitleList), LVM_GETSELECTEDCOUNT, 0, 0) == 1;
    }));
    first_.Type(kIdFolderTitle, L"Desk mail");
    first_.Click(kIdSetFolderTitle);
    first_.Type(kIdCheckSeconds, L"1");

    first_.Click(kIdSave);
    ASSERT_TRUE(first_.PressOk(nullptr));  // the picker, on the profile's folder
    ASSERT_TRUE(first_.PressOk(L"Saved"));
    StartMonitoring(first_);
    ASSERT_TRUE(WaitCycles(first_, 1));
    ASSERT_TRUE(outlook_.WriteScenario(kMailbox + NewMail(L"NEW1", L"Quarterly numbers")));
    ASSERT_TRUE(first_.WaitForText(kIdMessagesSent, L"Messages Sent: 1"));
    const std::string expected = "4242|Desk mail\n\nQuarterly numbers";
    EXPECT_EQ(Sent(token), (std::vector<std::string>{"4242|Wrenpost Test\n\nTest message sent "
                                                     "successfully from Wrenpost.",
                                                     expected}));
    first_.Click(kIdStopMonitor);
    ASSERT_TRUE(first_.WaitForText(kIdStatusLine, L"Status: Monitor Stopped"));
    first_.End();

    // Started at log-on: the saved profile is loaded and monitored from the tray, and the mail
    // from before is not sent again.
    ASSERT_TRUE(first_.Start(L"--startup", true));
    ASSERT_TRUE(first_.WaitForText(kIdStatusLine, L"Status: Running"));
    EXPECT_FALSE(IsWindowVisible(first_.Main()));
    EXPECT_EQ(WindowText(first_.Main()), L"Wrenpost \u2014 Orders");
    ASSERT_TRUE(WaitCycles(first_, 3));
    EXPECT_EQ(Sent(token).size(), 2u);
}

TEST_F(MonitoringJourneyTest, TwoInstancesWithSessionsOfOneNameKeepToTheirOwnRecipients) {
    const fs::path one = SaveProfile(L"One", L"111:first-bot", L"1001");
    const fs::path two = SaveProfile(L"Two", L"222:second-bot", L"2002");
    ASSERT_TRUE(first_.Start());
    ASSERT_TRUE(second_.Start(L"--new-instance-from-vault e2e"));
    ASSERT_TRUE(second_.PressOk(L"Token Vault"));  // no hand-off of that name
    Load(first_, one, L"One");
    Load(second_, two, L"Two");
    for (RunningProgram* program : {&first_, &second_}) {
        program->Type(kIdProfileName, L"Shared");  // unsaved: a temporary profile each
        StartMonitoring(*program);
    }
    ASSERT_TRUE(WaitCycles(first_, 1) && WaitCycles(second_, 1));
    ASSERT_TRUE(outlook_.WriteScenario(kMailbox + NewMail(L"NEW2", L"For both")));
    for (RunningProgram* program : {&first_, &second_}) {
        ASSERT_TRUE(program->WaitForText(kIdMessagesSent, L"Messages Sent: 1"));
    }
    EXPECT_EQ(Sent(L"111:first-bot"),
              std::vector<std::string>{"1001|New Outlook Mail\n\nFor both"});
    EXPECT_EQ(Sent(L"222:second-bot"),
              std::vector<std::string>{"2002|New Outlook Mail\n\nFor both"});
}

// The process is killed with 20 notifications queued and 5 of them sent: the next start of the
// saved profile sends the other 15, and none of the 5 again.
TEST_F(MonitoringJourneyTest, AKilledProgramsWaitingNotificationsGoOutOnceFromTheNextStart) {
    const std::wstring token = L"333:desk-token";
    const fs::path folder = SaveProfile(L"Desk", token, L"4242");
    for (int i = 0; i < 5; ++i) {
        server_.QueueReply("sendMessage", {200, R"({"ok":true,"result":{}})"});
    }
    for (int i = 0; i < 200; ++i) {
        server_.QueueReply("sendMessage", {502, R"({"ok":false,"description":"Bad Gateway"})"});
    }
    ASSERT_TRUE(first_.Start());
    Load(first_, folder, L"Desk");
    StartMonitoring(first_);
    ASSERT_TRUE(WaitCycles(first_, 1));
    std::wstring burst = kMailbox;
    std::vector<std::string> expected;
    for (int i = 0; i < 20; ++i) {
        // Delivered in one second, filed in order.
        std::wstring mail =
            NewMail((L"M" + std::to_wstring(i)).c_str(), (L"Mail " + std::to_wstring(i)).c_str());
        wchar_t received[32];
        std::swprintf(received, 32, L"received=2026-01-02 00:00:%02d", i);
        mail.replace(mail.find(L"received="), 28, received);
        burst += mail;
        expected.push_back("4242|New Outlook Mail\n\nMail " + std::to_string(i));
    }
    ASSERT_TRUE(outlook_.WriteScenario(burst));
    ASSERT_TRUE(first_.WaitForText(kIdQueue, L"Queue: 15")) << first_.Text(kIdQueue);
    ASSERT_EQ(Sent(token), std::vector<std::string>(expected.begin(), expected.begin() + 5));
    TerminateProcess(first_.Process(), 9);
    ASSERT_TRUE(WaitForExit(first_.Process(), std::chrono::milliseconds(10000)).has_value());
    first_.End();
    Sleep(2000);  // the next start comes later than every delivery

    FakeBotApiServer after;
    ASSERT_TRUE(after.Start() && after.ServeAsTelegram());
    ASSERT_TRUE(first_.Start());
    Load(first_, folder, L"Desk");
    StartMonitoring(first_);
    ASSERT_TRUE(first_.WaitForText(kIdQueue, L"Queue: 0")) << first_.Text(kIdQueue);
    ASSERT_TRUE(WaitCycles(first_, 2));
    std::vector<std::string> resent;
    for (const FakeBotApiRequest& request : after.Requests("sendMessage")) {
        resent.push_back(request.parameters.at("chat_id") + "|" + request.parameters.at("text"));
    }
    EXPECT_EQ(resent, std::vector<std::string>(expected.begin() + 5, expected.end()));
}

}  // namespace
}  // namespace wrenpost::testing
