// What a cycle does with the messages it read: admission, titles, delivery to the recipients,
// counters, and the notification times written back to the profile.
#include <gtest/gtest.h>

#include <filesystem>

#include "MonitorEngineTestFixture.h"
#include "common/LocalTime.h"

namespace wrenpost::testing {
namespace {

std::wstring Summary(const MailSnapshot& message) {
    return message.ReceivedTime + L" | " + message.SenderName + L" | " + message.Subject;
}

// ---------------------------------------------------------------- baseline and admission

TEST_F(MonitorEngineTest, BaselineRefusesEverythingDeliveredUpToTheCutoff) {
    StartManual();
    const std::vector<MailSnapshot> inbox{
        Message(kInbox, L"At cutoff", start, L"<a>"),
        Message(kInbox, L"Before", start - 50000000, L"<b>"),
        UnknownTimeMessage(kInbox, L"Undated", L"<c>"),
        Message(kInbox, L"One tick later", start + 1, L"<d>"),
    };
    reader.PushMessages(inbox);
    reader.PushMessages(inbox);

    ASSERT_EQ(engine->RunCycle(), MonitorCycleResult::Completed);
    ASSERT_EQ(channel.Sent().size(), 1u);
    EXPECT_EQ(channel.Sent()[0].Body, L"One tick later");
    EXPECT_EQ(log.CountStartingWith(L"STALE_SKIPPED Subject=\"At cutoff\""), 1u);
    EXPECT_EQ(log.CountStartingWith(L"STALE_SKIPPED Subject=\"Before\""), 1u);
    EXPECT_EQ(log.CountStartingWith(L"FRESHNESS_UNKNOWN_SKIPPED Subject=\"Undated\""), 1u);
    EXPECT_EQ(log.Count(L"Baseline completed. Old messages will not be sent."), 1u);
    EXPECT_EQ(log.CountStartingWith(L"Monitor cycle completed at "), 1u);
    EXPECT_NE(log.Lines().back().find(L". New messages: 1"), std::wstring::npos);

    ASSERT_EQ(engine->RunCycle(), MonitorCycleResult::Completed);
    EXPECT_EQ(channel.Sent().size(), 1u);
    EXPECT_EQ(log.CountStartingWith(L"STALE_SKIPPED"), 2u);  // remembered, not logged again
    EXPECT_EQ(log.Count(L"Baseline completed. Old messages will not be sent."), 1u);
    EXPECT_NE(log.Lines().back().find(L". New messages: 0"), std::wstring::npos);
}

TEST_F(MonitorEngineTest, BacklogModeAdmitsOldAndUndatedUnreadMail) {
    StartManual(600, /*includeOld=*/true);
    reader.PushMessages({UnknownTimeMessage(kInbox, L"Undated", L"<u>"),
                         Message(kInbox, L"Last week", start - 6048000000000, L"<w>")});
    ASSERT_EQ(engine->RunCycle(), MonitorCycleResult::Completed);
    ASSERT_EQ(channel.Sent().size(), 2u);
    EXPECT_EQ(log.Count(L"Baseline completed (backlog mode) - unread messages received before "
                        L"this session started may still have been sent."),
              1u);
    ASSERT_EQ(reader.Calls().size(), 1u);
    EXPECT_EQ(reader.Calls()[0].Limit, 50);
    EXPECT_TRUE(reader.Calls()[0].IncludeOld);
    EXPECT_EQ(reader.Calls()[0].Folders, profile.SelectedFolders);
}

TEST_F(MonitorEngineTest, NormalModeReadsFivePerFolder) {
    StartManual();
    reader.PushMessages({Fresh(L"x")});
    ASSERT_EQ(engine->RunCycle(), MonitorCycleResult::Completed);
    EXPECT_EQ(reader.Calls()[0].Limit, 5);
    EXPECT_FALSE(reader.Calls()[0].IncludeOld);
}

TEST_F(MonitorEngineTest, OneMessageInTwoFoldersIsSentOnce) {
    StartManual();
    MailSnapshot inArchive = Fresh(L"Invoice", kArchive);
    inArchive.EntryId = L"ARCHIVE-COPY";
    reader.PushMessages({Fresh(L"Invoice"), inArchive});
    ASSERT_EQ(engine->RunCycle(), MonitorCycleResult::Completed);
    EXPECT_EQ(channel.Sent().size(), 1u);
    EXPECT_NE(log.Lines().back().find(L". New messages: 1"), std::wstring::npos);
}

TEST_F(MonitorEngineTest, LegacyKeysOfLookAlikeMessagesCollide) {
    StartManual();
    MailSnapshot first = Fresh(L"Lunch?");
    first.InternetMessageId.clear();
    first.EntryId.clear();
    MailSnapshot second = first;
    second.DeliveryTimeUtc = start + 99;
    reader.PushMessages({first, second});
    ASSERT_EQ(engine->RunCycle(), MonitorCycleResult::Completed);
    EXPECT_EQ(channel.Sent().size(), 1u);
}

TEST_F(MonitorEngineTest, TheOldestOfMoreThanAThousandRememberedIsSentAgain) {
    StartManual();
    std::vector<MailSnapshot> batch;
    for (int i = 0; i < 1001; ++i) {
        batch.push_back(Fresh(L"m" + std::to_wstring(i)));
    }
    reader.PushMessages(batch);
    // Remembering m0 again evicts m1, so m1 must come before it to stay known.
    reader.PushMessages({batch[1], batch[1000], batch[0]});
    ASSERT_EQ(engine->RunCycle(), MonitorCycleResult::Completed);
    ASSERT_EQ(channel.Sent().size(), 1001u);
    ASSERT_EQ(engine->RunCycle(), MonitorCycleResult::Completed);
    ASSERT_EQ(channel.Sent().size(), 1002u);
    EXPECT_EQ(channel.Sent().back().Body, L"m0");
}

// ---------------------------------------------------------------- delivery

TEST_F(MonitorEngineTest, SendsTitleAndSubjectToEveryAllowedRecipientInOrder) {
    profile.Recipients = {Recipient(L"100"), Recipient(L"200", false), Recipient(L"-300")};
    WriteProfile();
    StartManual();
    reader.PushMessages({Fresh(L"Quarterly report")});
    ASSERT_EQ(engine->RunCycle(), MonitorCycleResult::Completed);
    const auto sent = channel.Sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].ChatId, L"100");
    EXPECT_EQ(sent[1].ChatId, L"-300");
    EXPECT_EQ(sent[0].BotToken, L"123:TOKEN");
    EXPECT_EQ(sent[0].Title, L"New Outlook Mail");
    EXPECT_EQ(sent[0].Body, L"Quarterly report");
    EXPECT_TRUE(log.Contains(L"Telegram sent: " + Summary(Fresh(L"Quarterly report"))));
    ASSERT_FALSE(status.Reports().empty());
    EXPECT_EQ(status.Reports().back().MessagesSent, 1);
    EXPECT_EQ(status.Reports().back().Status, L"Running");
}

TEST_F(MonitorEngineTest, FailedSendsQueueTheMessageUntilOneRecipientAcceptsIt) {
    profile.Recipients = {Recipient(L"100"), Recipient(L"200")};
    WriteProfile();
    channel.FailFor(L"100", L"Telegram rejected the message (HTTP 400): chat not found");
    channel.FailFor(L"200", L"Connection error");
    StartManual();
    const MailSnapshot message = Fresh(L"Hello");
    reader.PushMessages({message});

    for (int cycle = 1; cycle <= 2; ++cycle) {
        ASSERT_EQ(engine->RunCycle(), MonitorCycleResult::Completed);
        EXPECT_EQ(status.Reports().back().QueueCount, cycle);
        EXPECT_EQ(status.Reports().back().MessagesSent, 0);
    }
    EXPECT_EQ(log.Count(L"Telegram send failed for recipient 100: Hello - Telegram rejected the "
                        L"message (HTTP 400): chat not found"),
              2u);
    EXPECT_EQ(log.Count(L"Telegram send failed for recipient 200: Hello - Connection error"), 2u);
    EXPECT_EQ(log.Count(L"Telegram failed, will retry: " + Summary(message)), 2u);
    EXPECT_TRUE(Notified().empty());

    channel.SucceedFor(L"200");
    ASSERT_EQ(engine->RunCycle(), MonitorCycleResult::Completed);
    ASSERT_EQ(engine->RunCycle(), MonitorCycleResult::Completed);
    ASSERT_EQ(channel.Sent().size(), 1u);
    EXPECT_EQ(channel.Sent()[0].ChatId, L"200");
    EXPECT_EQ(status.Reports().back().MessagesSent, 1);
    EXPECT_EQ(status.Reports().back().QueueCount, 2);
    EXPECT_EQ(log.Count(L"Telegram sent: " + Summary(message)), 1u);
}

TEST_F(MonitorEngineTest, WithoutAllowedRecipientsEachAdmittedMessageIsQueuedEveryCycle) {
    profile.Recipients = {Recipient(L"100", false)};
    WriteProfile();
    StartManual();
    reader.PushMessages({Fresh(L"One"), Fresh(L"Two")});
    ASSERT_EQ(engine->RunCycle(), MonitorCycleResult::Completed);
    ASSERT_EQ(engine->RunCycle(), MonitorCycleResult::Completed);
    EXPECT_EQ(log.Count(L"No allowed Telegram recipients configured."), 4u);
    EXPECT_EQ(status.Reports().back().QueueCount, 4);
    EXPECT_EQ(channel.Attempts(), 0u);
}

// ---------------------------------------------------------------- titles

TEST_F(MonitorEngineTest, CommonTitleIsUsedWhenAllFoldersShareOne) {
    profile.UseSameTitle = true;
    profile.DefaultTitle = L"Office mail";
    profile.FolderTitles = {{kInbox, L"Ignored while shared"}};
    WriteProfile();
    StartManual();
    reader.PushMessages({Fresh(L"a")});
    ASSERT_EQ(engine->RunCycle(), MonitorCycleResult::Completed);
    EXPECT_EQ(channel.Sent().at(0).Title, L"Office mail");
}

TEST_F(MonitorEngineTest, FolderTitlesMatchTheExactFolderPath) {
    profile.UseSameTitle = false;
    profile.DefaultTitle = L"Unused";
    profile.FolderTitles = {{kInbox, L"Inbox news"}, {kArchive, L""}, {kInbox, L"Second"}};
    profile.SelectedFolders.push_back(Folder(L"\\\\Mailbox\\inbox"));
    WriteProfile();
    StartManual();
    reader.PushMessages({Fresh(L"a"), Fresh(L"b", kArchive), Fresh(L"c", L"\\\\Mailbox\\inbox")});
    ASSERT_EQ(engine->RunCycle(), MonitorCycleResult::Completed);
    const auto sent = channel.Sent();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0].Title, L"Inbox news");
    EXPECT_EQ(sent[1].Title, L"New Outlook Mail");
    EXPECT_EQ(sent[2].Title, L"New Outlook Mail");
}

// ---------------------------------------------------------------- notification times

TEST_F(MonitorEngineTest, NotifiedRecipientsGetTheirTimeInTheWindowAndInTheProfile) {
    profile.Recipients = {Recipient(L"100"), Recipient(L"200")};
    WriteProfile();
    channel.FailFor(L"200");
    StartManual();
    reader.PushMessages({Fresh(L"a")});
    ASSERT_EQ(engine->RunCycle(), MonitorCycleResult::Completed);

    const auto notifiedNow = Notified();
    ASSERT_EQ(notifiedNow.size(), 1u);
    EXPECT_EQ(notifiedNow[0].first, L"100");
    std::int64_t seconds = 0;
    ASSERT_TRUE(ParseLocalTimestamp(notifiedNow[0].second, seconds));

    const ProfileConfig saved = ReadConfig(dir.Path(), L"Work");
    ASSERT_EQ(saved.Recipients.size(), 2u);
    EXPECT_EQ(saved.Recipients[0].LastNotification, notifiedNow[0].second);
    EXPECT_EQ(saved.Recipients[1].LastNotification, L"Never");
}

TEST_F(MonitorEngineTest, ProfileIsNotRewrittenWhenNothingWasDelivered) {
    StartManual();
    reader.PushMessages({Message(kInbox, L"old", start - 1, L"<o>")});
    const auto path = dir.Path() / L"WorkConfig.json";
    const auto before = std::filesystem::last_write_time(path);
    std::filesystem::last_write_time(path, before - std::chrono::hours(1));
    ASSERT_EQ(engine->RunCycle(), MonitorCycleResult::Completed);
    EXPECT_EQ(std::filesystem::last_write_time(path), before - std::chrono::hours(1));
}

TEST_F(MonitorEngineTest, AProfileSavedDuringTheCycleKeepsItsEdits) {
    profile.Recipients = {Recipient(L"100"), Recipient(L"200")};
    WriteProfile();
    StartManual();
    // The window saves the profile while the message is being sent.
    channel.OnSend([this] {
        ProfileConfig edited = profile;
        edited.DefaultTitle = L"Edited meanwhile";
        edited.Recipients[0].DisplayName = L"Renamed";
        edited.Recipients.erase(edited.Recipients.begin() + 1);
        edited.Recipients.push_back(Recipient(L"400"));
        WriteConfig(dir.Path(), L"Work", edited);
        channel.OnSend(nullptr);
    });
    reader.PushMessages({Fresh(L"a")});
    ASSERT_EQ(engine->RunCycle(), MonitorCycleResult::Completed);

    const ProfileConfig saved = ReadConfig(dir.Path(), L"Work");
    EXPECT_EQ(saved.DefaultTitle, L"Edited meanwhile");
    ASSERT_EQ(saved.Recipients.size(), 2u);
    EXPECT_EQ(saved.Recipients[0].ChatId, L"100");
    EXPECT_EQ(saved.Recipients[0].DisplayName, L"Renamed");
    EXPECT_EQ(saved.Recipients[0].LastNotification, Notified().at(0).second);
    EXPECT_EQ(saved.Recipients[1].ChatId, L"400");
    EXPECT_EQ(saved.Recipients[1].LastNotification, L"Never");
    // The cycle itself still delivered to both recipients it had read.
    EXPECT_EQ(channel.Sent().size(), 2u);
}

TEST_F(MonitorEngineTest, AProfileRemovedDuringTheCycleIsNotRecreated) {
    StartManual();
    const auto path = dir.Path() / L"WorkConfig.json";
    channel.OnSend([path] { std::filesystem::remove(path); });
    reader.PushMessages({Fresh(L"a")});
    ASSERT_EQ(engine->RunCycle(), MonitorCycleResult::Completed);
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_TRUE(log.Contains(L"Could not re-read " + path.wstring() +
                             L" to record notification times; skipped for this cycle."));
    EXPECT_EQ(status.Reports().back().MessagesSent, 1);
}

}  // namespace
}  // namespace wrenpost::testing
