// The recipient list rules (unique chat ids, the 1,000 limit, removal after 365 days without a
// notification), the checks before the Telegram commands start, and how a verification outcome
// changes the list.
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

TEST(AddRecipient, AppendsAnAllowedEntryRefusesADuplicateSilentlyAndStopsAtAThousand) {
    FakeClock clock;
    PromptRecorder prompts;
    std::vector<RecipientEntry> list;
    EXPECT_EQ(AddRecipient(list, L"-100200", L"@ops", clock), kRecipientAdded);
    EXPECT_EQ(list, (std::vector<RecipientEntry>{
                        {L"-100200", L"@ops", true, LocalTimeAgo(clock, 0), L"Never"}}));
    EXPECT_EQ(AddRecipient(list, L"-100200", L"Other", clock), kRecipientAlreadyPresent);
    EXPECT_EQ(AddRecipient(list, L"0-100200", L"Zero", clock), kRecipientAdded);  // exact text
    for (int i = 3; i <= 999; ++i) list.push_back(Entry(std::to_wstring(i), L""));
    EXPECT_EQ(AddRecipient(list, L"1000", L"Last", clock, 1234), kRecipientAdded);
    EXPECT_TRUE(prompts.Requests().empty());
    EXPECT_EQ(AddRecipient(list, L"1001", L"Too many", clock, 1234), kRecipientLimitReached);
    EXPECT_EQ(list.size(), 1000u);
    ASSERT_EQ(prompts.Requests().size(), 1u);
    EXPECT_EQ(prompts.Requests()[0].owner, 1234u);
    // A known chat id is still reported as present, not as over the limit.
    EXPECT_EQ(AddRecipient(list, L"5", L"Again", clock), kRecipientAlreadyPresent);
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
        Entry(L"8", L"2020-01-01 00:00"),                  // five numbers: stays
    };
    std::vector<std::wstring> logged;
    const bool removed =
        RemoveInactiveRecipients(list, clock, [&](LogLevel level, const std::wstring& text) {
            EXPECT_EQ(level, LogLevel::Info);
            logged.push_back(text);
        });
    EXPECT_TRUE(removed);
    std::vector<std::wstring> kept;
    for (const auto& entry : list) kept.push_back(entry.ChatId);
    EXPECT_EQ(kept, (std::vector<std::wstring>{L"2", L"4", L"6", L"7", L"8"}));
    EXPECT_FALSE(RemoveInactiveRecipients(list, clock, nullptr));
    EXPECT_EQ(logged, (std::vector<std::wstring>{
                          L"Removed inactive recipient after 365 days: User 1 (1)",
                          L"Removed inactive recipient after 365 days: User 3 (3)",
                          L"Removed inactive recipient after 365 days: User 5 (5)"}));
}

TEST(CommandChecks, EachCommandNeedsItsTokenOrRecipientAndSaysWhatIsMissing) {
    PromptRecorder prompts;
    std::vector<std::wstring> ids;
    std::vector<RecipientEntry> recipients(2);
    recipients[0].Allowed = false;
    recipients[1].ChatId = L"2";
    EXPECT_FALSE(ConfirmTokenEntered(L"", 7));
    EXPECT_TRUE(ConfirmTokenEntered(L"1:A", 7));
    EXPECT_FALSE(ConfirmVerificationAllowed(L"1:B", L"1:A", 0));  // not the checked token
    EXPECT_TRUE(ConfirmVerificationAllowed(L"1:A", L"1:A", 0));
    EXPECT_FALSE(ConfirmTestSendAllowed(L"", recipients, ids, nullptr, 0));
    EXPECT_TRUE(ConfirmTestSendAllowed(L"1:A", recipients, ids, nullptr, 0));
    EXPECT_EQ(ids, std::vector<std::wstring>{L"2"});
    recipients[1].Allowed = false;
    std::vector<LogLevel> logged;
    EXPECT_FALSE(ConfirmTestSendAllowed(
        L"1:A", recipients, ids,
        [&](LogLevel level, const std::wstring&) { logged.push_back(level); }, 0));
    EXPECT_EQ(logged, std::vector<LogLevel>{LogLevel::Error});
    std::vector<std::wstring> captions;
    for (const auto& asked : prompts.Requests()) captions.push_back(asked.caption);
    EXPECT_EQ(captions, (std::vector<std::wstring>{L"Missing Token", L"Bot Token Required",
                                                   L"Missing Token", L"Missing Recipient"}));
    EXPECT_EQ(prompts.Requests()[0].owner, 7u);
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
    ASSERT_EQ(recipients.size(), 1u);
    EXPECT_EQ(recipients[0].ChatId, L"-100");
    EXPECT_EQ(recipients[0].DisplayName, L"Ops");
    // The same chat again: nothing added; on request the stored name is shown.
    effects = ApplyVerificationOutcome(kVerificationSucceeded, {{L"-100", L"@new"}}, L"",
                                       recipients, clock, nullptr, 0);
    EXPECT_EQ(effects.statusLine, L"Status: Recipient Already Registered");
    EXPECT_FALSE(effects.recipientsChanged);
    EXPECT_EQ(recipients.size(), 1u);
    const auto asked = prompts.Requests();
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_TRUE(asked[0].text.ends_with(L"User:\nOps\n\nChat ID:\n-100"));
    EXPECT_EQ(asked[1].buttons, PromptButtons::YesNo);
    EXPECT_EQ(asked[2].text, L"User:\nOps\n\nChat ID:\n-100");
}

TEST(VerificationOutcomeHandling, ExpiredFailedAndCancelled) {
    PromptRecorder prompts;
    FakeClock clock;
    std::vector<RecipientEntry> recipients;
    std::vector<std::wstring> logged;
    const LogFunction log = [&](LogLevel, const std::wstring& text) { logged.push_back(text); };
    for (const auto& [outcome, status] :
         {std::pair{kVerificationExpired, L"Status: Verification Failed"},
          std::pair{kVerificationFailed, L"Status: Verification Failed"},
          std::pair{kVerificationCancelled, L""}}) {
        EXPECT_EQ(ApplyVerificationOutcome(outcome, {}, L"Said no.", recipients, clock, log, 0)
                      .statusLine,
                  status);
    }
    EXPECT_EQ(logged.size(), 2u);
    EXPECT_EQ(logged.back(), L"Chat ID verification failed: Said no.");
    const auto asked = prompts.Requests();
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[1].text, L"Said no.");
    EXPECT_EQ(asked[1].icon, PromptIcon::Error);
    EXPECT_TRUE(recipients.empty());
}

}  // namespace
}  // namespace wrenpost
