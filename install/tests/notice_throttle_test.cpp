// How the worker's progress notices are thinned out.
#include <gtest/gtest.h>

#include "install/notice_throttle.h"

namespace {

TEST(NoticeThrottle, SendsOnEachNewPercentageAndOtherwiseOncePerInterval) {
    std::int64_t now = 1000;
    CNoticeThrottle throttle([&] { return now; }, 20);
    EXPECT_TRUE(throttle.ShouldSend(0));  // the first one always goes
    EXPECT_FALSE(throttle.ShouldSend(0));
    EXPECT_TRUE(throttle.HasHeldBack());
    now += 19;
    EXPECT_FALSE(throttle.ShouldSend(0));
    now += 1;
    EXPECT_TRUE(throttle.ShouldSend(0));  // the interval has passed
    EXPECT_FALSE(throttle.HasHeldBack());
    EXPECT_TRUE(throttle.ShouldSend(1));  // a new percentage goes at once
    EXPECT_TRUE(throttle.ShouldSend(2));
    EXPECT_FALSE(throttle.ShouldSend(2));
}

TEST(NoticeThrottle, ValuesSentOutsideCountAsSent) {
    std::int64_t now = 0;
    CNoticeThrottle throttle([&] { return now; }, 20);
    EXPECT_TRUE(throttle.ShouldSend(5));
    EXPECT_FALSE(throttle.ShouldSend(5));
    now += 5;
    throttle.MarkSent(5);
    EXPECT_FALSE(throttle.HasHeldBack());
    now += 19;
    EXPECT_FALSE(throttle.ShouldSend(5));  // 19 ms after the one sent outside
    now += 1;
    EXPECT_TRUE(throttle.ShouldSend(5));
}

}  // namespace
