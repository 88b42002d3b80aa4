// Recipient list rules, the checks before a Telegram command starts, and verification outcomes.
#include <gtest/gtest.h>

#include "common/LocalTime.h"
#include "support/FakeClock.h"
#include "support/PromptRecorder.h"
#include "telegram/Recipients.h"
#include "telegram/TelegramCommands.h"

namespace wrenpost {
namespace {

using testing::FakeClock;
using testing::PromptRecorder;

std::wstring LocalTimeAgo(const FakeClock& clock, std::int64_t seconds) {
    return FormatLocalTimestamp(static_cast<std::time_t>(ToUnixSeconds(clock.Now()) - seconds));
}

RecipientEntry Entry(const std::wstring& chatId, std::wstring registeredOn,
                     std::wstring lastNotification = L"Never") {
    return {chatId, L"User " + chatId, true, std::move(registeredOn), std::move(lastNotification)};
}

TEST(AddRecipient, RefusesADuplicateSilentlyAndStopsAtAThousand) {
    FakeClock clock;
    PromptRecorder prompts;
    std::vector<RecipientEntry> list;
    for (int i = 1; i <= 999; ++i) list.push_back(Entry(std::to_wstring(i), L""));
    EXPECT_EQ(AddRecipient(list, L"1000", L"Last", clock, 1234), kRecipientAdded);
    EXPECT_TRUE(prompts.Requests().empty());
    EXPECT_EQ(AddRecipient(list, L"1001", L"Too many", clock, 1234), kRecipientLimitReached);
    EXPECT_EQ(prompts.Requests().at(0).owner, 1234u);
    // A known chat id is still reported as present, not as over the limit.
    EXPECT_EQ(AddRecipient(list, L"5", L"Again", clock), kRecipientAlreadyPresent);
}

TEST(RecipientTopics, AVerificationSetsMovesOrClearsTheTopicOfARecipientOnly) {
    const std::vector<RecipientEntry> recipients = {{L"-100", L"Ops", true, L"", L"Never"}};
    std::vector<RecipientTopic> topics;
    // chat, topic of the verifying message, changed; -200 is not a recipient, 0 no topic
    for (const auto& [chat, topic, changed] :
         {std::tuple{L"-200", 4, false}, std::tuple{L"-100", 4, true},
          std::tuple{L"-100", 4, false}, std::tuple{L"-100", 6, true}}) {
        EXPECT_EQ(RecordRecipientTopic(topics, recipients, chat, topic), changed) << topic;
    }
    EXPECT_EQ(topics, (std::vector<RecipientTopic>{{L"-100", 6}}));
    EXPECT_TRUE(RecordRecipientTopic(topics, recipients, L"-100", 0) && topics.empty());
    topics = {{L"-100", 3}, {L"-200", 5}};
    KeepTopicsOfRecipients(topics, recipients);
    EXPECT_EQ(topics, (std::vector<RecipientTopic>{{L"-100", 3}}));
}

TEST(RemoveInactiveRecipients, UsesTheLastNotificationOrTheRegistrationWhenNeverNotified) {
    FakeClock clock;
    constexpr std::int64_t day = 86400;
    std::vector<RecipientEntry> list = {
        Entry(L"1", LocalTimeAgo(clock, 366 * day)),                                 // removed
        Entry(L"2", LocalTimeAgo(clock, 730 * day), LocalTimeAgo(clock, day)),       // stays
        Entry(L"3", LocalTimeAgo(clock, 10 * day), LocalTimeAgo(clock, 400 * day)),  // removed
        Entry(L"4", LocalTimeAgo(clock, 365 * day)),       // exactly: stays
        Entry(L"5", LocalTimeAgo(clock, 365 * day + 1)),   // removed
        Entry(L"6", LocalTimeAgo(clock, 900 * day), L""),  // unreadable: stays
        Entry(L"7", L"garbage"),                           // stays
    };
    std::vector<std::wstring> logged;
    EXPECT_TRUE(RemoveInactiveRecipients(
        list, clock, [&](LogLevel, const std::wstring& text) { logged.push_back(text); }));
    std::wstring kept;
    for (const auto& entry : list) kept += entry.ChatId;
    EXPECT_EQ(kept, L"2467");
    EXPECT_FALSE(RemoveInactiveRecipients(list, clock, nullptr));
    EXPECT_EQ(logged.size(), 3u);
}

TEST(CommandChecks, EachCommandNeedsItsTokenOrRecipientAndSaysWhatIsMissing) {
    PromptRecorder prompts;
    std::vector<std::wstring> ids;
    const std::vector<RecipientEntry> recipients = {Entry(L"1", L""), Entry(L"2", L"")};
    EXPECT_FALSE(ConfirmTokenEntered(L"", 7));
    EXPECT_FALSE(ConfirmVerificationAllowed(L"1:B", L"1:A", 0));  // not the checked token
    EXPECT_FALSE(ConfirmTestSendAllowed(L"1:A", {}, ids, nullptr, 0));
    EXPECT_TRUE(ConfirmVerificationAllowed(L"1:A", L"1:A", 0) &&
                ConfirmTestSendAllowed(L"1:A", recipients, ids, nullptr, 0));
    EXPECT_EQ(ids.size(), 2u);
    ASSERT_EQ(prompts.Requests().size(), 3u);  // each refusal says why
}

TEST(VerificationOutcomeHandling, TheFirstCandidateBecomesARecipientUnlessItIsKnown) {
    PromptRecorder prompts;
    prompts.QueueAnswer(PromptAnswer::Ok);
    prompts.QueueAnswer(PromptAnswer::Yes);
    FakeClock clock;
    std::vector<RecipientEntry> recipients;
    auto effects =
        ApplyVerificationOutcome(kVerificationSucceeded, {{L"-100", L"Ops"}, {L"5", L"@b"}}, L"",
                                 recipients, clock, nullptr, 3);
    EXPECT_EQ(effects.statusLine, L"Status: Chat ID Selected");
    EXPECT_TRUE(effects.recipientsChanged);
    EXPECT_EQ(
        recipients,
        (std::vector<RecipientEntry>{{L"-100", L"Ops", true, LocalTimeAgo(clock, 0), L"Never"}}));
    // The same chat again: nothing added; on request the stored name is shown.
    effects = ApplyVerificationOutcome(kVerificationSucceeded, {{L"-100", L"@new"}}, L"",
                                       recipients, clock, nullptr, 0);
    EXPECT_FALSE(effects.recipientsChanged);
    EXPECT_EQ(prompts.Requests().back().text, L"User:\nOps\n\nChat ID:\n-100");
    // A failure is logged and shown with its reason; a cancelled one says nothing.
    std::vector<std::wstring> logged;
    const LogFunction log = [&](LogLevel, const std::wstring& text) { logged.push_back(text); };
    effects = ApplyVerificationOutcome(kVerificationFailed, {}, L"No.", recipients, clock, log, 0);
    EXPECT_EQ(effects.statusLine, L"Status: Verification Failed");
    EXPECT_EQ(prompts.Requests().back().text, L"No.");
    EXPECT_EQ(ApplyVerificationOutcome(kVerificationCancelled, {}, L"", recipients, clock, log, 0)
                  .statusLine,
              L"");
    EXPECT_EQ(logged, std::vector<std::wstring>{L"Chat ID verification failed: No."});
}

// The status line is current behind the box that reports the outcome.
TEST(VerificationOutcomeHandling, TheStatusLineIsSetBeforeTheBoxShows) {
    FakeClock clock;
    std::vector<RecipientEntry> recipients;
    std::wstring status;
    std::vector<std::wstring> behindBoxes;
    const PromptHandler previous = SetPromptHandler([&](const PromptRequest&) {
        behindBoxes.push_back(status);
        return PromptAnswer::No;
    });
    const std::vector<VerificationCandidate> ops = {{L"-100", L"Ops"}};
    for (const VerificationOutcome outcome : {kVerificationExpired, kVerificationFailed,
                                              kVerificationSucceeded, kVerificationSucceeded}) {
        behindBoxes.clear();
        const auto effects =
            ApplyVerificationOutcome(outcome, ops, L"No.", recipients, clock, nullptr, 0,
                                     [&](const std::wstring& line) { status = line; });
        ASSERT_EQ(behindBoxes.size(), 1u);
        EXPECT_EQ(behindBoxes[0], effects.statusLine);
    }
    SetPromptHandler(previous);
}

}  // namespace
}  // namespace wrenpost
