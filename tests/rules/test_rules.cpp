// The trade rules on the takings of the windows' tests, without any window.
#include <algorithm>

#include "RulesFixture.h"
#include "rules/Returns.h"
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
  const trade::TitlePrice semaine{C(2), trade::PeriodIndex("1")};
  {
    // Cell by cell: an existing row keeps its price; a missing one is written only with a price.
    trade::TakingStore store(disto, DataPath, day);
    EXPECT_TRUE(store.Store("0001", "0002", 8));
    EXPECT_FALSE(store.Store("0002", "0002", 4));
    EXPECT_TRUE(store.Store("0002", "0002", 4, &semaine));
    EXPECT_FALSE(store.Store("", "0002", 4, &semaine));  // never a row without its keys
  }
  // A pass: existing rows updated in place, new ones at the rebates of the moment, a title
  // without a price at 0, a row without a price only when the day has it.
  trade::TakingStore pass(disto, DataPath, day, trade::TakingStore::Pass{});
  const trade::TitlePrice none;
  EXPECT_TRUE(pass.Store("0001", "0002", 11, &semaine));
  EXPECT_TRUE(pass.Store("0002", "0001", 0));
  EXPECT_FALSE(pass.Store("0001", "0001", 3));
  EXPECT_TRUE(pass.Store("0001", "0003", 3, &none));
  EXPECT_TRUE(pass.Store("0003", "0002", 2, &semaine));
  EXPECT_TRUE(pass.Store("0003", "0003", 7, &semaine));
  EXPECT_TRUE(pass.Has("0003", "0002"));
  EXPECT_EQ(Day("07/03/2005"), (QStringList{"0001|0002|11|9.99", "0001|0003|3|0", "0002|0001|0|1", "0002|0002|4|1.5",
                                            "0003|0002|2|2", "0003|0003|7|1"}));
  EXPECT_EQ(Day("06/03/2005").size(), 4);  // the other day untouched
}

// Price and rebate are money of four decimals: the net price is their difference as it is, rounded
// nowhere to cents, and the new row stores it so.
TEST_F(RulesTest, ANetPriceOfPricesInTenthsOfACentIsTheirExactDifference) {
  AddRow("CLIENT.DB", {"0004", 4, "PETIT", {}, {}, {}, {}, "02", 0, 0.125, 0, 0, 0, 0});
  EXPECT_EQ(trade::ReadRebates(DataPath, {}, "0004").value("0004")[1], Currency::FromRaw(1250));
  TTable disto;
  disto.SetDatabaseName(DataPath);
  disto.SetTableName("Disto.DB");
  disto.Open();
  const trade::TitlePrice weekly{C(1.2345), trade::PeriodIndex("1")};
  trade::TakingStore(disto, DataPath, QDate(2005, 3, 8)).Store("0004", "0002", 3, &weekly);
  EXPECT_EQ(Day("08/03/2005"), QStringList{"0004|0002|3|1.1095"});
}

TEST_F(RulesTest, TheWeekOfADayIsTheSaturdayOnOrBeforeIt) {
  for (int d = 5; d <= 11; ++d) EXPECT_EQ(trade::WeekOf(QDate(2005, 3, d)).saturday, QDate(2005, 3, 5)) << d;
  EXPECT_EQ(trade::WeekOf(QDate(2006, 1, 6)).saturday, QDate(2005, 12, 31));  // across the year
  EXPECT_FALSE(trade::WeekOf(QDate()).saturday.isValid());
}

TEST_F(RulesTest, AWeeksReturnsAreCreatedStoredOverExistingRowsAndDeleted) {
  const trade::Week week{QDate(2005, 3, 5)};
  const std::vector<QString> titles{"0001", "0002"};
  const QStringList clients = trade::RegionClients(DataPath, "01");
  EXPECT_EQ(clients, (QStringList{"0002", "0001"}));  // delivery order
  TTable retour;
  retour.SetDatabaseName(DataPath);
  retour.SetTableName("Retour.DB");
  retour.SetIndexFieldNames("Week;Id_Client;Id_Titre");
  retour.Open();
  // A row of the week already there keeps its quantity; the others start at 0.
  QHash<QString, int> stored;
  trade::StoreWeekReturns(retour, DataPath, week, {"0002"}, {{"0001", {4}}}, stored);
  trade::CreateWeekReturns(DataPath, week, "01", clients, titles, stored);
  EXPECT_EQ(Returns("05/03/2005"), (QStringList{"0001|0001|0", "0001|0002|4", "0002|0001|0", "0002|0002|0"}));
  EXPECT_EQ(stored.size(), 4);
  // The save updates existing rows, appends the missing (one another program took out), and
  // spares those stored as they are.
  trade::DeleteWeekReturns(DataPath, {QDate(2005, 3, 12)});  // another week: nothing here
  {
    TTable other;
    other.SetDatabaseName(DataPath);
    other.SetTableName("Retour.DB");
    other.Open();
    ASSERT_TRUE(other.Locate("WEEK;ID_CLIENT;ID_TITRE", {week.saturday, "0002", "0002"}));
    other.Delete();
  }
  int steps = 0;
  trade::StoreWeekReturns(retour, DataPath, week, titles, {{"0002", {1, 2}}, {"0001", {3, 4}}}, stored,
                          [&] { ++steps; });
  EXPECT_EQ(steps, 2);
  EXPECT_EQ(Returns("05/03/2005"), (QStringList{"0001|0001|3", "0001|0002|4", "0002|0001|1", "0002|0002|2"}));
  EXPECT_EQ(stored.value(trade::TakingKey("0002", "0002")), 2);
  EXPECT_EQ(trade::ReadWeekReturns(DataPath, week, "01").size(), 4);
  trade::DeleteWeekReturns(DataPath, week);
  EXPECT_TRUE(Returns("05/03/2005").isEmpty());
}

// A new week is made whole or not at all: here the third client's row is already there, so the
// engine refuses its insert after two clients' rows were written.
TEST_F(RulesTest, ANewWeekThatFailsHalfWayLeavesNoRowOfIt) {
  const trade::Week week{QDate(2005, 3, 5)};
  AddRow("Retour.DB", {week.saturday, "0003", "0001", 6});  // another region's: not read as the region's
  QHash<QString, int> stored;
  int clientsDone = 0;
  EXPECT_ANY_THROW(trade::CreateWeekReturns(DataPath, week, "01", {"0002", "0001", "0003"}, {"0001", "0002"},
                                            stored, [&] { ++clientsDone; }));
  EXPECT_EQ(clientsDone, 2);
  EXPECT_EQ(Returns("05/03/2005"), QStringList{"0003|0001|6"});
  EXPECT_TRUE(stored.isEmpty());
}
