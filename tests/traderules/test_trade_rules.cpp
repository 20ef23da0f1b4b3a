// The daily trade rules on the takings of the windows' tests, without any window.
#include <algorithm>

#include "RulesFixture.h"
#include "rules/TradeRules.h"

namespace {
Currency C(double v) { return Currency::FromDouble(v); }
}  // namespace

TEST(TradeRules, NetPriceTakesTheRebateOfTheTitlesPeriodicityOnly) {
  trade::Rebates ab;
  for (int i = 0; i < 6; ++i) ab[size_t(i)] = C(0.1 * (i + 1));
  EXPECT_EQ(trade::NetPrice(C(2), "0", ab), C(1.9));
  EXPECT_EQ(trade::NetPrice(C(2), " 5 ", ab), C(1.4));
  // No rebate field of that name: the full price.
  for (const QString p : {"", "6", "A", "12", "-1"}) EXPECT_EQ(trade::NetPrice(C(2), p, ab), C(2)) << p.toStdString();
}

TEST_F(RulesTest, TheWeekRunsFromSaturdayToFridayAndItsSumsStayInside) {
  const trade::Week week{QDate(2005, 3, 5)};
  EXPECT_EQ(week.Friday(), QDate(2005, 3, 11));
  EXPECT_FALSE(week.Contains(QDate(2005, 3, 12)));
  AddTaking("11/03/2005", "0001", "0002", 1, 7.0);
  AddTaking("12/03/2005", "0001", "0002", 100);  // next week
  AddTaking("04/03/2005", "0001", "0002", 100);  // the week before
  const auto sums = trade::ReadWeekTakings(DataPath, week);
  const auto one = sums.value(trade::TakingKey("0001", "0002"));
  EXPECT_EQ(one.taken, 6 + 5 + 1);
  EXPECT_EQ(one.firstDay, QDate(2005, 3, 6));
  EXPECT_EQ(one.pu, C(1));  // the first day's row
  EXPECT_EQ(trade::WeekTaken(DataPath, week, "0001", "0002"), 12);
  EXPECT_EQ(trade::WeekTaken(DataPath, week, "0002", "0003"), 0);
  // A region's clients only.
  auto keys = trade::ReadWeekTakings(DataPath, week, "02").keys();
  std::sort(keys.begin(), keys.end());
  EXPECT_EQ(keys, (QList<QString>{trade::TakingKey("0003", "0001"), trade::TakingKey("0003", "0003")}));
}

TEST_F(RulesTest, ATakingIsEditedInItsRowOrAppendedAtTheNetPrice) {
  TTable disto;
  disto.SetDatabaseName(DataPath);
  disto.SetTableName("Disto.DB");
  disto.SetIndexFieldNames("DateJ;Id_Client;Id_Titre");
  disto.Open();
  const QDate day(2005, 3, 7);
  EXPECT_EQ(trade::ReadDayQuantities(DataPath, day, "01").size(), 2);
  EXPECT_EQ(trade::ReadDayQuantities(DataPath, day, {}, "0003").value(trade::TakingKey("0003", "0003")), 7);
  // An existing row keeps its price; a missing one is written only with a price.
  EXPECT_TRUE(trade::StoreTaking(disto, day, "0001", "0002", 8));
  EXPECT_FALSE(trade::StoreTaking(disto, day, "0002", "0002", 4));
  EXPECT_TRUE(trade::StoreTaking(disto, day, "0002", "0002", 4, [] { return C(1.5); }));
  // A pass: rebates of the moment, a title without a price at 0, a quantity already stored kept.
  trade::DayTakingsWriter writer(disto, DataPath, day);
  const trade::TitlePrice semaine{C(2), trade::PeriodIndex("1")};
  writer.Store("0001", "0001", 3, nullptr);
  writer.Store("0003", "0002", 2, &semaine);
  writer.Store("0003", "0003", 7, &semaine);
  EXPECT_EQ(Day("07/03/2005"), (QStringList{"0001|0001|3|0", "0001|0002|8|9.99", "0002|0001|3|1", "0002|0002|4|1.5",
                                            "0003|0002|2|2", "0003|0003|7|1"}));
}
