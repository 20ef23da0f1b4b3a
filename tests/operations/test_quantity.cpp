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
