#include "RulesFixture.h"

#include "platform/db/Query.h"
#include "platform/db/Table.h"
#include "schema/SchemaTables.h"

namespace {

void CreateTables(const QString& folder) {
  for (const char* table : {"CLIENT.DB", "Disto.DB", "Retour.DB"})
    ASSERT_EQ(Dbi::CreateTable(folder, ApplicationTableDesc(table)), DBIERR_NONE) << table;
}

void AddRow(const QString& folder, const QString& table, const QList<QVariant>& values) {
  TTable t;
  t.SetDatabaseName(folder);
  t.SetTableName(table);
  t.Open();
  t.Append();
  for (int i = 0; i < values.size(); ++i) t.Fields(i)->Value = values[i];
  t.Post();
  t.Close();
}

}  // namespace

RulesTest::RulesTest() {
  CreateTables(DataPath);
  const QVariant n;
  // Id, Ord, Nom, Adr, Tel, Fax, Site, Region, Ab0..Ab5 (rebates per periodicity)
  AddRow("CLIENT.DB", {"0001", 2, "DUPONT", n, n, n, n, "01", 0.1, 0.25, 0, 0, 0, 0});
  AddRow("CLIENT.DB", {"0002", 1, "MARTIN", n, n, n, n, "01", 0.2, 0.5, 0, 0, 0, 0});
  AddRow("CLIENT.DB", {"0003", 3, "DURAND", n, n, n, n, "02", 0, 0, 0, 0, 0, 0});
  AddTaking("07/03/2005", "0001", "0002", 5, 9.99);
  AddTaking("07/03/2005", "0002", "0001", 3);
  AddTaking("07/03/2005", "0003", "0003", 7);
  AddTaking("06/03/2005", "0001", "0001", 4);
  AddTaking("06/03/2005", "0001", "0002", 6);
  AddTaking("06/03/2005", "0002", "0001", 2);
  AddTaking("06/03/2005", "0003", "0001", 9);
}

void RulesTest::AddRow(const QString& table, const QList<QVariant>& values) const {
  ::AddRow(DataPath, table, values);
}

void RulesTest::AddTaking(const QString& day, const QString& client, const QString& title, int qte, double pu) {
  AddRow("Disto.DB", {QDate::fromString(day, "dd/MM/yyyy"), client, title, qte, pu});
}

QStringList RulesTest::Returns(const QString& week) const {
  TQuery q;
  q.SetDatabaseName(DataPath);
  q.SQL.Add("SELECT ID_CLIENT, ID_TITRE, QTE FROM RETOUR WHERE WEEK=:myWeek ORDER BY ID_CLIENT, ID_TITRE");
  q.ParamByName("myWeek")->AsDate = QDate::fromString(week, "dd/MM/yyyy");
  q.Open();
  QStringList out;
  for (const auto& values : q.ReadRows(0, q.RecordCount()))
    out << values[0].toString() + "|" + values[1].toString() + "|" + values[2].toString();
  q.Close();
  return out;
}

QStringList RulesTest::Day(const QString& day) const {
  TQuery q;
  q.SetDatabaseName(DataPath);
  q.SQL.Add("SELECT ID_CLIENT, ID_TITRE, QTE_PRISE, PU FROM DISTO WHERE DATEJ=:myDay ORDER BY ID_CLIENT, ID_TITRE");
  q.ParamByName("myDay")->AsDate = QDate::fromString(day, "dd/MM/yyyy");
  q.Open();
  QStringList out;
  for (const auto& values : q.ReadRows(0, q.RecordCount())) {
    QStringList row;
    for (const QVariant& v : values) row << v.toString();
    out << row.join('|');
  }
  q.Close();
  return out;
}
