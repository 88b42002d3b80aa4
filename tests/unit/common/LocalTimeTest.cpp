// Local timestamps as the log and the status line print them.
#include <gtest/gtest.h>

#include "common/LocalTime.h"

namespace wrenpost {
namespace {

TEST(LocalTimestamp, FormatsAndParsesBackTheSameSecondAndNeedsAllSixNumbers) {
    const std::time_t moment = 1741356309;  // some second in March 2025
    const std::wstring text = FormatLocalTimestamp(moment);
    EXPECT_EQ(text.substr(4, 1) + text.substr(10, 1) + text.substr(13, 1) + text.substr(19),
              L"- :");
    std::int64_t parsed = 0;
    ASSERT_TRUE(ParseLocalTimestamp(text, parsed));
    EXPECT_EQ(parsed, moment);
    EXPECT_FALSE(ParseLocalTimestamp(L"2025-03-07 14:05", parsed));
    EXPECT_TRUE(ParseLocalTimestamp(L"2025-3-7 4:5:9", parsed));
}

}  // namespace
}  // namespace wrenpost
