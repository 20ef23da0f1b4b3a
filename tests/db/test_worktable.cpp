// A work table made by the program itself (the delivery notes' table), restructures that change
// fields, the auto-increment counter in the file's header, and queries browsed like tables.
#include <gtest/gtest.h>

#include <QFile>

#include "DbTestUtil.h"
#include "platform/db/Query.h"
#include "platform/db/Table.h"
#include "platform/db/Transaction.h"
#include "support/TestSupport.h"

namespace {

void DefineBon(TTable& bon, const QString& folder) {
  bon.SetDatabaseName(folder);
  bon.SetTableType(ttParadox);
  bon.SetTableName("BON.DB");
  bon.FieldDefs.Clear();
  bon.FieldDefs.Add("ID_CLIENT", ftString, 4);
  bon.FieldDefs.Add("ID_TITRE", ftString, 4);
  bon.FieldDefs.Add("ORD_CL", ftInteger);
  bon.FieldDefs.Add("NORD", ftInteger);
  bon.FieldDefs.Add("CLIENT", ftString, 30);
  bon.FieldDefs.Add("TITRE", ftString, 20);
  bon.FieldDefs.Add("NUM", ftInteger);
  bon.FieldDefs.Add("PU", ftCurrency);
  bon.FieldDefs.Add("QTE", ftInteger);
  bon.IndexDefs.Clear();
  bon.IndexDefs.Add("", "ID_CLIENT;ID_TITRE", ixPrimary | ixUnique);
  bon.IndexDefs.Add("iNORD", "ORD_CL;NORD", 0);
}

void AddLine(TTable& bon, const QString& c, const QString& t, int ordCl, int nord, const QString& client, int qte) {
  if (bon.Locate("ID_CLIENT;ID_TITRE", {c, t})) {
    bon.Edit();
    bon.FieldByName("QTE")->AsInteger = bon.FieldByName("QTE")->AsInteger() + qte;
  } else {
    bon.Append();
    bon.FieldByName("ID_CLIENT")->AsString = c;
    bon.FieldByName("ID_TITRE")->AsString = t;
    bon.FieldByName("ORD_CL")->AsInteger = ordCl;
    bon.FieldByName("NORD")->AsInteger = nord;
    bon.FieldByName("CLIENT")->AsString = client;
    bon.FieldByName("QTE")->AsInteger = qte;
  }
  bon.Post();
}

TEST(WorkTable, DeliveryNotesTableIsRecreatedFilledAndReadInBothOrders) {
  TempDir app;
  TTable bon("BON");
  DefineBon(bon, app.Path());
  bon.CreateTable();
  auto idx = Dbi::GetIndexDescs(app.Path(), "BON.DB");
  ASSERT_EQ(idx.size(), 2u);
  EXPECT_TRUE(idx[0].bPrimary);
  EXPECT_EQ(idx[1].szName, "iNORD");
  EXPECT_FALSE(idx[1].bUnique);
  EXPECT_EQ(idx[1].aiKeyFld, std::vector<uint16_t>({3, 4}));

  bon.SetIndexFieldNames("ORD_CL;NORD");
  bon.Open();
  AddLine(bon, "0002", "0001", 1, 2, "A CLIENT WHOSE NAME IS LONGER THAN THIRTY", 3);
  AddLine(bon, "0002", "0002", 1, 1, "A CLIENT", 1);
  AddLine(bon, "0001", "0001", 2, 2, "B CLIENT", 4);
  AddLine(bon, "0002", "0001", 1, 2, "ignored", 2);
  QStringList order;
  bon.First();
  while (!bon.Eof()) {
    order << bon.FieldByName("ID_CLIENT")->AsString() + "/" + bon.FieldByName("ID_TITRE")->AsString() + "=" +
                 bon.FieldByName("QTE")->AsString();
    bon.Next();
  }
  EXPECT_EQ(order, QStringList({"0002/0002=1", "0002/0001=5", "0001/0001=4"}));
  bon.Locate("ID_CLIENT;ID_TITRE", {"0002", "0001"});
  EXPECT_EQ(bon.FieldByName("CLIENT")->AsString(), "A CLIENT WHOSE NAME IS LONGER ");
  bon.Close();

  TQuery q("qBon");
  q.SetDatabaseName(app.Path());
  q.SQL.Add("SELECT * FROM BON ORDER BY ORD_CL DESCENDING, NORD");
  q.Open();
  QStringList rev;
  for (int i = 1; i <= q.RecordCount(); ++i) {
    q.SetRecNo(i);
    rev << q.FieldByName("ID_CLIENT")->AsString() + "/" + q.FieldByName("ID_TITRE")->AsString();
  }
  EXPECT_EQ(rev, QStringList({"0001/0001", "0002/0002", "0002/0001"}));
  auto rows = q.ReadRows(1, 5);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][1].toString(), "0002");
  q.Close();

  // Each delivery-note window makes the table afresh, replacing the old one.
  TTable again("BON");
  DefineBon(again, app.Path());
  again.CreateTable();
  again.Open();
  EXPECT_EQ(again.RecordCount(), 0);
  // An open table cannot be replaced; emptying it is the way out.
  TTable other("BON2");
  DefineBon(other, app.Path());
  try {
    other.CreateTable();
    FAIL();
  } catch (const EDBEngineError& e) {
    EXPECT_EQ(e.ErrorCode(), DBIERR_FILEBUSY);
  }
  AddLine(again, "0001", "0001", 1, 1, "X", 1);
  TQuery del("del");
  del.SetDatabaseName(app.Path());
  del.SQL.Add("DELETE FROM BON.DB");
  del.ExecSQL();
  EXPECT_EQ(del.RowsAffected(), 1);
  again.Refresh();
  EXPECT_TRUE(again.IsEmpty());
}

TEST(Restructure, AddsDropsAndConvertsFieldsKeepingEveryRow) {
  TempDir dir;
  CRTblDesc d;
  d.szTblName = "T.DB";
  d.fields = {Fld("Code", fldZSTRING, 4), Fld("Qte", fldZSTRING, 6), Fld("Old", fldZSTRING, 10), Fld("Day", fldZSTRING, 10)};
  d.indexes = {Idx("", {1}, true), Idx("iOld", {3}, false, true)};
  ASSERT_EQ(Dbi::CreateTable(dir.Path(), d), DBIERR_NONE);
  {
    TTable t("T");
    t.SetDatabaseName(dir.Path());
    t.SetTableName("T");
    t.Open();
    const char* rows[][4] = {{"A", "12", "x", "01/02/2005"}, {"B", "", "y", ""}, {"C", "-7", "z", "31/12/1999"}};
    for (auto& r : rows) {
      t.Append();
      for (int i = 0; i < 4; ++i) t.Fields(i)->AsString = r[i];
      t.Post();
    }
  }
  // Qte becomes an integer, Day a date, Old goes away, New comes in, and the index on Old with it.
  CRTblDesc r;
  r.szTblName = "t.db";
  r.fields = {Fld("Code", fldZSTRING, 4), Fld("Qte", fldINT32), Fld("Day", fldDATE), Fld("New", fldFLOAT, 1, fldstMONEY)};
  r.fields[0].iFldNum = 1;
  r.fields[0].op = CrtOp::None;
  r.fields[1].iFldNum = 2;
  r.fields[1].op = CrtOp::Modify;
  r.fields[2].iFldNum = 4;
  r.fields[2].op = CrtOp::Modify;
  r.fields[3].iFldNum = 0;
  r.fields[3].op = CrtOp::Add;
  ASSERT_EQ(Dbi::DoRestructure(dir.Path(), r), DBIERR_NONE) << Dbi::LastErrorText().toStdString();
  EXPECT_EQ(Dbi::GetIndexDescs(dir.Path(), "T").size(), 1u);
  TTable t("T");
  t.SetDatabaseName(dir.Path());
  t.SetTableName("T.DB");
  t.Open();
  ASSERT_EQ(t.FieldCount(), 4);
  EXPECT_EQ(t.FieldByName("Qte")->DataType(), ftInteger);
  QStringList got;
  for (t.First(); !t.Eof(); t.Next())
    got << t.FieldByName("Code")->AsString() + ":" + t.FieldByName("Qte")->AsString() + ":" +
               t.FieldByName("Day")->AsString() + ":" + (t.FieldByName("New")->IsNull() ? "null" : "set");
  EXPECT_EQ(got, QStringList({"A:12:01/02/2005:null", "B:::null", "C:-7:31/12/1999:null"}));
  t.Close();
  // A text that is no number cannot become one: nothing changes.
  RawSql(dir.File("T.DB"), "UPDATE T SET Code='Q1' WHERE Code='A'");
  CRTblDesc bad = r;
  for (size_t i = 0; i < bad.fields.size(); ++i) bad.fields[i].iFldNum = uint16_t(i + 1), bad.fields[i].op = CrtOp::None;
  bad.fields[0].iFldType = fldINT16;
  bad.fields[0].op = CrtOp::Modify;
  EXPECT_EQ(Dbi::DoRestructure(dir.Path(), bad), DBIERR_RESTRUCTFAIL);
  EXPECT_TRUE(Dbi::LastErrorText().contains("Table T.DB, champ Code, fiche 1 : le texte « Q1 » n'est pas un nombre entier")) << Dbi::LastErrorText().toStdString();
  EXPECT_EQ(Dbi::GetFieldDescs(dir.Path(), "T")[0].iFldType, fldZSTRING);
  // The table in use is not restructured.
  t.Open();
  EXPECT_EQ(Dbi::DoRestructure(dir.Path(), r), DBIERR_FILEBUSY);
  EXPECT_EQ(Dbi::PackTable(dir.Path(), "T"), DBIERR_FILEBUSY);
}

TEST(Counter, AutoIncrementGoesToTheHeaderAtOnceAndSurvivesPacking) {
  TempDir dir;
  CRTblDesc d = AutoDesc();
  ASSERT_EQ(Dbi::CreateTable(dir.Path(), d), DBIERR_NONE);
  auto headerCounter = [&] {
    QFile f(dir.File("AUTO.DB"));
    f.open(QIODevice::ReadOnly);
    const QByteArray h = f.read(100);
    return int32_t(uint8_t(h[73]) | uint8_t(h[74]) << 8 | uint8_t(h[75]) << 16 | uint8_t(h[76]) << 24);
  };
  TTable t("AUTO");
  t.SetDatabaseName(dir.Path());
  t.SetTableName("AUTO");
  t.Open();
  for (int i = 0; i < 3; ++i) {
    t.Append();
    t.FieldByName("S")->AsString = QString("r%1").arg(i);
    t.Post();
  }
  EXPECT_EQ(headerCounter(), 3);  // on disk while the table is open
  EXPECT_EQ(t.FieldByName("N")->AsInteger(), 3);
  {
    TDbTransaction tx(t);
    for (int i = 0; i < 2; ++i) {
      t.Append();
      t.FieldByName("S")->AsString = "tx";
      t.Post();
    }
    tx.Commit();
  }
  EXPECT_EQ(headerCounter(), 5);
  t.Append();
  t.FieldByName("S")->AsString = "last";
  t.Post();
  EXPECT_EQ(t.FieldByName("N")->AsInteger(), 6);
  t.Close();
  EXPECT_EQ(RawSql(dir.File("AUTO.DB"), "PRAGMA integrity_check"), QStringList({"ok"}));
  RawSql(dir.File("AUTO.DB"), "DELETE FROM AUTO WHERE N > 2");
  EXPECT_EQ(Dbi::PackTable(dir.Path(), "AUTO.DB"), DBIERR_NONE);
  EXPECT_EQ(headerCounter(), 6);
  // A lower stored counter (as the structure check would repair it) is written while nothing uses
  // the file; an open table refuses it.
  Dbi::WriteAutoIncCounter(dir.Path(), "AUTO", 10);
  t.Open();
  int32_t v = 0;
  ASSERT_TRUE(Dbi::ReadAutoIncCounter(dir.Path(), "AUTO", v));
  EXPECT_EQ(v, 10);
  try {
    Dbi::WriteAutoIncCounter(dir.Path(), "AUTO", 11);
    FAIL();
  } catch (const EDBEngineError& e) {
    EXPECT_EQ(e.ErrorCode(), DBIERR_FILEBUSY);
  }
  t.Append();
  t.FieldByName("S")->AsString = "after";
  t.Post();
  EXPECT_EQ(t.FieldByName("N")->AsInteger(), 11);
}

TEST(QueryBrowse, LocateOptionsAndWrongTypesThroughSql) {
  TempDir dir;
  ASSERT_EQ(Dbi::CreateTable(dir.Path(), ClientDesc()), DBIERR_NONE);
  TQuery ins("ins");
  ins.SetDatabaseName(dir.Path());
  ins.SQL.Add("INSERT INTO CLIENT (Id, Ord, Nom) VALUES('0001', 1, 'Dupont'), ('0002', 2, 'durand')");
  ins.ExecSQL();
  TQuery q("q");
  q.SetDatabaseName(dir.Path());
  q.SQL.Add("SELECT * FROM CLIENT ORDER BY ORD");
  q.Open();
  EXPECT_FALSE(q.Locate("NOM", "DURAND"));
  EXPECT_TRUE(q.Locate("NOM", "DURAND", loCaseInsensitive));
  EXPECT_EQ(q.RecNo(), 2);
  EXPECT_TRUE(q.Locate("NOM", "Du", loPartialKey));
  EXPECT_EQ(q.RecNo(), 1);
  EXPECT_TRUE(q.Locate("ORD", QString("2")));
  EXPECT_FALSE(q.Locate("ORD", QString("x")));
  EXPECT_EQ(q.RecNo(), 2);
  // A quantity that is not a number is refused, with the engine's error.
  TQuery bad("bad");
  bad.SetDatabaseName(dir.Path());
  bad.SQL.Add("UPDATE CLIENT SET ORD='abc' WHERE ID='0001'");
  EXPECT_THROW(bad.ExecSQL(), EDBEngineError);
  bad.SQL.Clear();
  bad.SQL.Add("UPDATE CLIENT SET ORD='7' WHERE ID='0001'");
  bad.ExecSQL();
  q.Refresh();
  q.First();
  EXPECT_EQ(q.FieldByName("ID")->AsString(), "0002");
  q.Last();
  EXPECT_EQ(q.FieldByName("ORD")->AsInteger(), 7);
}

}  // namespace
