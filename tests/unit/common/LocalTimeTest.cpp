#include <gtest/gtest.h>

#include "common/LocalTime.h"

namespace wrenpost {
namespace {

TEST(LocalTimestamp, FormatsAndParsesBackTheSameSecond) {
    const std::time_t moment = 1741356309;  // some second in March 2025
    const std::wstring text = FormatLocalTimestamp(moment);
    ASSERT_EQ(text.size(), 19u);
    EXPECT_EQ(text[4], L'-');
    EXPECT_EQ(text[10], L' ');
    EXPECT_EQ(text[13], L':');
    std::int64_t parsed = 0;
    ASSERT_TRUE(ParseLocalTimestamp(text, parsed));
    EXPECT_EQ(parsed, moment);
}

TEST(LocalTimestamp, ParseNeedsAllSixNumbers) {
    std::int64_t parsed = 0;
    EXPECT_FALSE(ParseLocalTimestamp(L"Never", parsed));
    EXPECT_FALSE(ParseLocalTimestamp(L"2025-03-07 14:05", parsed));
    EXPECT_FALSE(ParseLocalTimestamp(L"", parsed));
    EXPECT_TRUE(ParseLocalTimestamp(L"2025-3-7 4:5:9", parsed));
}

}  // namespace
}  // namespace wrenpost
