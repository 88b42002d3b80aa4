// The checks before the Telegram commands start and the handling of a verification outcome:
// log lines, status lines, message boxes and the recipient added.
#include <gtest/gtest.h>

#include "support/FakeClock.h"
#include "support/PromptRecorder.h"
#include "telegram/TelegramCommands.h"

namespace wrenpost {
namespace {

using testing::FakeClock;
using testing::PromptRecorder;

struct Logged {
    std::vector<std::pair<LogLevel, std::wstring>> lines;
    LogFunction Function() {
        return
            [this](LogLevel level, const std::wstring& text) { lines.emplace_back(level, text); };
    }
};

TEST(CommandChecks, TokenChecksBeforeCheckAndGetChatId) {
    PromptRecorder prompts;
    EXPECT_FALSE(ConfirmTokenEntered(L"", 7));
    EXPECT_TRUE(ConfirmTokenEntered(L"1:A", 7));
    EXPECT_FALSE(ConfirmVerificationAllowed(L"", L"", 7));
    EXPECT_FALSE(ConfirmVerificationAllowed(L"1:B", L"1:A", 0));
    EXPECT_FALSE(ConfirmVerificationAllowed(L"1:A", L"", 0));
    EXPECT_TRUE(ConfirmVerificationAllowed(L"1:A", L"1:A", 0));
    const auto asked = prompts.Requests();
    ASSERT_EQ(asked.size(), 4u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(asked[i].caption, L"Missing Token");
        EXPECT_EQ(asked[i].text, L"Please enter the Bot Token first.");
        EXPECT_EQ(asked[i].icon, PromptIcon::Warning);
        EXPECT_EQ(asked[i].owner, 7u);
    }
    EXPECT_EQ(asked[2].caption, L"Bot Token Required");
    EXPECT_EQ(
        asked[2].text,
        L"Please click Check first to validate the Bot Token and retrieve the bot information.");
}

TEST(CommandChecks, TestSendNeedsATokenAndAnAllowedRecipient) {
    PromptRecorder prompts;
    Logged log;
    std::vector<std::wstring> ids;
    std::vector<RecipientEntry> recipients(2);
    recipients[0].ChatId = L"1";
    recipients[0].Allowed = false;
    recipients[1].ChatId = L"2";
    recipients[1].Allowed = false;
    EXPECT_FALSE(ConfirmTestSendAllowed(L"", recipients, ids, log.Function(), 0));
    EXPECT_FALSE(ConfirmTestSendAllowed(L"1:A", recipients, ids, log.Function(), 0));
    recipients[1].Allowed = true;
    EXPECT_TRUE(ConfirmTestSendAllowed(L"1:A", recipients, ids, log.Function(), 0));
    EXPECT_EQ(ids, std::vector<std::wstring>{L"2"});
    const auto asked = prompts.Requests();
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].text, L"Enter Access Token first.");
    EXPECT_EQ(asked[1].caption, L"Missing Recipient");
    EXPECT_EQ(asked[1].text, L"No allowed Telegram recipients configured.");
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(log.lines[0],
              std::make_pair(LogLevel::Error,
                             std::wstring(L"No allowed Telegram recipients configured.")));
}

TEST(VerificationOutcomeHandling, TheFirstCandidateBecomesARecipient) {
    PromptRecorder prompts;
    Logged log;
    FakeClock clock;
    std::vector<RecipientEntry> recipients;
    const auto effects =
        ApplyVerificationOutcome(kVerificationSucceeded, {{L"-100", L"Ops"}, {L"5", L"@second"}},
                                 L"", recipients, clock, log.Function(), 3);
    EXPECT_EQ(effects.statusLine, L"Status: Chat ID Selected");
    EXPECT_TRUE(effects.recipientsChanged);
    ASSERT_EQ(recipients.size(), 1u);
    EXPECT_EQ(recipients[0].ChatId, L"-100");
    EXPECT_EQ(log.lines, (std::vector<std::pair<LogLevel, std::wstring>>{
                             {LogLevel::Info, L"Verification successful. Candidates found: 2"},
                             {LogLevel::Info, L"Chat ID selected: -100 (Ops)"}}));
    const auto asked = prompts.Requests();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].caption, L"Verification Successful");
    EXPECT_EQ(asked[0].text,
              L"Verification code matched successfully.\n\nNew Telegram recipient "
              L"added.\n\nUser:\nOps\n\nChat ID:\n-100");
    EXPECT_EQ(asked[0].icon, PromptIcon::Information);
}

TEST(VerificationOutcomeHandling, AKnownChatShowsTheStoredNameOnRequest) {
    PromptRecorder prompts;
    prompts.QueueAnswer(PromptAnswer::Yes);
    Logged log;
    FakeClock clock;
    std::vector<RecipientEntry> recipients(1);
    recipients[0].ChatId = L"42";
    recipients[0].DisplayName = L"Stored Name";
    const auto effects = ApplyVerificationOutcome(kVerificationSucceeded, {{L"42", L"@new"}}, L"",
                                                  recipients, clock, log.Function(), 0);
    EXPECT_EQ(effects.statusLine, L"Status: Recipient Already Registered");
    EXPECT_FALSE(effects.recipientsChanged);
    EXPECT_EQ(log.lines.back().second, L"Recipient already registered: 42 (Stored Name)");
    const auto asked = prompts.Requests();
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].buttons, PromptButtons::YesNo);
    EXPECT_EQ(asked[0].caption, L"Recipient Already Registered");
    EXPECT_EQ(asked[1].caption, L"Recipient Details");
    EXPECT_EQ(asked[1].text, L"User:\nStored Name\n\nChat ID:\n42");

    PromptRecorder declined;
    declined.QueueAnswer(PromptAnswer::No);
    ApplyVerificationOutcome(kVerificationSucceeded, {{L"42", L"@new"}}, L"", recipients, clock,
                             log.Function(), 0);
    EXPECT_EQ(declined.Requests().size(), 1u);
}

TEST(VerificationOutcomeHandling, ExpiredFailedAndCancelled) {
    PromptRecorder prompts;
    Logged log;
    FakeClock clock;
    std::vector<RecipientEntry> recipients;
    auto effects = ApplyVerificationOutcome(kVerificationExpired, {}, L"", recipients, clock,
                                            log.Function(), 0);
    EXPECT_EQ(effects.statusLine, L"Status: Verification Failed");
    effects = ApplyVerificationOutcome(kVerificationFailed, {},
                                       L"Failed to send request to Telegram API.", recipients,
                                       clock, log.Function(), 0);
    EXPECT_EQ(effects.statusLine, L"Status: Verification Failed");
    effects = ApplyVerificationOutcome(kVerificationCancelled, {}, L"", recipients, clock,
                                       log.Function(), 0);
    EXPECT_EQ(effects.statusLine, L"");
    EXPECT_EQ(log.lines,
              (std::vector<std::pair<LogLevel, std::wstring>>{
                  {LogLevel::Info, L"Verification failed: code expired or no matching code found."},
                  {LogLevel::Error,
                   L"Chat ID verification failed: Failed to send request to Telegram API."}}));
    const auto asked = prompts.Requests();
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].caption, L"Telegram Verification");
    EXPECT_EQ(asked[0].text, L"Verification failed. Code expired or no matching code found.");
    EXPECT_EQ(asked[0].icon, PromptIcon::Warning);
    EXPECT_EQ(asked[1].caption, L"Telegram Error");
    EXPECT_EQ(asked[1].text, L"Failed to send request to Telegram API.");
    EXPECT_EQ(asked[1].icon, PromptIcon::Error);
    EXPECT_TRUE(recipients.empty());
}

}  // namespace
}  // namespace wrenpost
