// Queries in the windows' own SQL: every statement form they run, values with apostrophes,
// dates written month/day/year, parameters, and queries beside open tables.
#include <gtest/gtest.h>

#include <QDir>

#include "DbTestUtil.h"
#include "platform/db/Query.h"
#include "platform/db/RowStore.h"
#include "platform/db/Table.h"
#include "platform/db/Transaction.h"
#include "support/TestSupport.h"

namespace {

class Queries : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const CRTblDesc& d : AppSchema()) ASSERT_EQ(Dbi::CreateTable(dir.Path(), d), DBIERR_NONE) << d.szTblName.toStdString();
    TDbTransaction tx(dir.Path());
    Exec("INSERT INTO CLIENT.DB (Id, Ord, Nom, Region, Ab0) VALUES('0001', 2, 'L''ARBRE', '01', '0.1')");
    Exec("INSERT INTO CLIENT.DB (Id, Ord, Nom, Region, Ab0) VALUES('0002', 1, 'DUPONT', '01', '0.2')");
    Exec("INSERT INTO CLIENT.DB (Id, Ord, Nom, Region) VALUES('0003', 1, 'MARTIN', '02')");
    Exec("INSERT INTO Region.db (Id, Libelle) VALUES('01', 'NORD'), ('02', 'EST')");
    Exec("INSERT INTO TITRE (Id, Nord, Titre, Prix, Periode) VALUES('0001', 2, 'L''EQUIPE', '1.2', '0'),"
         " ('0002', 1, 'LE MONDE', '1.5', '0'), ('0003', 3, 'TELE 7', '0.9', '1')");
    Exec("INSERT INTO ORGAD (Id_Region, Id_Titre, Ord_Titre) VALUES('01', '0001', '1'), ('01', '0002', '2'), ('02', '0001', '1')");
    Exec("INSERT INTO TLISTE.DB (NoListe, Nord, ID_Region, ID_Titre) VALUES('3', '1', '01', '0001'), ('3', '2', '01', '0002'),"
         " ('3', '3', '01', '0009')");
    for (int d = 1; d <= 14; ++d)
      for (const char* c : {"0001", "0002"})
        Exec(QString("INSERT INTO Disto.DB (DateJ, Id_Client, Id_Titre, Qte_Prise, PU) VALUES('3/%1/2005', '%2', '0001', '%1', '1.1')")
                 .arg(d).arg(c));
    Exec("INSERT INTO HA.DB (DateH, Id, Qte, Pu) VALUES('3/7/2005', '0001', '10', '0.5'), ('3/8/2005', '0001', '5', '0.5'),"
         " ('3/20/2005', '0001', '7', '0.5')");
    Exec("INSERT INTO RETOUR.DB (Week, Id_Client, Id_Titre, Qte) VALUES('3/5/2005', '0001', '0001', '1'), ('3/12/2005', '0001', '0001', '2')");
  }
  int Exec(const QString& sql) {
    TQuery q("myQuery");
    q.SetDatabaseName(dir.Path());
    q.SQL.Add(sql);
    q.ExecSQL();
    return q.RowsAffected();
  }
  QStringList Rows(TQuery& q) {
    QStringList out;
    q.First();
    while (!q.Eof()) {
      QStringList r;
      for (int i = 0; i < q.FieldCount(); ++i) r << q.Fields(i)->AsString();
      out << r.join('|');
      q.Next();
    }
    return out;
  }
  QStringList Select(const QStringList& lines) {
    TQuery q("q");
    q.SetDatabaseName(dir.Path());
    for (const QString& l : lines) q.SQL.Add(l);
    q.Open();
    return Rows(q);
  }
  TempDir dir;
};

TEST_F(Queries, NextKeyAndSimpleSelects) {
  EXPECT_EQ(Select({"Select max(Id) as nKey From CLIENT.DB"}), QStringList({"0003"}));
  TQuery q("q");
  q.SetDatabaseName(dir.Path());
  q.SQL.Add("Select max(Id) as nKey From Client");
  q.Open();
  EXPECT_EQ(q.FieldByName("NKEY")->AsString(), "0003");
  EXPECT_EQ(q.FieldByName("NKEY")->AsInteger(), 3);
  q.Close();
  q.SQL.Clear();
  q.SQL.Add("Select max(Id_Client) as nKey From Liste.DB");
  q.Open();
  EXPECT_TRUE(q.Fields(0)->IsNull());  // an empty table gives NULL, read as 0
  EXPECT_EQ(q.Fields(0)->AsInteger(), 0);

  EXPECT_EQ(Select({"SELECT ID, LIBELLE", "FROM REGION", "ORDER BY LIBELLE"}), QStringList({"02|EST", "01|NORD"}));
  EXPECT_EQ(Select({"SELECT ID, NORD, TITRE", "FROM TITRE", "ORDER BY NORD"}),
            QStringList({"0002|1|LE MONDE", "0001|2|L'EQUIPE", "0003|3|TELE 7"}));
  EXPECT_EQ(Select({"SELECT ID, NORD, TITRE FROM TITRE.DB", "ORDER BY NORD"}).size(), 3);
  EXPECT_EQ(Select({"SELECT * FROM REGION", "ORDER BY LIBELLE"}).front().section('|', 0, 1), "02|EST");
  EXPECT_EQ(Select({"Select * From Titre"}).size(), 3);
  EXPECT_EQ(Select({"Select * From Region"}).size(), 2);
  EXPECT_EQ(Select({"SELECT * FROM \"Data/../CLIENT.DB\" WHERE ID='0002'"}).size(), 1);
  EXPECT_EQ(Select({"SELECT DISTINCT NOLISTE FROM TLISTE.DB WHERE ID_REGION='01'"}), QStringList({"3"}));
}

TEST_F(Queries, StatementsThatChangeRowsWithApostrophes) {
  EXPECT_EQ(Exec("UPDATE ORGAD SET ORD_TITRE='5' WHERE ID_TITRE='0001'"), 2);
  EXPECT_EQ(Select({"SELECT ORD_TITRE FROM ORGAD WHERE ID_TITRE='0001'"}), QStringList({"5", "5"}));
  EXPECT_EQ(Exec("DELETE FROM ORGAD.DB WHERE ID_REGION='01' AND       ID_TITRE='0002'"), 1);
  EXPECT_EQ(Exec("DELETE FROM ORGAD WHERE ID_TITRE='0001'"), 2);
  EXPECT_EQ(Select({"SELECT * FROM ORGAD"}).size(), 0);

  // A heading with an apostrophe: as an escaped literal, and as a parameter.
  EXPECT_EQ(Exec("UPDATE TLISTE.DB SET TITRELISTE='L''EQUIPE DU SOIR' WHERE NOLISTE='3'"), 3);
  EXPECT_EQ(Select({"SELECT DISTINCT TITRELISTE FROM TLISTE"}), QStringList({"L'EQUIPE DU SOIR"}));
  TQuery q("q");
  q.SetDatabaseName(dir.Path());
  q.SQL.Add("UPDATE TLISTE.DB SET TITRELISTE=:Titre WHERE NOLISTE=:NoListe");
  q.ParamByName("titre")->AsString = "AUJOURD'HUI";
  q.ParamByName("NOLISTE")->AsInteger = 3;
  q.ExecSQL();
  EXPECT_EQ(q.RowsAffected(), 3);
  EXPECT_EQ(Select({"SELECT DISTINCT TITRELISTE FROM TLISTE.DB"}), QStringList({"AUJOURD'HUI"}));
  EXPECT_THROW(q.ParamByName("nope"), EDatabaseError);

  EXPECT_EQ(Exec("DELETE FROM TLISTE.DB WHERE NOLISTE='3' AND       ID_TITRE='0001' "), 1);
  EXPECT_EQ(Exec("DELETE FROM TLISTE.DB WHERE NOLISTE='3'"), 2);
  EXPECT_EQ(Exec("DELETE FROM LISTE.DB"), 0);
}

TEST_F(Queries, JoinsDistinctAggregatesAndDescending) {
  Exec("UPDATE TLISTE.DB SET TITRELISTE='MATIN' WHERE NOLISTE='3'");
  const QString text = QString("SELECT A.NOLISTE, A.NORD, TITRELISTE, A.ID_REGION,        A.ID_TITRE, B.ID, B.TITRE "
                               "FROM TLISTE A, TITRE B WHERE (A.ID_TITRE=B.ID) AND NOLISTE='") +
                       QString::number(3) + "'" + "ORDER BY NORD, B.TITRE";
  TQuery q("qListe");
  q.SetDatabaseName(dir.Path());
  q.SQL.Add(text);
  q.Open();
  EXPECT_EQ(Rows(q), QStringList({"3|1|MATIN|01|0001|0001|L'EQUIPE", "3|2|MATIN|01|0002|0002|LE MONDE"}));
  EXPECT_EQ(q.FieldByName("NOLISTE")->DataType(), ftSmallint);
  EXPECT_EQ(q.FieldByName("Titre")->Size(), 30);

  EXPECT_EQ(Select({"SELECT DISTINCT DateJ ", "FROM DISTO.DB", "ORDER BY DATEJ DESCENDING"}).mid(0, 2),
            QStringList({"14/03/2005", "13/03/2005"}));
  TQuery w("w");
  w.SetDatabaseName(dir.Path());
  w.SQL.Add("SELECT SUM(Qte_Prise) AS QtePrise FROM Disto.DB WHERE (ID_CLIENT='0001') AND (ID_TITRE='0001')  AND "
            "(DATEJ>='3/5/2005') AND (DATEJ<='3/11/2005')");
  w.Open();
  EXPECT_EQ(w.FieldByName("QtePrise")->AsInteger(), 5 + 6 + 7 + 8 + 9 + 10 + 11);
  EXPECT_EQ(Select({"Select sum(Qte) as Tot from HA.DB Where DateH='3/7/2005'"}), QStringList({"10"}));
  EXPECT_EQ(Select({"Select sum(Qte) as Tot from HA.DB Where DateH='3/9/2005'"}), QStringList({""}));
  EXPECT_EQ(Select({"Select sum(Qte) as TotW from HA.DB Where DateH>='3/5/2005' and DateH<='3/11/2005'"}), QStringList({"15"}));
  EXPECT_EQ(Select({"SELECT DISTINCT WEEK FROM RETOUR ORDER BY WEEK DESCENDING"}), QStringList({"12/03/2005", "05/03/2005"}));
  EXPECT_EQ(Select({"SELECT max(DateJ) as Last FROM Disto"}), QStringList({"14/03/2005"}));
  // Date ranges, bounds included or not, short or long, alone or beside other conditions.
  EXPECT_EQ(Select({"SELECT count(*) AS N FROM DISTO WHERE DATEJ > '3/2/2005' AND (DATEJ < '3/6/2005')"}), QStringList({"6"}));
  EXPECT_EQ(Select({"SELECT count(*) AS N FROM DISTO WHERE ('3/2/2005' <= DATEJ) AND DATEJ <= '3/2/2005'"}), QStringList({"2"}));
  EXPECT_EQ(Select({"SELECT count(*) AS N FROM DISTO WHERE (DATEJ>='1/1/2005') AND (DATEJ<='12/31/2005') AND ID_CLIENT='0002'"}),
            QStringList({"14"}));
  EXPECT_EQ(Select({"SELECT count(*) AS N FROM DISTO WHERE DATEJ>='3/5/2005' AND DATEJ<='3/1/2005'"}), QStringList({"0"}));
  EXPECT_EQ(Select({"SELECT count(*) AS N FROM DISTO WHERE DATEJ>='3/5/2005' AND DATEJ<='3/6/2005' OR ID_CLIENT='0001'"}),
            QStringList({"16"}));
  EXPECT_EQ(Select({"SELECT ID_CLIENT, sum(Qte_Prise) AS Q FROM DISTO WHERE DATEJ>='3/5/2005' AND DATEJ<='3/6/2005' "
                    "GROUP BY ID_CLIENT ORDER BY ID_CLIENT DESCENDING"}),
            QStringList({"0002|11", "0001|11"}));
}

TEST_F(Queries, DatesInStatementsAndTheSubSelect) {
  EXPECT_EQ(Exec("UPDATE Disto.DB SET Qte_Prise='0'WHERE (DateJ='3/7/2005') AND (Id_Titre='0001')"), 2);
  Exec("UPDATE Disto.DB SET Qte_Prise='9' WHERE DateJ='3/7/2005'");
  EXPECT_EQ(Exec("UPDATE Disto.DB SET Qte_Prise='0'WHERE DateJ='3/7/2005' AND ID_Titre='0001' AND "
                 "ID_Client IN (SELECT ID FROM CLIENT               WHERE REGION='02')"),
            0);
  EXPECT_EQ(Exec("UPDATE Disto.DB SET Qte_Prise='0'WHERE DateJ='3/7/2005' AND ID_Titre='0001' AND "
                 "ID_Client IN (SELECT ID FROM CLIENT               WHERE REGION='01')"),
            2);
  EXPECT_EQ(Exec("Delete From DISTO.DB Where (DATEJ='3/7/2005') and (ID_CLIENT='0001')"), 1);
  EXPECT_EQ(Exec("Delete From DISTO.DB Where DATEJ='3/7/2005'"), 1);
  // The purge, both limits included.
  EXPECT_EQ(Exec("DELETE FROM DISTO.DB WHERE (DATEJ>='3/1/2005') and (DATEJ<='3/2/2005')"), 4);
  EXPECT_EQ(Exec("Delete From RETOUR.DB Where (WEEK>='3/1/2005') and (WEEK<='3/5/2005')"), 1);
  EXPECT_EQ(Exec("Delete From HA.DB Where (DATEH>='3/1/2005') and (DATEH<='3/31/2005')"), 3);
  // A text that looks like a date is left alone where no date field takes it.
  Exec("UPDATE TLISTE.DB SET TITRELISTE='12/25/2005' WHERE NOLISTE='3'");
  EXPECT_EQ(Select({"SELECT DISTINCT TITRELISTE FROM TLISTE.DB"}), QStringList({"12/25/2005"}));
  // Stored dates are ISO text.
  EXPECT_EQ(RawSql(dir.File("Disto.DB"), "SELECT min(DateJ) FROM Disto"), QStringList({"2005-03-03"}));
}

TEST_F(Queries, PaymentsWithOuterJoinAndParameters) {
  Exec("INSERT INTO VCR.DB    (WEEK, ID_CLIENT, MONTANT) VALUES('3/5/2005', '0002', '7.25')");
  Exec("INSERT INTO VCR.DB (WEEK, ID_CLIENT, MONTANT) VALUES('3/12/2005', '0002', '1')");
  EXPECT_EQ(Exec("DELETE FROM VCR.DB WHERE WEEK='3/12/2005'"), 1);
  EXPECT_EQ(RawSql(dir.File("VCR.DB"), "SELECT Week, Montant FROM VCR"), QStringList({"2005-03-05|7.25"}));
  TQuery q("qVCR");
  q.SetDatabaseName(dir.Path());
  q.SQL.Add("SELECT ID, NOM, ORD, ID_CLIENT, WEEK, MONTANT");
  q.SQL.Add("FROM    Client.db A LEFT OUTER JOIN VCR.DB B");
  q.SQL.Add("ON         ID = ID_CLIENT AND WEEK=:myWeek");
  q.SQL.Add("WHERE REGION=:myRegion ");
  q.SQL.Add("ORDER BY ORD");
  ASSERT_EQ(q.ParamCount(), 2);
  q.ParamByName("myWeek")->AsDate = QDate(2005, 3, 5);
  q.ParamByName("myRegion")->AsString = "01";
  q.Open();
  EXPECT_EQ(Rows(q), QStringList({"0002|DUPONT|1|0002|05/03/2005|7.25", "0001|L'ARBRE|2|||"}));
  q.Locate("ID", "0001");
  EXPECT_TRUE(q.FieldByName("MONTANT")->IsNull());
  EXPECT_EQ(q.FieldByName("MONTANT")->DataType(), ftCurrency);

  EXPECT_EQ(Exec("UPDATE VCR.DB SET MONTANT='12.5' WHERE WEEK='3/5/2005' AND       ID_CLIENT='0002'"), 1);
  TQuery lkp("qLkpVCR");
  lkp.SetDatabaseName(dir.Path());
  lkp.SQL.Add("SELECT * FROM VCR");
  lkp.SQL.Add("WHERE WEEK=:MyWeek");
  lkp.ParamByName("MyWeek")->AsDate = QDate(2005, 3, 5);
  lkp.Open();
  ASSERT_TRUE(lkp.Locate("WEEK;ID_CLIENT", {QString("05/03/2005"), "0002"}));
  EXPECT_EQ(lkp.FieldByName("Montant")->AsCurrency().Raw(), 125000);
  EXPECT_FALSE(lkp.Locate("WEEK;ID_CLIENT", {QDate(2005, 3, 5), "0001"}));
  // A date parameter given as the text of a date box.
  lkp.Close();
  lkp.ParamByName("MyWeek")->AsString = "05/03/2005";
  lkp.Open();
  EXPECT_EQ(lkp.RecordCount(), 1);

  TQuery r("report");
  r.SetDatabaseName(dir.Path());
  r.SQL.Add("SELECT ID, ORD, NOM, REGION");
  r.SQL.Add("FROM CLIENT");
  r.SQL.Add("WHERE REGION=:myRegion");
  r.SQL.Add("ORDER BY ORD");
  r.ParamByName("myRegion")->AsString = "02";
  r.Open();
  EXPECT_EQ(Rows(r), QStringList({"0003|1|MARTIN|02"}));
  r.Close();
  r.SQL.Clear();
  r.SQL.Add("SELECT * FROM DISTO");
  r.SQL.Add("WHERE DATEJ=:MyDate");
  r.ParamByName("MyDate")->AsDate = QDate(2005, 3, 8);
  r.Open();
  EXPECT_EQ(r.RecordCount(), 2);
  EXPECT_EQ(r.FieldByName("DateJ")->AsDate(), QDate(2005, 3, 8));
  EXPECT_EQ(r.FieldByName("PU")->AsCurrency().Raw(), 11000);
}

TEST_F(Queries, FilteredQueriesAndCallbacks) {
  TQuery org("qOrgaD");
  org.SetDatabaseName(dir.Path());
  org.SQL.Add("SELECT ID_REGION, ID_TITRE, ORD_TITRE FROM ORGAD");
  org.SQL.Add("ORDER BY ORD_TITRE");
  org.Open();
  org.SetFilter("(ID_REGION='01')");
  org.SetFiltered(true);
  EXPECT_EQ(Rows(org), QStringList({"01|0001|1", "01|0002|2"}));
  TQuery titre("qTitre");
  titre.SetDatabaseName(dir.Path());
  titre.SQL.Add("SELECT ID, NORD, TITRE FROM TITRE.DB");
  titre.SQL.Add("ORDER BY NORD");
  titre.OnFilterRecord = [&](TDataSet& ds, bool& accept) {
    accept = !org.Locate("ID_TITRE", ds.FieldByName("ID")->AsString());
  };
  titre.SetFiltered(true);
  titre.Open();
  EXPECT_EQ(Rows(titre), QStringList({"0003|3|TELE 7"}));
  titre.BeforeDelete = [](TDataSet&) { Abort(); };
  EXPECT_THROW(titre.Delete(), EAbort);
  EXPECT_THROW(titre.Edit(), EDatabaseError);
  org.SetFilter("(ID_REGION='02')");
  titre.Refresh();
  EXPECT_EQ(titre.RecordCount(), 2);
}

TEST_F(Queries, QueriesAndTablesOnOneFileNeverBlock) {
  TTable disto("Disto");
  disto.SetDatabaseName(dir.Path());
  disto.SetTableName("Disto.db");
  disto.Open();
  TDbTransaction tx(dir.Path());
  disto.Append();
  disto.FieldByName("DateJ")->AsDate = QDate(2006, 1, 1);
  disto.FieldByName("Id_Client")->AsString = "0001";
  disto.FieldByName("Id_Titre")->AsString = "0002";
  disto.FieldByName("Qte_Prise")->AsInteger = 4;
  disto.Post();
  // The open transaction holds the file; a query on it runs and sees the new row.
  EXPECT_EQ(Select({"SELECT Qte_Prise FROM DISTO.DB WHERE DATEJ='1/1/2006'"}), QStringList({"4"}));
  EXPECT_EQ(Exec("UPDATE Disto.DB SET Qte_Prise='5' WHERE DateJ='1/1/2006'"), 1);
  disto.Refresh();
  ASSERT_TRUE(disto.Locate("DATEJ;ID_CLIENT;ID_TITRE", {QDate(2006, 1, 1), "0001", "0002"}));
  EXPECT_EQ(disto.FieldByName("Qte_Prise")->AsInteger(), 5);
  tx.Commit();
  EXPECT_EQ(RawSql(dir.File("Disto.DB"), "SELECT Qte_Prise FROM Disto WHERE DateJ='2006-01-01'"), QStringList({"5"}));
  // A query lets its tables go once read: the file is free for an exclusive use.
  disto.Close();
  TQuery q("q");
  q.SetDatabaseName(dir.Path());
  q.SQL.Add("SELECT * FROM DISTO");
  q.Open();
  EXPECT_EQ(Dbi::ProbeTable(dir.Path(), "Disto.DB", true), DBIERR_NONE);
}

TEST_F(Queries, MoreTablesOpenThanOneConnectionHolds) {
  std::vector<std::unique_ptr<TTable>> open;
  for (const CRTblDesc& d : AppSchema()) {
    auto t = std::make_unique<TTable>(d.szTblName);
    t->SetDatabaseName(dir.Path());
    t->SetTableName(d.szTblName);
    t->Open();
    open.push_back(std::move(t));
  }
  // Twelve tables are open; a join takes two of them wherever they are.
  EXPECT_EQ(Select({"SELECT B.ID, count(*) AS N FROM VCR.DB A, CLIENT B WHERE A.ID_CLIENT=B.ID GROUP BY B.ID"}).size(), 0);
  EXPECT_EQ(Select({"SELECT count(*) AS N FROM TLISTE A, Titre B, CLIENT C, VCR V WHERE A.ID_TITRE=B.ID"}), QStringList({"0"}));
  EXPECT_EQ(Select({"SELECT count(*) AS N FROM TLISTE A, Titre B WHERE A.ID_TITRE=B.ID"}), QStringList({"2"}));
  for (auto& t : open) EXPECT_GE(t->RecordCount(), 0);
  open[0]->First();
  EXPECT_EQ(open[0]->FieldByName("Id")->AsString(), "0001");
  // Rows stored inside a transaction into tables on different connections, then joined.
  TTable* vcr = open.back().get();
  TTable* client = open.front().get();
  {
    TDbTransaction tx(dir.Path());
    vcr->Append();
    vcr->FieldByName("Week")->AsDate = QDate(2005, 3, 5);
    vcr->FieldByName("Id_Client")->AsString = "0003";
    vcr->FieldByName("Montant")->AsFloat = 2.5;
    vcr->Post();
    client->Locate("Id", "0003");
    client->Edit();
    client->FieldByName("Nom")->AsString = "MARTIN-DURAND";
    client->Post();
    EXPECT_EQ(Select({"SELECT B.NOM, A.MONTANT FROM VCR.DB A, CLIENT B WHERE A.ID_CLIENT=B.ID"}), QStringList({"MARTIN-DURAND|2.5"}));
    vcr->Append();
    vcr->FieldByName("Week")->AsDate = QDate(2005, 3, 12);
    vcr->FieldByName("Id_Client")->AsString = "0003";
    vcr->Post();
    tx.Commit();
  }
  EXPECT_EQ(RawSql(dir.File("VCR.DB"), "SELECT count(*) FROM VCR"), QStringList({"2"}));
  EXPECT_EQ(RawSql(dir.File("CLIENT.DB"), "SELECT Nom FROM CLIENT WHERE Id='0003'"), QStringList({"MARTIN-DURAND"}));
  vcr->Last();
  EXPECT_EQ(vcr->FieldByName("Week")->AsDate(), QDate(2005, 3, 12));
}

TEST_F(Queries, ErrorsNameTheProblem) {
  try {
    Select({"SELECT * FROM NOTABLE"});
    FAIL();
  } catch (const EDBEngineError& e) {
    EXPECT_EQ(e.ErrorCode(), DBIERR_NOSUCHTABLE);
    EXPECT_TRUE(e.Message().contains("NOTABLE"));
  }
  try {
    Select({"SELECT NOCOLUMN FROM CLIENT"});
    FAIL();
  } catch (const EDBEngineError& e) {
    EXPECT_EQ(e.ErrorCode(), DBIERR_SQLERROR);
    EXPECT_TRUE(e.Message().contains("NOCOLUMN")) << e.Message().toStdString();
    EXPECT_FALSE(e.Message().contains("\"z")) << e.Message().toStdString();
  }
  try {
    Exec("INSERT INTO CLIENT.DB (Id) VALUES('0001')");
    FAIL();
  } catch (const EDBEngineError& e) {
    EXPECT_EQ(e.ErrorCode(), DBIERR_KEYVIOL);
  }
  EXPECT_THROW(Select({"SELECT * FROM CLIENT WHERE NOM='open"}), EDBEngineError);
}

TEST_F(Queries, ManyRowInsertsRunAgainWithOtherValuesAndFieldRules) {
  // The same long statement text, run again with other parameter values (a save of the same grid
  // rows), also after the file was closed, and refused by a field rule without storing anything.
  auto insertWeek = [&](const QString& week, const QString& client, int rows, const QString& qte) {
    QString values;
    for (int t = 1; t <= rows; ++t) values += QString(t > 1 ? ", (:w, :c, '%1', %2)" : "(:w, :c, '%1', %2)").arg(t, 4, 10, QChar('0')).arg(qte);
    TQuery q("ins");
    q.SetDatabaseName(dir.Path());
    q.SQL.Add("INSERT INTO RETOUR (WEEK, ID_CLIENT, ID_TITRE, QTE) VALUES " + values);
    q.ParamByName("w")->AsDate = QDate::fromString(week, "M/d/yyyy");
    q.ParamByName("c")->AsString = client;
    q.ExecSQL();
    return q.RowsAffected();
  };
  EXPECT_EQ(insertWeek("4/2/2005", "0001", 300, "0"), 300);
  EXPECT_EQ(insertWeek("4/2/2005", "0002", 300, "0"), 300);
  EXPECT_EQ(insertWeek("4/9/2005", "0001", 300, "0"), 300);
  EXPECT_EQ(Select({"SELECT COUNT(*), SUM(QTE) FROM RETOUR WHERE WEEK='4/2/2005'"}), QStringList({"600|0"}));
  EXPECT_EQ(Select({"SELECT COUNT(*) FROM RETOUR WHERE WEEK='4/9/2005' AND ID_CLIENT='0001'"}), QStringList({"300"}));
  // A duplicate row: refused whole, as the first time.
  EXPECT_THROW(insertWeek("4/2/2005", "0001", 300, "0"), EDBEngineError);
  EXPECT_THROW(insertWeek("4/2/2005", "0002", 300, "0"), EDBEngineError);
  EXPECT_EQ(Select({"SELECT COUNT(*) FROM RETOUR WHERE WEEK='4/2/2005'"}), QStringList({"600"}));
  // A quantity the field cannot hold, in a row of a long statement.
  EXPECT_THROW(insertWeek("4/16/2005", "0001", 300, "99999999999"), EDBEngineError);
  EXPECT_EQ(Select({"SELECT COUNT(*) FROM RETOUR WHERE WEEK='4/16/2005'"}), QStringList({"0"}));
  EXPECT_EQ(insertWeek("4/16/2005", "0003", 300, "2"), 300);
  EXPECT_EQ(Select({"SELECT SUM(QTE) FROM RETOUR WHERE WEEK='4/16/2005'"}), QStringList({"600"}));
}

TEST_F(Queries, LargeResultsBrowseFilterAndLocateFromTheirStore) {
  // More rows than a result keeps in memory: the rest is read back from its store on disk.
  const int cells = dbe::RowStore::inMemoryCells;
  dbe::RowStore::inMemoryCells = 4096 * 5;
  struct Restore {
    int v;
    ~Restore() { dbe::RowStore::inMemoryCells = v; }
  } restore{cells};
  {
    TDbTransaction tx(dir.Path());
    TTable d("Disto");
    d.SetDatabaseName(dir.Path());
    d.SetTableName("Disto.DB");
    d.Open();
    for (int i = 0; i < 12000; ++i) {
      d.Append();
      d.FieldByName("DateJ")->AsDate = QDate(2006, 1, 1).addDays(i / 100);
      d.FieldByName("Id_Client")->AsString = QString("%1").arg(i % 100, 4, 10, QChar('0'));
      d.FieldByName("Id_Titre")->AsString = "0002";
      d.FieldByName("Qte_Prise")->AsInteger = i;
      d.Post();
    }
    tx.Commit();
  }
  TQuery q("q");
  q.SetDatabaseName(dir.Path());
  q.SQL.Add("SELECT DateJ, Id_Client, Qte_Prise, Qte_Prise * 2 AS Twice, DateJ AS Day2, Qte_Prise / 3.0 AS Third,"
            " 'Réf. ' || Id_Client AS Ref, Qte_Prise * 1000000000000 AS Big FROM Disto WHERE Id_Titre = '0002'"
            " ORDER BY Qte_Prise DESCENDING");
  q.Open();
  EXPECT_EQ(q.RecordCount(), 12000);
  EXPECT_EQ(q.FieldByName("Qte_Prise")->AsInteger(), 11999);
  EXPECT_EQ(q.FieldByName("Day2")->DataType(), ftDate);
  q.Last();
  EXPECT_EQ(q.FieldByName("Qte_Prise")->AsInteger(), 0);
  EXPECT_EQ(q.FieldByName("DateJ")->AsDate(), QDate(2006, 1, 1));
  q.SetRecNo(5001);
  EXPECT_EQ(q.FieldByName("Twice")->AsInteger(), 2 * (11999 - 5000));
  // Read back from the store exactly as SQLite gave them.
  EXPECT_EQ(q.FieldByName("Third")->AsFloat(), (11999 - 5000) / 3.0);
  EXPECT_EQ(q.FieldByName("Ref")->AsString(), "Réf. " + q.FieldByName("Id_Client")->AsString());
  EXPECT_EQ(q.FieldByName("Big")->Value(), QVariant(qlonglong(11999 - 5000) * 1000000000000LL));
  EXPECT_EQ(q.MoveBy(-4000), -4000);
  EXPECT_EQ(q.FieldByName("Qte_Prise")->AsInteger(), 11999 - 1000);
  long sum = 0;
  int n = 0;
  for (q.First(); !q.Eof(); q.Next(), ++n) sum += q.FieldByName("Qte_Prise")->AsInteger();
  EXPECT_EQ(n, 12000);
  EXPECT_EQ(sum, 12000L * 11999 / 2);
  ASSERT_TRUE(q.Locate("Id_Client;Qte_Prise", {"0007", 7}));
  EXPECT_EQ(q.RecNo(), 12000 - 7);
  q.SetFilter("Id_Client='0042'");
  q.SetFiltered(true);
  EXPECT_EQ(q.RecordCount(), 120);
  q.Last();
  EXPECT_EQ(q.FieldByName("Qte_Prise")->AsInteger(), 42);
  q.SetFiltered(false);
  // The query holds no table: the file takes writes while it is open, and a refresh sees them.
  TTable d("Disto");
  d.SetDatabaseName(dir.Path());
  d.SetTableName("Disto.DB");
  d.Open();
  d.Append();
  d.FieldByName("DateJ")->AsDate = QDate(2007, 1, 1);
  d.FieldByName("Id_Client")->AsString = "0001";
  d.FieldByName("Id_Titre")->AsString = "0002";
  d.FieldByName("Qte_Prise")->AsInteger = 20000;
  d.Post();
  q.Refresh();
  EXPECT_EQ(q.RecordCount(), 12001);
  q.First();
  EXPECT_EQ(q.FieldByName("Qte_Prise")->AsInteger(), 20000);
}

}  // namespace
