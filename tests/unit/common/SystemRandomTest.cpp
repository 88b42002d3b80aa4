// The system's random numbers below a bound: within it, every value reachable.
#include <gtest/gtest.h>

#include <array>

#include "common/SystemRandom.h"

namespace wrenpost {
namespace {

TEST(SystemRandom, NumbersBelowABoundReachEveryValueAndNoOther) {
    EXPECT_FALSE(SystemRandomBelow(0).has_value());
    EXPECT_EQ(SystemRandomBelow(1), std::optional<std::uint32_t>(0));
    std::array<int, 3> seen{};
    for (int draw = 0; draw < 600; ++draw) {
        const std::optional<std::uint32_t> value = SystemRandomBelow(3);
        ASSERT_TRUE(value.has_value());
        ASSERT_LT(*value, 3u);
        ++seen[*value];
    }
    for (const int count : seen) {
        EXPECT_GT(count, 100);  // about 200 each; 100 or fewer is astronomically unlikely
    }
}

}  // namespace
}  // namespace wrenpost
