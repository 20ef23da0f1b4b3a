#include "WeeklyFixture.h"


#include "platform/sys/Clock.h"
#include "shell/global.h"

WeeklyTest::WeeklyTest() {
  cells = testdata::Cells::Dates;
  InitializeFormats();
  SetClock(QDateTime(QDate(2004, 3, 10), QTime(9, 0)));
}

WeeklyTest::~WeeklyTest() { SetClock(QDateTime()); }

void WeeklyTest::AddReference() {
  AddRow("Region.db", {"01", "NORD"});
  AddRow("Region.db", {"02", "SUD"});
  AddRow("CLIENT.DB", {"0001", 1, "KIOSQUE GARE", {}, {}, {}, "A", "01", 1.0, 2.0, 0, 0, 0, 0});
  AddRow("CLIENT.DB", {"0002", 2, "TABAC DES AMIS", {}, {}, {}, "A", "01", 1.0, 2.0, 0, 0, 0, 0});
  AddRow("CLIENT.DB", {"0003", 1, "PRESSE DU PORT", {}, {}, {}, "A", "02", 1.0, 2.0, 0, 0, 0, 0});
  AddRow("Titre.DB", {"0001", 2, 0, "EL WATAN", {}, 0, 8.0, 10.0, "0", "A", "1", false});
  AddRow("Titre.DB", {"0002", 1, 0, "LIBERTE", {}, 0, 15.0, 20.0, "1", "A", "1", false});
}

void WeeklyTest::AddTaking(const QDate& day, const QString& client, const QString& title, int qte, double pu) {
  AddRow("Disto.DB", {day, client, title, qte, pu});
}
