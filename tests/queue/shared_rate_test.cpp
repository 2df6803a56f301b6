// Pacers of several jobs drawing on one budget hold their total to its rate: what one takes
// the others cannot, and a held transfer of one goes on when the budget fills again.
#include <gtest/gtest.h>

#include "engine/transfer/cancel_token.h"
#include "engine/transfer/rate_pacer.h"

namespace {

using namespace zenvira::components;
using namespace std::chrono_literals;

TEST(SharedRateBudget, TwoJobsTogetherStayAtTheRateAndTakeWhatTheOtherLeaves) {
    CancelToken stopA, stopB;
    auto budget = std::make_shared<RateBudget>(1'000'000);
    RatePacer a(budget, stopA), b(budget, stopB);
    EXPECT_EQ(a.bytesPerSecond(), 1'000'000);
    const auto start = RatePacer::Clock::now();
    CURL* first = reinterpret_cast<CURL*>(0x1);
    CURL* second = reinterpret_cast<CURL*>(0x2);

    // 100 ms fill a tenth of the rate; job A takes it all.
    ASSERT_TRUE(a.admit(first, start + 100ms));
    a.spent(100'000);
    EXPECT_FALSE(b.admit(second, start + 100ms)) << "B sees what A spent";
    EXPECT_GT(b.untilDue(1000ms, start + 100ms).count(), 0);
    // B is held until the budget fills again, then goes on; A alone would not have waited.
    EXPECT_EQ(b.untilDue(1000ms, start + 200ms).count(), 0);
    EXPECT_TRUE(b.admit(second, start + 200ms));

    // A pacer of its own is not held by another's spending.
    CancelToken stopC;
    RatePacer c(1'000'000, stopC);
    EXPECT_TRUE(c.admit(first, start + 100ms));
}

}  // namespace
