#include <gtest/gtest.h>

#include "operations/Quantity.h"

TEST(Quantity, WholeNumbersWithinTheFieldOnly) {
  int v = -1;
  EXPECT_TRUE(ParseQuantity("0", v));
  EXPECT_EQ(v, 0);
  EXPECT_TRUE(ParseQuantity(" 12 ", v));
  EXPECT_EQ(v, 12);
  EXPECT_TRUE(ParseQuantity("2147483647", v));
  EXPECT_EQ(v, 2147483647);
  for (const char* bad : {"", " ", "2.5", "1.2.3", "-1", "+1", "1A", "1 2", "2147483648", "99999999999", "１"})
    EXPECT_FALSE(ParseQuantity(bad, v)) << bad;
}

#include "platform/sys/Formats.h"

TEST(Quantity, AmountsWithAtMostTwoDecimals) {
  Currency c;
  EXPECT_TRUE(ParseAmount("12", c));
  EXPECT_EQ(c.Raw(), 120000);
  EXPECT_TRUE(ParseAmount(" 1255.5 ", c));
  EXPECT_EQ(c.Raw(), 12555000);
  EXPECT_TRUE(ParseAmount("0.29", c));
  EXPECT_EQ(c.Raw(), 2900);
  EXPECT_TRUE(ParseAmount(".5", c));
  EXPECT_EQ(c.Raw(), 5000);
  EXPECT_TRUE(ParseAmount("3.", c));
  EXPECT_EQ(c.Raw(), 30000);
  for (const char* bad : {"", " ", ".", "A", "12A", "1.2.3", "1,5,0", "1,5", "-1", "+1", "1.234", "1 2",
                          "9999999999999", "１"})
    EXPECT_FALSE(ParseAmount(bad, c)) << bad;
}
