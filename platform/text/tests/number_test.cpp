#include "platform/text/number.h"

#include <gtest/gtest.h>

#include <climits>

using text::NumberExtent;
using text::OutOfRange;
using text::ParseDecimal;
using text::SplitHostPort;

TEST(ParseDecimalTest, WholeTextWithinItsRange) {
    EXPECT_EQ(ParseDecimal("0", 0, 10), 0);
    EXPECT_EQ(ParseDecimal("0007", 0, 10), 7);
    EXPECT_EQ(ParseDecimal("65535", 1, 65535), 65535);
    EXPECT_EQ(ParseDecimal("-12", -20, 0), -12);
    EXPECT_EQ(ParseDecimal("9223372036854775807", 0, INT64_MAX), INT64_MAX);
    EXPECT_EQ(ParseDecimal("-9223372036854775808", INT64_MIN, 0), INT64_MIN);
    for (const char* bad : {"", "-", "+5", " 5", "5 ", "5x", "0x10", "1e3", "--1", "- 1"})
        EXPECT_FALSE(ParseDecimal(bad, -100, 100)) << bad;
    // Out of range, and past what 64 bits hold: no number, no wrap.
    EXPECT_FALSE(ParseDecimal("65536", 1, 65535));
    EXPECT_FALSE(ParseDecimal("0", 1, 65535));
    EXPECT_FALSE(ParseDecimal("-1", 0, 10));
    EXPECT_FALSE(ParseDecimal("18446744073709551617", 0, INT64_MAX));
    EXPECT_FALSE(ParseDecimal("-99999999999999999999", INT64_MIN, 0));
    EXPECT_FALSE(ParseDecimal("5", 10, 0));
}

TEST(ParseDecimalTest, APrefixTellsWhereItEndedAndClampingHoldsToTheBounds) {
    std::size_t used = 0;
    EXPECT_EQ(ParseDecimal("123abc", 0, 1000, NumberExtent::kPrefix, OutOfRange::kRefuse, &used),
              123);
    EXPECT_EQ(used, 3u);
    EXPECT_EQ(ParseDecimal("-4-5", -10, 10, NumberExtent::kPrefix, OutOfRange::kRefuse, &used), -4);
    EXPECT_EQ(used, 2u);
    EXPECT_FALSE(ParseDecimal("abc", 0, 10, NumberExtent::kPrefix));
    EXPECT_FALSE(ParseDecimal("-x", -10, 10, NumberExtent::kPrefix));

    EXPECT_EQ(ParseDecimal("99999999999999999999 bytes", 0, INT64_MAX, NumberExtent::kPrefix,
                           OutOfRange::kClamp, &used),
              INT64_MAX);
    EXPECT_EQ(used, 20u);
    EXPECT_EQ(ParseDecimal("-99999999999999999999", INT_MIN, INT_MAX, NumberExtent::kPrefix,
                           OutOfRange::kClamp),
              INT_MIN);
    EXPECT_EQ(
        ParseDecimal("3000000000", INT_MIN, INT_MAX, NumberExtent::kWhole, OutOfRange::kClamp),
        INT_MAX);
    // Clamping does not make a number of what is none.
    EXPECT_FALSE(ParseDecimal("12x", 0, 10, NumberExtent::kWhole, OutOfRange::kClamp));
}

TEST(SplitHostPortTest, NamesAddressesAndPorts) {
    auto split = SplitHostPort("example.org:8080");
    ASSERT_TRUE(split);
    EXPECT_EQ(split->host, "example.org");
    EXPECT_EQ(split->port, 8080);
    EXPECT_FALSE(split->bracketed);

    split = SplitHostPort("example.org");
    ASSERT_TRUE(split);
    EXPECT_FALSE(split->port);

    split = SplitHostPort("[::1]:443");
    ASSERT_TRUE(split);
    EXPECT_EQ(split->host, "::1");
    EXPECT_EQ(split->port, 443);
    EXPECT_TRUE(split->bracketed);

    split = SplitHostPort("[fe80::1]");
    ASSERT_TRUE(split);
    EXPECT_FALSE(split->port);

    // Two colons or more without brackets: an IPv6 address with no port.
    split = SplitHostPort("fe80::1:80");
    ASSERT_TRUE(split);
    EXPECT_EQ(split->host, "fe80::1:80");
    EXPECT_FALSE(split->port);

    // Port 0 only where the caller allows it (a server's "any port").
    EXPECT_FALSE(SplitHostPort("h:0"));
    ASSERT_TRUE(SplitHostPort("h:0", 0));
    EXPECT_EQ(SplitHostPort("h:0", 0)->port, 0);

    for (const char* bad : {"", ":80", "h:", "h:65536", "h:-1", "h:+1", "h:8x", "[::1", "[::1]x",
                            "[::1]:", "[]:80", "h: 80"})
        EXPECT_FALSE(SplitHostPort(bad)) << bad;
}
