// What a cycle does with the messages it read: admission, titles, delivery to the recipients,
// counters, and the notification times written back to the profile under its file lock.
#include <gtest/gtest.h>

#include "MonitorTestKit.h"
#include "common/LocalTime.h"
#include "unit/profile/WindowSave.h"

namespace wrenpost::testing {
namespace {

std::wstring Summary(const MailSnapshot& m) {
    return m.ReceivedTime + L" | " + m.SenderName + L" | " + m.Subject;
}

TEST_F(MonitorEngineTest, BaselineSendsOnlyWhatArrivedFromTheStartSecondOn) {
    clock.Advance(std::chrono::milliseconds(700));  // START pressed within a second
    StartManual();
    const std::int64_t startSecond = start - 7000000;
    const std::vector<MailSnapshot> inbox{
        Mail(kInbox, L"Before", startSecond - 1, L"<b>"),
        Mail(kInbox, L"Undated", 0, L"<u>", false),
        Mail(kInbox, L"In the start second", startSecond, L"<s>"),
        Mail(kInbox, L"Later", startSecond + 5 * kTicksPerSecond, L"<l>"),
        Mail(kArchive, L"Later", startSecond + 5 * kTicksPerSecond, L"<l>"),  // a copy
    };
    reader.Push(inbox);
    ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);
    ASSERT_EQ(channel.Sent().size(), 2u);
    EXPECT_EQ(channel.Sent()[0].Body, L"In the start second");
    EXPECT_EQ(Logged(L"STALE_SKIPPED Subject=\"Before\"", true), 1u);
    EXPECT_EQ(Logged(L"FRESHNESS_UNKNOWN_SKIPPED Subject=\"Undated\"", true), 1u);
    ASSERT_EQ(reader.Calls().size(), 1u);
    EXPECT_EQ(reader.Calls()[0].Limit, 5);
    EXPECT_FALSE(reader.Calls()[0].IncludeOld);
    EXPECT_EQ(reader.Calls()[0].Folders, profile.SelectedFolders);

    ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);  // all remembered now
    EXPECT_EQ(channel.Sent().size(), 2u);
    EXPECT_EQ(Logged(L"STALE_SKIPPED", true), 1u);
    EXPECT_EQ(Logged(L"Baseline completed. Old messages will not be sent."), 1u);

    engine->Stop();  // backlog mode: old and undated unread mail is sent too
    StartManual(600, /*includeOld=*/true);
    EXPECT_EQ(Logged(L"Backlog mode is enabled", true), 1u);
    reader.Push(inbox);
    ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);
    EXPECT_EQ(channel.Sent().size(), 2u + 4u);
    EXPECT_EQ(LastReport().Sent, 4);  // counted from the new session's start
    EXPECT_EQ(Logged(L"Baseline completed (backlog mode)", true), 1u);
    EXPECT_EQ(reader.Calls().back().Limit, 50);
    EXPECT_TRUE(reader.Calls().back().IncludeOld);
}

TEST_F(MonitorEngineTest, SendsToEveryAllowedRecipientAndQueuesUntilOneAccepts) {
    profile.Recipients = {Recipient(L"100"), Recipient(L"200", false), Recipient(L"-300")};
    WriteProfile();
    channel.Fail({L"100", L"-300"});
    StartManual();
    const MailSnapshot message = Fresh(L"Quarterly report");
    reader.Push({message});
    for (int cycle = 1; cycle <= 2; ++cycle) {
        ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);
        EXPECT_EQ(LastReport().Queued, cycle);
        EXPECT_EQ(LastReport().Sent, 0);
    }
    EXPECT_EQ(Logged(L"Telegram send failed for recipient 100: Quarterly report - HTTP 502"), 2u);
    EXPECT_EQ(Logged(L"Telegram failed, will retry: " + Summary(message)), 2u);
    EXPECT_TRUE(Copy(notified).empty());

    channel.Fail({});
    ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);
    ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);  // sent once, then remembered
    const auto sent = channel.Sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].ChatId + sent[1].ChatId + sent[1].BotToken, L"100-300123:TOKEN");
    EXPECT_EQ(Logged(L"Telegram sent: " + Summary(message)), 1u);
    EXPECT_EQ(LastReport().Sent, 1);
    EXPECT_EQ(LastReport().Queued, 2);
}

TEST_F(MonitorEngineTest, WithoutAllowedRecipientsOrChannelEachMessageIsQueuedEveryCycle) {
    profile.Recipients = {Recipient(L"100", false)};
    WriteProfile();
    StartManual();
    reader.Push({Fresh(L"One"), Fresh(L"Two")});
    ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);
    ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);
    EXPECT_EQ(Logged(L"No allowed Telegram recipients configured."), 4u);
    EXPECT_EQ(LastReport().Queued, 4);
    EXPECT_TRUE(channel.Sent().empty());

    engine->Stop();
    auto deps = Dependencies();
    deps.MakeProvider = nullptr;
    engine = std::make_unique<MonitorEngine>(std::move(deps));
    profile.Recipients = {Recipient(L"100")};
    WriteProfile();
    StartManual();
    reader.Push({Fresh(L"Three")});
    ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);
    EXPECT_EQ(Logged(L"Telegram failed, will retry: " + Summary(Fresh(L"Three"))), 1u);
}

TEST_F(MonitorEngineTest, TitleComesFromTheCommonTitleOrTheExactFolderPath) {
    const std::wstring lowerInbox = L"\\\\Mailbox\\inbox";
    const struct {
        bool same;
        std::wstring common;
        std::vector<std::wstring> expected;  // for Inbox, Archive, inbox
    } rows[] = {
        {true, L"Office mail", {L"Office mail", L"Office mail", L"Office mail"}},
        {true, L"", {L"New Outlook Mail", L"New Outlook Mail", L"New Outlook Mail"}},
        {false, L"Unused", {L"Inbox news", L"New Outlook Mail", L"New Outlook Mail"}},
    };
    for (const auto& row : rows) {
        profile.UseSameTitle = row.same;
        profile.DefaultTitle = row.common;
        profile.FolderTitles = {{kInbox, L"Inbox news"}, {kArchive, L""}, {kInbox, L"Second"}};
        WriteProfile();
        StartManual();
        reader.Push({Fresh(L"a"), Fresh(L"b", kArchive), Fresh(L"c", lowerInbox)});
        ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);
        engine->Stop();
        const auto sent = channel.Sent();
        ASSERT_EQ(sent.size() % 3, 0u);
        for (std::size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(sent[sent.size() - 3 + i].Title, row.expected[i]) << row.common << i;
        }
        clock.Advance(std::chrono::seconds(1));
    }
}

// Notification times reach the window and the file; the file lock is held only for the
// write-back, never while the cycle reads or sends, so a SAVE neither waits nor is undone.
TEST_F(MonitorEngineTest, NotificationTimesAreWrittenBackWithoutDelayingOrUndoingASave) {
    profile.Recipients = {Recipient(L"100"), Recipient(L"200")};
    WriteProfile();
    channel.Fail({L"200"});
    StartManual();
    reader.Push({Mail(kInbox, L"old", start - kTicksPerSecond, L"<o>")});
    const auto unchanged = std::filesystem::last_write_time(ConfigPath()) - std::chrono::hours(1);
    std::filesystem::last_write_time(ConfigPath(), unchanged);
    ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);
    EXPECT_EQ(std::filesystem::last_write_time(ConfigPath()), unchanged);  // nothing delivered

    reader.PushHang();
    clock.OnNextSleep([this] { EXPECT_FALSE(WindowSave(ConfigPath(), profile).Waited); });
    ASSERT_EQ(Cycle(), MonitorCycleResult::TimedOut);
    reader.Release();

    channel.OnSend([this] {
        ProfileConfig edited = profile;
        edited.DefaultTitle = L"Edited meanwhile";
        edited.Recipients[0].DisplayName = L"Renamed";
        edited.Recipients[1] = Recipient(L"400");
        EXPECT_FALSE(WindowSave(ConfigPath(), edited).Waited);
    });
    reader.Push({Fresh(L"a")});
    ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);
    const auto told = Copy(notified);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].first, L"100");
    std::int64_t seconds = 0;
    EXPECT_TRUE(ParseLocalTimestamp(told[0].second, seconds));
    const ProfileConfig saved = SavedProfile();
    EXPECT_EQ(saved.DefaultTitle, L"Edited meanwhile");
    ASSERT_EQ(saved.Recipients.size(), 2u);
    EXPECT_EQ(saved.Recipients[0].DisplayName, L"Renamed");
    EXPECT_EQ(saved.Recipients[0].LastNotification, told[0].second);
    EXPECT_EQ(saved.Recipients[1].ChatId, L"400");
    EXPECT_EQ(saved.Recipients[1].LastNotification, L"Never");
}

TEST_F(MonitorEngineTest, AProfileRemovedDuringTheCycleIsNotRecreated) {
    StartManual();
    channel.OnSend([this] { std::filesystem::remove(ConfigPath()); });
    reader.Push({Fresh(L"a")});
    ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);
    EXPECT_FALSE(std::filesystem::exists(ConfigPath()));
    EXPECT_EQ(Logged(L"Could not re-read " + ConfigPath().wstring() +
                     L" to record notification times; skipped for this cycle."),
              1u);
    EXPECT_EQ(LastReport().Sent, 1);

    WriteProfile();
    channel.OnSend([] { FailNextAtomicWritesForTesting(1); });
    reader.Push({Fresh(L"b")});
    ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);
    EXPECT_EQ(Logged(L"Could not write notification times to " + ConfigPath().wstring() + L"."),
              1u);
}

}  // namespace
}  // namespace wrenpost::testing
