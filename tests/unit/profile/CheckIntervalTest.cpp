// The check-seconds text as SAVE stores it and as START runs it.
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "profile/CheckInterval.h"

namespace wrenpost {
namespace {

TEST(CheckIntervalText, ReadsLikeStringToIntWithTheDefaultForNoNumber) {
    constexpr std::int32_t kMax = 2147483647, kMin = -kMax - 1;
    // SAVE's value, START's value, the texts that give them
    const std::tuple<std::int32_t, std::int32_t, std::vector<const wchar_t*>> rows[] = {
        {10, 10, {L"abc", L"", L"-", L"x5", L"2147483648", L"-2147483649"}},
        {15, 15, {L"15s", L"015"}},
        {7, 7, {L" \t\r\n+7"}},
        {0, 10, {L"0", L"-0"}},
        {1, 1, {L"1"}},
        {-5, 10, {L"-5"}},
        {kMax, kMax, {L"2147483647"}},
        {kMin, 10, {L"-2147483648"}}};
    for (const auto& [saved, session, texts] : rows) {
        for (const wchar_t* text : texts) {
            EXPECT_EQ(CheckIntervalFromText(text), saved) << text;
            EXPECT_EQ(SessionCheckInterval(text), session) << text;
        }
    }
}

}  // namespace
}  // namespace wrenpost
