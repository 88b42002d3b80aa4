// The checks before the Telegram commands start and the handling of a verification outcome:
// which command may start, status lines, message boxes and the recipient added.
#include <gtest/gtest.h>

#include "support/FakeClock.h"
#include "support/PromptRecorder.h"
#include "telegram/TelegramCommands.h"

namespace wrenpost {
namespace {

using testing::FakeClock;
using testing::PromptRecorder;

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
