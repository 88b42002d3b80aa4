// How each notification is sent: its flags and forum topic, a topic Telegram no longer has,
// quiet hours judged at the send, and a burst combined into one message.
#include <gtest/gtest.h>

#include <ctime>

#include "MonitorTestKit.h"
#include "profile/OutboxFiles.h"
#include "telegram/BotApiText.h"

namespace wrenpost::testing {
namespace {

class DeliveryOptionsTest : public MonitorEngineTest {
protected:
    // Puts a notification in the outbox as an earlier session left it.
    void Waiting(const std::wstring& subject, const std::wstring& chatId, std::int64_t topic,
                 bool silent = false, bool noPreview = false) {
        Outbox outbox;
        outbox.Open(OutboxFolder(dir.Path(), L"Work"), {});
        OutboxRecord record;
        record.MessageKey = record.Body = subject;
        record.Recipients = {{chatId, RecipientState::Pending, topic, {}}};
        std::tie(record.Silent, record.DisableLinkPreview) = std::tie(silent, noPreview);
        ASSERT_EQ(outbox.Add(record), Outbox::AddResult::Added);
    }
};

TEST_F(DeliveryOptionsTest, FlagsAndTopicReachTelegramAndAGoneTopicIsRefusedOnceForTheSession) {
    profile.Recipients = {Recipient(L"100"), Recipient(L"200")};
    WriteProfile();
    Waiting(L"a", L"100", 7);
    Waiting(L"b", L"100", 7);
    Waiting(L"c", L"200", 9, true, true);
    firstAnswer[L"100"] = {false,
                           L"Telegram rejected the message (HTTP 400): Bad Request: "
                           L"message thread not found",
                           400, 0};
    StartManual();
    engine->SendDue();
    ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);
    EXPECT_EQ(asked, (std::vector<std::wstring>{L"100", L"200"}));  // "b" is not tried at all
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_TRUE(sent[0].Options.Silent && sent[0].Options.DisableLinkPreview);
    EXPECT_EQ(sent[0].Options.MessageThreadId, 9);
    EXPECT_EQ(Logged(L"WARNING: Telegram refuses the forum topic 7 of recipient Chat 100 (100): "
                     L"Telegram rejected the message (HTTP 400): Bad Request: message thread"),
              1u);
    EXPECT_EQ(last.Waiting, 0);
}

// Sunday 4 January 2026, 21:50 local time, `minutes` later.
std::chrono::system_clock::time_point SundayNight(int minutes) {
    std::tm local{};
    std::tie(local.tm_min, local.tm_hour, local.tm_mday, local.tm_year) =
        std::tuple(50, 21, 4, 126);
    local.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&local)) +
           std::chrono::minutes(minutes);
}

TEST_F(DeliveryOptionsTest, QuietHoursAreJudgedWhenSentAcrossMidnightAndTheWeeksEnd) {
    profile.Message.Quiet = {true, 1 << 6, 22 * 60, 7 * 60};  // Sunday 22:00 to Monday 07:00
    WriteProfile();
    clock.SetNow(SundayNight(0));
    failing = {L"100"};
    StartManual();
    reader.Push({Fresh(L"queued before")});
    ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);
    failing = {};
    // minutes after 21:50, a new mail (empty: none), silent
    for (const auto& [later, subject, silent] :
         {std::tuple{20, L"", true}, std::tuple{160, L"00:30", true},
          std::tuple{549, L"06:59", true}, std::tuple{550, L"07:00", false},
          std::tuple{1450, L"Mon 22:00", false}}) {
        clock.SetNow(SundayNight(later));
        clock.Advance(std::chrono::seconds(10));  // past the chat's back-off
        if (*subject != 0) {
            reader.Push({Fresh(subject)});
        }
        ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);
        ASSERT_FALSE(sent.empty());
        EXPECT_EQ(sent.back().Body + L" " + (sent.back().Options.Silent ? L"silent" : L"rings"),
                  (*subject ? subject : L"queued before") +
                      std::wstring(silent ? L" silent" : L" rings"));
    }
}

TEST_F(DeliveryOptionsTest, ABurstGoesAsOneMessageALinePerMailSplitAtTheCap) {
    profile.Message.CombineBursts = true;
    profile.Message.BurstThreshold = 5;
    WriteProfile();
    failing = {L"100"};
    StartManual();
    std::vector<MailSnapshot> burst;
    std::wstring lines;
    for (int i = 0; i < 30; ++i) {
        const std::wstring subject = std::to_wstring(100 + i) + std::wstring(150, L'x');
        burst.push_back(Fresh(subject));
        lines += (i == 0 ? L"" : L"\n") + (L"New Outlook Mail \u00B7 " + subject);
    }
    reader.Push(burst);
    ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);  // all 30 wait: Telegram is down
    EXPECT_EQ(asked.size(), 1u);                        // tried as one message
    failing = {};
    clock.Advance(std::chrono::seconds(10));
    ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);
    ASSERT_EQ(sent.size(), 2u);  // two parts, each under the cap
    for (const SentMessage& part : sent) {
        EXPECT_LE(part.Title.size() + 2 + part.Body.size(), kTelegramMaxTextUnits);
        EXPECT_FALSE(part.Options.Silent);
    }
    EXPECT_EQ(sent[0].Body + L"\n" + sent[1].Body, lines);
    EXPECT_EQ(last.Sent, 30);
    EXPECT_EQ(last.Waiting, 0);
    // At or under the threshold each mail goes on its own.
    reader.Push({Fresh(L"one"), Fresh(L"two")});
    ASSERT_EQ(Cycle(), MonitorCycleResult::Completed);
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[2].Body + sent[3].Body, L"onetwo");
}

}  // namespace
}  // namespace wrenpost::testing
