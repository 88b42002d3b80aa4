// What a cycle does with the messages it read: admission, Notification Rules (reloaded every
// cycle), titles, delivery to the recipients, counters, and the notification times written back
// to the profile under its file lock.
#include <gtest/gtest.h>

#include "MonitorTestKit.h"
#include "profile/OutboxFiles.h"
#include "rules/RulesFile.h"
#include "unit/profile/WindowSave.h"

namespace wrenpost::testing {
namespace {

TEST_F(MonitorEngineTest, BaselineSendsOnlyWhatArrivedFromTheStartSecondOn) {
    clock.Advance(std::chrono::milliseconds(700));  // START pressed within a second
    StartManual();
    const std::int64_t startSecond = start - 7000000;
    const std::vector<MailSnapshot> inbox{
        Mail(kInbox, L"Before", startSecond - 1, L"<b>"),
        Mail(kInbox, L"Undated", 0, L"<u>"),
        Mail(kInbox, L"In the start second", startSecond, L"<s>"),
        Mail(kInbox, L"Later", startSecond + 5 * kTicksPerSecond, L"<l>"),
        Mail(kArchive, L"Later", startSecond + 5 * kTicksPerSecond, L"<l>"),  // a copy
    };
    reader.Push(inbox);
    ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);
    ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);  // all remembered now
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].Body, L"In the start second");
    EXPECT_EQ(Logged(L"STALE_SKIPPED"), 1u);
    EXPECT_FALSE(reader.Calls()[0].IncludeOld);

    engine->Stop();  // backlog mode: old and undated unread mail is sent too
    StartManual(600, /*includeOld=*/true);
    reader.Push(inbox);
    ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);
    EXPECT_EQ(sent.size(), 2u + 4u);
    EXPECT_EQ(last.Sent, 4);  // counted from the new session's start
    EXPECT_TRUE(reader.Calls().back().IncludeOld);
}

// Telegram's first answer to chat 1 (both chats with `both`); chat 2 otherwise answers 502.
// Cycles run 0, 10, 29 and 31 s after the first; `asked` lists the chats each one tried. A chat
// that failed for now waits 5 s, then 10, 20 ...
struct AnswerCase {
    const char* name;
    SendResult answer;
    bool both;
    const wchar_t* asked;
    std::size_t warnings, waits, delivered, rejected = 0;
};

class TelegramAnswers : public MonitorEngineTest,
                        public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(TelegramAnswers, DecideWhoIsAskedAgainAndWhen) {
    const AnswerCase& row = GetParam();
    profile.Recipients = {Recipient(L"1"), Recipient(L"2")};
    WriteProfile();
    firstAnswer[L"1"] = row.answer;
    if (row.both) {
        firstAnswer[L"2"] = row.answer;
    } else {
        failing = {L"2"};
    }
    StartManual();
    reader.Push({Fresh(L"a")});
    std::wstring cycles;
    for (const int pause : {0, 10, 19, 2}) {
        clock.Advance(std::chrono::seconds(pause));
        asked.clear();
        ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);
        for (const std::wstring& chat : asked) cycles += chat;
        cycles += L"|";
    }
    EXPECT_EQ(cycles, row.asked);
    EXPECT_EQ(Logged(L"WARNING: Telegram refuses messages to recipient Chat 1 (1): "),
              row.warnings ? 1u : 0u);
    EXPECT_EQ(Logged(L"WARNING: "), row.warnings);
    EXPECT_EQ(Logged(L"Telegram asked to wait 30 s before sending again."), row.waits);
    EXPECT_EQ(Logged(L"ERROR: Telegram rejected the notification"), row.rejected);
    EXPECT_EQ(sent.size(), row.delivered);
}

SendResult Answer(std::uint32_t status, const wchar_t* reason, std::int64_t retryAfter = 0) {
    return {false, reason, status, retryAfter};
}
const SendResult kBlocked = Answer(403, L"(HTTP 403): Forbidden: bot was blocked by the user");

INSTANTIATE_TEST_SUITE_P(
    Monitor, TelegramAnswers,
    ::testing::Values(
        AnswerCase{"RetryAfter", Answer(429, L"Too Many Requests", 30), false, L"1|||12|", 0, 1, 1},
        AnswerCase{"Blocked", kBlocked, false, L"12|2|2||", 1, 0, 0},
        AnswerCase{"ChatNotFound", Answer(400, L"(HTTP 400): Bad Request: chat not found"), false,
                   L"12|2|2||", 1, 0, 0},
        AnswerCase{"RefusedByAll", kBlocked, true, L"12||||", 2, 0, 0},
        AnswerCase{"ServerError", Answer(502, L"HTTP 502"), false, L"12|12|2||", 0, 0, 1},
        AnswerCase{"ProxyForbidden", Answer(403, L"HTTP 403"), false, L"12|12|2||", 0, 0, 1},
        AnswerCase{"NoConnection", Answer(0, L"connect failed"), false, L"12|12|2||", 0, 0, 1},
        AnswerCase{"OtherBadRequest", Answer(400, L"Bad Request: message is too long"), false,
                   L"12|2|2||", 0, 0, 0, 1},
        AnswerCase{"TooManyWithoutPause", Answer(429, L"Too Many Requests"), false, L"12|12|2||", 0,
                   0, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MonitorEngineTest, TitleComesFromTheCommonTitleOrTheExactFolderPath) {
    profile.DefaultTitle = L"Office";
    profile.FolderTitles = {{kInbox, L"Inbox news"}, {kArchive, L""}, {kInbox, L"Second"}};
    for (const bool same : {true, false}) {
        profile.UseSameTitle = same;
        WriteProfile();
        StartManual();
        reader.Push({Fresh(L"a"), Fresh(L"b", kArchive), Fresh(L"c", L"\\\\Mailbox\\inbox")});
        ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);
        engine->Stop();
        clock.Advance(std::chrono::seconds(1));
    }
    std::wstring titles;
    for (const SentMessage& message : sent) {
        titles += message.Title + L"|";
    }
    EXPECT_EQ(titles, L"Office|Office|Office|Inbox news|New Outlook Mail|New Outlook Mail|");
}

// Notification times reach the window and the file; the file lock is held only for the
// write-back, never while the cycle reads or sends, so a SAVE neither waits nor is undone.
TEST_F(MonitorEngineTest, NotificationTimesAreWrittenBackWithoutDelayingOrUndoingASave) {
    profile.Recipients = {Recipient(L"100"), Recipient(L"200")};
    WriteProfile();
    failing = {L"200"};
    StartManual();
    reader.PushHang();
    clock.OnNextSleep([this] { EXPECT_FALSE(WindowSave(ConfigPath(), profile).Waited); });
    ASSERT_EQ(Cycle(), MonitorCycleResult::TimedOut);
    reader.Release();

    ProfileConfig expected = profile;  // the window's edits
    expected.DefaultTitle = L"Edited meanwhile";
    expected.Recipients[0].DisplayName = L"Renamed";
    expected.Recipients.push_back(Recipient(L"400"));
    onSend = [&] { EXPECT_FALSE(WindowSave(ConfigPath(), expected).Waited); };
    reader.Push({Fresh(L"a")});
    ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);
    ASSERT_EQ(notified.size(), 1u);  // to the window, and into the file
    expected.Recipients[0].LastNotification = notified[0].second;
    std::wstring text;
    ASSERT_TRUE(ReadTextFile(ConfigPath(), text));
    EXPECT_EQ(ParseProfileConfig(text), expected);

    // A profile removed during the cycle is not recreated.
    onSend = [this] { std::filesystem::remove(ConfigPath()); };
    reader.Push({Fresh(L"b")});
    ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);
    EXPECT_FALSE(std::filesystem::exists(ConfigPath()));
}

// A rule for the inbox that applies `actions` to mail whose subject contains `word`.
NotificationRule Rule(const std::wstring& word, std::vector<RuleAction> actions) {
    NotificationRule rule;
    rule.Id = rule.Name = word;
    rule.FolderPath = kInbox;
    rule.Conditions = {{L"Subject", L"Contains", word, false}};
    rule.Actions = std::move(actions);
    return rule;
}

// The level is read with the profile at each cycle, so a SAVE during a session applies from the
// next cycle; Outlook is asked for the guarded members only of admitted mails, and only when the
// level shows them.
TEST_F(MonitorEngineTest, TheProfilesMessageLevelShapesNotificationsFromTheNextCycle) {
    MonitorDependencies deps = Dependencies();
    deps.FormatTime = [](std::int64_t) { return std::wstring(L"7 Dec 09:15"); };
    std::vector<MailDetailsRequest> asked;  // the launcher returns once the reading thread ended
    deps.ReadDetails = [&asked](const MailDetailsRequest& request) {
        asked.push_back(request);
        MailReadResult found{true, request.Mails, {}, true};  // Outlook refused one member
        for (MailSnapshot& mail : found.Messages) {
            mail.SenderAddress = L"ana@example.com";
            mail.Body = L"See  the\r\nfigures";
        }
        return found;
    };
    engine = std::make_unique<MonitorEngine>(std::move(deps));
    StartManual();
    const auto stale = [&](const std::wstring& subject) {
        return Mail(kInbox, subject, start - 60 * kTicksPerSecond, L"<" + subject + L"@x>");
    };
    for (const wchar_t* subject : {L"Report", L"Next", L""}) {
        MailSnapshot mail = Fresh(subject);
        mail.SenderName = L"Lima, Ana";
        reader.Push(*subject ? std::vector{stale(L"Old " + mail.Subject), mail}
                             : std::vector{stale(L"Old")});
        ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);
        profile.Message.Content = MessageContent::Preview;
        WriteProfile();
    }
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].Body, L"Report");
    EXPECT_FALSE(sent[0].Options.DisableLinkPreview);
    EXPECT_TRUE(sent[1].Options.DisableLinkPreview);
    EXPECT_EQ(sent[1].Body,
              L"Next\nFrom: Lima, Ana <ana@example.com>\nReceived: 7 Dec 09:15\n\nSee the figures");
    ASSERT_EQ(asked.size(), 1u);  // nothing for the stale mails, nothing at the subject level
    ASSERT_EQ(asked[0].Mails.size(), 1u);
    EXPECT_EQ(asked[0].Mails[0].Subject, L"Next");
    EXPECT_TRUE(asked[0].ReadSenderAddress && asked[0].ReadBody);
    EXPECT_TRUE(engine->OutlookRefusedGuardedMembers());
    EXPECT_EQ(Logged(std::wstring(kOutlookRefusedNote)), 1u);
}

// Records carry the routed recipients and silence; mail routed to nobody allowed is refused;
// skipped mail is remembered as handled; a rules file switched off sends everything.
TEST_F(MonitorEngineTest, RoutedMailReachesTheUnionOfItsRulesAndIgnoreWins) {
    profile.Recipients = {Recipient(L"100"), Recipient(L"200"), Recipient(L"300"),
                          Recipient(L"400", false)};
    WriteProfile();
    const auto to = [](const wchar_t* chatIds) {
        return RuleAction{std::wstring(kActionSendToRecipients), chatIds};
    };
    const auto title = [](const wchar_t* text) {
        return RuleAction{std::wstring(kActionOverrideTitle), text};
    };
    // "gone" names 400, not allowed, and 999, no recipient at all; an empty title changes nothing.
    const std::vector<NotificationRule> rules{
        Rule(L"invoice", {to(L"200"), title(L"Bills")}),
        Rule(L"urgent", {to(L"300"), {std::wstring(kActionSendSilently), L""}}),
        Rule(L"gone", {to(L"400,999")}),
        Rule(L"hello", {{std::wstring(kActionSend), L""}, title(L"")}),
        Rule(L"spam", {{std::wstring(kActionIgnore), L""}})};
    const auto rulesPath = dir / L"WorkRules.json";
    ASSERT_TRUE(SaveRulesFile(rulesPath, {1, true, rules}));
    failing = {L"300"};  // what is meant for 300 stays in the outbox, to be read back
    StartManual();
    reader.Push({Fresh(L"invoice urgent"), Fresh(L"invoice spam"), Fresh(L"gone 1"),
                 Fresh(L"gone 2"), Fresh(L"hello"), Fresh(L"no rule")});
    ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);
    reader.Push({Fresh(L"gone 1"), Fresh(L"gone 3"), Fresh(L"invoice spam")});
    ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);
    ASSERT_TRUE(SaveRulesFile(rulesPath, {1, false, rules}));
    reader.Push({Fresh(L"more spam")});
    ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);
    engine->Stop();

    std::vector<std::wstring> reached;
    for (const SentMessage& message : sent) {
        reached.push_back(message.Title + L": " + message.Body + L" > " + message.ChatId);
    }
    EXPECT_EQ(reached, (std::vector<std::wstring>{
                           L"Bills: invoice urgent > 200", L"New Outlook Mail: hello > 100",
                           L"New Outlook Mail: hello > 200", L"New Outlook Mail: more spam > 100",
                           L"New Outlook Mail: more spam > 200"}));
    EXPECT_EQ(sent[0].BotToken, L"123:TOKEN");
    EXPECT_EQ(Logged(L"WARNING: Rule \"gone\""), 1u);
    EXPECT_EQ(Logged(L"Notification refused, no allowed recipient"), 3u);  // none read again
    EXPECT_EQ(Logged(L"Notification skipped by rule: "), 2u);  // spam, and no rule matched
    Outbox outbox;
    outbox.Open(OutboxFolder(dir.Path(), L"Work"), {});
    std::vector<std::wstring> waiting;
    for (const auto& [sequence, record] : outbox.Waiting()) {
        waiting.push_back(record.Subject + (record.Silent ? L" silent >" : L" >"));
        for (const OutboxRecipient& recipient : record.Recipients) {
            waiting.back() += L" " + recipient.ChatId;
        }
    }
    EXPECT_EQ(waiting,
              (std::vector<std::wstring>{L"invoice urgent silent > 200 300", L"hello > 100 200 300",
                                         L"more spam > 100 200 300"}));
}

}  // namespace
}  // namespace wrenpost::testing
