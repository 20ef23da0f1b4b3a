#include <gtest/gtest.h>
#include <clocale>

#include "platform/sys/Formats.h"
#include "support/FrenchLocale.h"

TEST(Formats, DatesRoundTripAsDayMonthYear) {
  EXPECT_EQ(DateToStr(QDate(2005, 3, 7)), "07/03/2005");
  EXPECT_EQ(StrToDate("07/03/2005"), QDate(2005, 3, 7));
  EXPECT_EQ(StrToDate(" 1/2/2006 "), QDate(2006, 2, 1));
  EXPECT_FALSE(TryStrToDate("31/02/2005"));
  EXPECT_FALSE(TryStrToDate("2005-03-07"));
  EXPECT_THROW(StrToDate("abc"), EConvertError);
  EXPECT_EQ(DayOfWeek(QDate(2026, 12, 6)), 1);  // a Sunday
  EXPECT_EQ(DayOfWeek(QDate(2026, 12, 5)), 7);  // a Saturday
}

TEST(Formats, NumbersAndMoneyIgnoreTheSystemLocale) {
  ScopedFrenchLocale french;  // the result must not depend on it
  EXPECT_DOUBLE_EQ(StrToFloat("1.5"), 1.5);
  EXPECT_FALSE(TryStrToFloat("1,5"));
  EXPECT_EQ(FormatFloat("### ##0", 1234567), "1 234 567");
  EXPECT_EQ(FormatFloat("### ##0", 0), "0");
  EXPECT_EQ(FormatFloat("### ##0", -1234), "-1 234");
  EXPECT_EQ(FormatFloat("0.00", 2.005), "2.01");
  EXPECT_EQ(FormatFloat("#,##0.00", 1234.5), "1 234.50");
  EXPECT_EQ(CurrToStrF(Currency::FromDouble(1234.5)), "1 234.50");
  EXPECT_EQ(CurrToStrF(Currency::FromDouble(-0.004)), "0.00");
  EXPECT_EQ(FormatCurr(Currency::FromDouble(-12.5)), "-12.50  ");
  EXPECT_EQ(Currency::FromDouble(0.1) + Currency::FromDouble(0.2), Currency::FromDouble(0.3));
}
