#include "RulesFixture.h"

#include "platform/db/Query.h"
#include "platform/db/Table.h"

namespace {

// The fields the rules use, as the application's tables have them.
void CreateTables(const QString& folder) {
  TTable client;
  client.SetDatabaseName(folder);
  client.SetTableName("CLIENT.DB");
  client.FieldDefs.Add("Id", ftString, 4);
  client.FieldDefs.Add("Nom", ftString, 40);
  client.FieldDefs.Add("Region", ftString, 2);
  client.FieldDefs.Add("Ord", ftInteger);
  for (int i = 0; i < 6; ++i) client.FieldDefs.Add("Ab" + QString::number(i), ftCurrency);
  client.IndexDefs.Add("", "Id", ixPrimary | ixUnique);
  client.CreateTable();
  TTable disto;
  disto.SetDatabaseName(folder);
  disto.SetTableName("Disto.DB");
  disto.FieldDefs.Add("DateJ", ftDate);
  disto.FieldDefs.Add("Id_Client", ftString, 4);
  disto.FieldDefs.Add("Id_Titre", ftString, 4);
  disto.FieldDefs.Add("Qte_Prise", ftInteger);
  disto.FieldDefs.Add("PU", ftCurrency);
  disto.IndexDefs.Add("", "DateJ;Id_Client;Id_Titre", ixPrimary | ixUnique);
  disto.CreateTable();
  TTable retour;
  retour.SetDatabaseName(folder);
  retour.SetTableName("Retour.DB");
  retour.FieldDefs.Add("Week", ftDate);
  retour.FieldDefs.Add("Id_Client", ftString, 4);
  retour.FieldDefs.Add("Id_Titre", ftString, 4);
  retour.FieldDefs.Add("Qte", ftInteger);
  retour.IndexDefs.Add("", "Week;Id_Client;Id_Titre", ixPrimary | ixUnique);
  retour.CreateTable();
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
  // Clients: code, name, region, delivery order, rebates per periodicity.
  AddRow("CLIENT.DB", {"0001", "DUPONT", "01", 2, 0.1, 0.25, 0, 0, 0, 0});
  AddRow("CLIENT.DB", {"0002", "MARTIN", "01", 1, 0.2, 0.5, 0, 0, 0, 0});
  AddRow("CLIENT.DB", {"0003", "DURAND", "02", 3, 0, 0, 0, 0, 0, 0});
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
