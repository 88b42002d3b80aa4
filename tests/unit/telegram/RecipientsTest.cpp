// The recipient list rules: unique chat ids, the 1,000 limit with its message, and the removal
// of recipients inactive for more than 365 days.
#include <gtest/gtest.h>

#include "common/LocalTime.h"
#include "support/FakeClock.h"
#include "support/PromptRecorder.h"
#include "telegram/Recipients.h"

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

TEST(AddRecipient, AppendsAnAllowedEntryRegisteredNowAndRefusesADuplicateSilently) {
    FakeClock clock;
    PromptRecorder prompts;
    std::vector<RecipientEntry> list;
    EXPECT_EQ(AddRecipient(list, L"-100200", L"@ops", clock), kRecipientAdded);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0],
              (RecipientEntry{L"-100200", L"@ops", true, LocalTimeAgo(clock, 0), L"Never"}));
    EXPECT_EQ(AddRecipient(list, L"-100200", L"Other", clock), kRecipientAlreadyPresent);
    EXPECT_EQ(AddRecipient(list, L"0-100200", L"Zero", clock), kRecipientAdded);  // exact text
    EXPECT_EQ(list.size(), 2u);
    EXPECT_TRUE(prompts.Requests().empty());
}

TEST(AddRecipient, TheThousandthFitsAndTheNextIsRefusedWithTheLimitMessage) {
    FakeClock clock;
    PromptRecorder prompts;
    std::vector<RecipientEntry> list;
    for (int i = 1; i <= 999; ++i) {
        list.push_back(Entry(std::to_wstring(i), L"2026-01-01 00:00:00"));
    }
    EXPECT_EQ(AddRecipient(list, L"1000", L"Last", clock, 1234), kRecipientAdded);
    EXPECT_TRUE(prompts.Requests().empty());
    EXPECT_EQ(AddRecipient(list, L"1001", L"Too many", clock, 1234), kRecipientLimitReached);
    EXPECT_EQ(list.size(), 1000u);
    const auto asked = prompts.Requests();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].owner, 1234u);
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

}  // namespace
}  // namespace wrenpost
