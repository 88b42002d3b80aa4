// Cancelling a request in flight from another thread: what gets closed, and who still owns it.
#include <gtest/gtest.h>

#include "common/HttpCancellation.h"

namespace wrenpost {
namespace {

TEST(HttpCancellation, ClosesOnlyTheRequestInFlightAndTellsItsOwner) {
    HttpCancellation cancellation;
    int closed = 0;
    const auto first = cancellation.Enter([&] { ++closed; });
    ASSERT_NE(first, 0u);
    cancellation.Cancel();
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(cancellation.Enter([&] { ++closed; }), 0u);  // refused until Reset
    cancellation.Reset();
    const auto second = cancellation.Enter([&] { closed += 10; });
    EXPECT_TRUE(cancellation.Leave(first));  // the abandoned request leaves late...
    cancellation.Cancel();                   // ...and the newer one is still closed
    EXPECT_EQ(closed, 11);
    EXPECT_TRUE(cancellation.Leave(second));
    cancellation.Reset();
    const auto third = cancellation.Enter([&] { closed += 100; });
    EXPECT_FALSE(cancellation.Leave(third));
    cancellation.Cancel();
    EXPECT_EQ(closed, 11);  // a request that has left is never closed
}

}  // namespace
}  // namespace wrenpost
