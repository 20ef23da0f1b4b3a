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

#include <QFont>
#include <QFontMetrics>
#include <QRegularExpression>

TEST(Quantity, ANumberWiderThanItsCellShowsAsMarksNotCut) {
  QFont f("DejaVu Sans");
  f.setPixelSize(12);
  const QFontMetrics fm(f);
  EXPECT_EQ(FitInCell("123", 59, fm), "123");
  EXPECT_EQ(FitInCell("", 59, fm), "");
  const QString wide = FitInCell("2147483647", 59, fm);
  EXPECT_FALSE(wide.contains(QRegularExpression("[0-9]")));
  EXPECT_TRUE(wide.startsWith("#"));
  EXPECT_LE(fm.horizontalAdvance(wide), 59);
  EXPECT_GE(fm.horizontalAdvance(wide + "#"), 59);  // across the whole cell
  EXPECT_EQ(FitInCell("12", 1, fm), "#");
  // In a font as painting asks: short texts are measured too, a narrow column gets the marks.
  const int three = fm.horizontalAdvance("123");
  EXPECT_EQ(FitInCell("123", three, f), "123");
  EXPECT_EQ(FitInCell("123", three - 1, f), QString(std::max(1, (three - 1) / fm.horizontalAdvance('#')), '#'));
  EXPECT_EQ(FitInCell("1.5", 1, f), "#");
  EXPECT_EQ(FitInCell("", -4, f), "");
}
