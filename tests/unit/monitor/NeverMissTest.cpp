// Nothing is lost between Outlook and Telegram: bursts of any size, late filing, Telegram down,
// STOP and a crash with notifications waiting, and a full outbox. (A session resumed at sign-in:
// tests/win/ui/ProfileAndMonitorTest.cpp.)
#include <gtest/gtest.h>

#include "MailboxKit.h"
#include "MonitorTestKit.h"
#include "monitor/SessionRecord.h"

namespace wrenpost::testing {
namespace {

class NeverMissTest : public MonitorEngineTest {
protected:
    NeverMissTest() {
        profile.SelectedFolders.push_back(
            {L"Archive", kArchive, L"E2", L"STORE-1", L"Mailbox", L"", 0});
        WriteProfile();
    }
    std::unique_ptr<MonitorEngine> MakeEngine(OutboxLimits outbox = {}) {
        MonitorDependencies deps = Dependencies();
        deps.ReadFolders = mailbox.Reader();
        deps.OutboxSize = outbox;
        return std::make_unique<MonitorEngine>(std::move(deps));
    }
    // `count` mails filed at once, `gapMs` apart, from `firstSecond` s after the session start.
    void Burst(int count, const std::wstring& prefix, int firstSecond = 1,
               const std::wstring& folder = kInbox, int gapMs = 1) {
        std::vector<MailSnapshot> mails;
        for (int i = 0; i < count; ++i) {
            mails.push_back(Mail(folder, prefix + std::to_wstring(i),
                                 start + firstSecond * kTicksPerSecond + i * gapMs * 10000LL));
        }
        mailbox.File(mails);
    }
    // Runs cycles until `expected` messages were sent (at most `cycles`).
    void CyclesUntil(std::size_t expected, int cycles = 20) {
        for (int i = 0; i < cycles && sent.size() < expected; ++i) {
            ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);
            clock.Advance(std::chrono::seconds(10));
        }
    }
    std::vector<std::wstring> Bodies() const {
        std::vector<std::wstring> bodies;
        for (const SentMessage& m : sent) bodies.push_back(m.Body);
        return bodies;
    }

    FakeMailbox mailbox;
};

std::vector<std::wstring> Numbered(const std::wstring& prefix, int count) {
    std::vector<std::wstring> names;
    for (int i = 0; i < count; ++i) names.push_back(prefix + std::to_wstring(i));
    return names;
}

struct BurstCase {
    int count;
    std::int32_t cap;
    std::size_t burstLines;
};

class Bursts : public NeverMissTest, public ::testing::WithParamInterface<BurstCase> {};

TEST_P(Bursts, AreDeliveredCompletelyOnceEachOldestFirst) {
    const BurstCase& row = GetParam();
    engine = MakeEngine();
    StartManual();
    mailbox.File(Mail(kInbox, L"before", start - kTicksPerSecond));
    ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);  // the baseline
    Burst(row.count, L"m");
    CyclesUntil(static_cast<std::size_t>(row.count), 12);
    ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);  // and nothing more
    EXPECT_EQ(Bodies(), Numbered(L"m", row.count));
    EXPECT_EQ(Logged(L"More than 200 new mails in " + kInbox), row.burstLines);
}

INSTANTIATE_TEST_SUITE_P(Monitor, Bursts,
                         ::testing::Values(BurstCase{8, 200, 0}, BurstCase{60, 200, 0},
                                           BurstCase{450, 200, 1}, BurstCase{1500, 200, 1}));

TEST_F(NeverMissTest, ALateFiledMailAndMailOfTwoFoldersGoOutInDeliveryOrder) {
    engine = MakeEngine();
    StartManual();
    mailbox.File(Mail(kInbox, L"newer", start + 100 * kTicksPerSecond));
    for (int i = 0; i < 6; ++i) {  // more than the five always looked at
        mailbox.File(Mail(kInbox, L"old" + std::to_wstring(i), start - (i + 1) * kTicksPerSecond));
    }
    ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);
    // Filed 30 s after a newer mail was delivered, and a mail of the other folder in between.
    mailbox.File(Mail(kInbox, L"filed late", start + 70 * kTicksPerSecond));
    mailbox.File(Mail(kArchive, L"archived", start + 80 * kTicksPerSecond));
    mailbox.File(Mail(kArchive, L"undated", 0));
    mailbox.File(Mail(kInbox, L"newest", start + 90 * kTicksPerSecond));
    ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);
    EXPECT_EQ(Bodies(),
              (std::vector<std::wstring>{L"newer", L"filed late", L"archived", L"newest"}));
    EXPECT_EQ(Logged(L"FRESHNESS_UNKNOWN_SKIPPED"), 1u);
}

TEST_F(NeverMissTest, TelegramDownWhileTwentyArriveThenEachOnceInOrder) {
    engine = MakeEngine();
    StartManual();
    failing = {L"100"};
    Burst(20, L"m");
    for (int i = 0; i < 6; ++i) {
        ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);
        clock.Advance(std::chrono::minutes(1));
    }
    EXPECT_EQ(last.Waiting, 20);
    EXPECT_EQ(last.Status, L"Running \u2013 Telegram unreachable, 20 waiting");
    std::wstring status;
    ASSERT_TRUE(ReadTextFile(dir / L"WorkMonitor.json", status));
    EXPECT_EQ(ReadJsonIntField(status, L"OutboxCount"), 20);
    EXPECT_EQ(ReadJsonIntField(status, L"QueueCount"), 5);    // the attempts that reached nobody
    EXPECT_EQ(Logged(L"Telegram failed, will retry: "), 5u);  // backed off: 5 s, 10 s, 20 s ...
    failing = {};
    clock.Advance(std::chrono::minutes(5));
    CyclesUntil(20);
    EXPECT_EQ(Bodies(), Numbered(L"m", 20));
    EXPECT_EQ(last.Waiting, 0);
    EXPECT_EQ(last.Status, L"Running");
}

TEST_F(NeverMissTest, WhatWaitsAtStopOrACrashIsSentByTheNextStartAndNothingTwice) {
    engine = MakeEngine();
    StartManual();
    Burst(20, L"m");
    deliverAtMost = 5;  // Telegram takes five, then answers 502
    ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);
    EXPECT_EQ(last.Waiting, 15);
    // A crash: the process ends without STOP; its files are what the next start finds.
    const TempDir crashed;
    const std::filesystem::path image = crashed / L"Work";
    std::filesystem::copy(dir.Path(), image, std::filesystem::copy_options::recursive);
    engine->Stop();
    EXPECT_EQ(ReadSessionRecord(OutboxFolder(dir.Path(), L"Work"))->Ended, SessionEnd::User);

    deliverAtMost.reset();
    clock.Advance(std::chrono::minutes(1));
    engine = MakeEngine();
    StartManual();  // a later START of the saved profile
    EXPECT_EQ(Logged(L"15 notifications waiting from an earlier session are sent now."), 1u);
    CyclesUntil(20);
    EXPECT_EQ(Bodies(), Numbered(L"m", 20));
    engine->Stop();

    sent.erase(sent.begin() + 5, sent.end());
    MonitorSession afterCrash = Session();
    afterCrash.ProfileFolder = image;
    engine = MakeEngine();
    ASSERT_TRUE(engine->Start(std::move(afterCrash)));
    engine->SendDue();
    EXPECT_EQ(Bodies(), Numbered(L"m", 20));
}

TEST_F(NeverMissTest, AFullOutboxLeavesMailInOutlookAndDropsNothing) {
    engine = MakeEngine(OutboxLimits{5, 1 << 20});
    StartManual();
    failing = {L"100"};
    Burst(12, L"m");
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);
    }
    EXPECT_EQ(last.Waiting, 5);
    EXPECT_EQ(Logged(L"The outbox is full (5 waiting); new mail is read again once Telegram "
                     L"takes the waiting ones."),
              1u);
    failing = {};
    clock.Advance(std::chrono::minutes(10));
    CyclesUntil(12);
    EXPECT_EQ(Bodies(), Numbered(L"m", 12));
}

TEST_F(NeverMissTest, ARecipientDisallowedWhileWaitingIsNotSentTo) {
    profile.Recipients = {Recipient(L"100"), Recipient(L"200")};
    WriteProfile();
    engine = MakeEngine();
    StartManual();
    failing = {L"100", L"200"};
    Burst(2, L"m");
    ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);
    profile.Recipients[1].Allowed = false;
    WriteProfile();
    failing = {};
    clock.Advance(std::chrono::minutes(1));
    CyclesUntil(2);
    ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].ChatId + sent[1].ChatId, L"100100");
    EXPECT_EQ(Logged(L"Recipient 200 is no longer allowed in this profile"), 2u);
    EXPECT_EQ(last.Waiting, 0);
}

TEST_F(NeverMissTest, ARejectedMessageDoesNotBlockTheChatsNextOne) {
    engine = MakeEngine();
    StartManual();
    firstAnswer[L"100"] = SendResult{false, L"Bad Request: message is too long", 400, 0};
    Burst(2, L"m");
    ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);
    EXPECT_EQ(Bodies(), std::vector<std::wstring>{L"m1"});
    EXPECT_EQ(Logged(L"ERROR: Telegram rejected the notification \"m0\" for recipient 100: Bad "
                     L"Request: message is too long"),
              1u);
    EXPECT_EQ(last.Waiting, 0);
}

}  // namespace
}  // namespace wrenpost::testing
