// Field rules on every write, whether through Post or SQL; SQL texts that must be refused;
// filters nested beyond reason; the texts of the errors the operator reads.
#include <gtest/gtest.h>

#include <QFile>
#include <cmath>
#include <limits>

#include "DbTestUtil.h"
#include "platform/db/Query.h"
#include "platform/db/Table.h"
#include "platform/db/Transaction.h"
#include "support/TestSupport.h"

namespace {

class Rules : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const CRTblDesc& d : AppSchema()) ASSERT_EQ(Dbi::CreateTable(dir.Path(), d), DBIERR_NONE);
    Exec("INSERT INTO CLIENT (Id, Ord, Nom, Region) VALUES('0001', 1, 'DUPONT', '01'), ('0002', 2, 'MARTIN', '01')");
    Exec("INSERT INTO Disto (DateJ, Id_Client, Id_Titre, Qte_Prise, PU) VALUES('3/1/2005', '0001', '0001', 5, 1.2),"
         " ('3/2/2005', '0001', '0001', 3000, 1.2)");
  }
  void Exec(const QString& sql, const std::function<void(TQuery&)>& params = {}) {
    TQuery q("q");
    q.SetDatabaseName(dir.Path());
    q.SQL.Add(sql);
    if (params) params(q);
    q.ExecSQL();
  }
  // The engine code a statement fails with (0 when it runs).
  int ExecCode(const QString& sql, const std::function<void(TQuery&)>& params = {}) {
    try {
      Exec(sql, params);
    } catch (const EDBEngineError& e) {
      last = e.Message();
      return e.ErrorCode();
    }
    return 0;
  }
  QStringList Raw(const QString& table, const QString& sql) { return RawSql(dir.Path() + table, sql); }
  TempDir dir;
  QString last;
};

TEST_F(Rules, MoneyOutOfRangeNanAndInfinityAreRefusedByPost) {
  TTable t("Client");
  t.SetDatabaseName(dir.Path());
  t.SetTableName("CLIENT");
  t.Open();
  t.Edit();
  for (double bad : {1e16, -1e16, 1e308, std::numeric_limits<double>::quiet_NaN(),
                     std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()}) {
    try {
      t.FieldByName("Ab0")->AsFloat = bad;
      ADD_FAILURE() << "accepted " << bad;
    } catch (const EDBEngineError& e) {
      EXPECT_EQ(e.ErrorCode(), DBIERR_OUTOFRANGE) << bad;
      EXPECT_TRUE(e.Message().contains("Ab0")) << e.Message().toStdString();
    }
  }
  EXPECT_THROW(t.FieldByName("Ab0")->AsCurrency = Currency::FromDouble(9.3e14), EDBEngineError);
  t.FieldByName("Ab0")->AsFloat = 922337203685477.0;  // the largest amount still held exactly enough
  t.FieldByName("Ab1")->AsFloat = 12.34567;
  t.Post();
  EXPECT_EQ(Raw("CLIENT.DB", "SELECT Ab0, Ab1 FROM CLIENT WHERE Id='0001'"), QStringList{"922337203685477.0|12.3457"});
}

TEST_F(Rules, SqlWritesCutTextsToSizeLikePost) {
  const QString huge(1 << 20, QChar('A'));
  Exec("INSERT INTO CLIENT (Id, Ord, Nom) VALUES('000999999', 3, '" + huge + "')");
  Exec("UPDATE CLIENT SET Nom = :n, Tel = '0123456789012345678901234' WHERE Id = '0001'",
       [&](TQuery& q) { q.ParamByName("n")->AsString = huge; });
  EXPECT_EQ(Raw("CLIENT.DB", "SELECT Id, length(Nom), length(Tel) FROM CLIENT ORDER BY Id"),
            QStringList({"0001|40|20", "0002|6|NULL", "0009|40|NULL"}));
  Exec("INSERT INTO Region (Id, Libelle) VALUES('0123', 'NORD')");
  // A blank number is an empty field.
  Exec("UPDATE Disto SET Qte_Prise = '  ' WHERE Qte_Prise = 5");
  EXPECT_EQ(Raw("Disto.DB", "SELECT count(*) FROM Disto WHERE Qte_Prise IS NULL"), QStringList{"1"});
  // INSERT ... SELECT goes through the same rules.
  Exec("INSERT INTO Region (Id, Libelle) SELECT Id, Nom FROM CLIENT WHERE Id = '0002'");
  EXPECT_EQ(Raw("Region.db", "SELECT Id, Libelle FROM Region ORDER BY Id"), QStringList({"00|MARTIN", "01|NORD"}));
  // A copy of whole rows ("*") still runs.
  Exec("INSERT INTO Region (Id, Libelle) VALUES('5', 'EST')");
  Exec("INSERT INTO Site SELECT * FROM Region WHERE Id = '5'");
  EXPECT_EQ(Raw("Site.DB", "SELECT Id, Libelle FROM Site"), QStringList{"5|EST"});
}

// Rows copied by INSERT ... SELECT go through the rules of the columns they land in, whatever
// the shape of the SELECT: "*", "B.*", a UNION.
TEST_F(Rules, InsertSelectAppliesEveryColumnsRulesWhateverTheSelect) {
  CRTblDesc big, small;
  big.szTblName = "BIG.DB";
  big.fields = {Fld("A", fldZSTRING, 40), Fld("B", fldINT32), Fld("C", fldZSTRING, 10), Fld("D", fldFLOAT)};
  small.szTblName = "SMALL.DB";
  small.fields = {Fld("A", fldZSTRING, 4), Fld("B", fldINT16), Fld("C", fldDATE), Fld("D", fldFLOAT, 1, fldstMONEY)};
  ASSERT_EQ(Dbi::CreateTable(dir.Path(), big), DBIERR_NONE);
  ASSERT_EQ(Dbi::CreateTable(dir.Path(), small), DBIERR_NONE);
  RawSql(dir.File("BIG.DB"), "INSERT INTO BIG VALUES('ABCDEFGH', 7, '2005-03-01', 1.23456)");
  // Without a column list, the values go to the fields in order, each fitted to its own.
  Exec("INSERT INTO SMALL VALUES('ZYXWV', 1, '3/1/2005', 1.23456)");
  const QStringList before = Raw("SMALL.DB", "SELECT * FROM SMALL");
  EXPECT_EQ(before, QStringList{"ZYXW|1|2005-03-01|1.2346"});
  // Every column of the copy is fitted as Post fits it.
  Exec("INSERT INTO SMALL SELECT * FROM BIG");
  Exec("INSERT INTO SMALL SELECT B.* FROM BIG B");
  Exec("INSERT INTO SMALL (A, B) SELECT A, B FROM BIG UNION ALL SELECT A, B + 1 FROM BIG");
  Exec("INSERT INTO SMALL (A, D) SELECT DISTINCT A, D FROM BIG");
  EXPECT_EQ(Raw("SMALL.DB", "SELECT A, B, C, D FROM SMALL WHERE A = 'ABCD' ORDER BY rowid"),
            QStringList({"ABCD|7|2005-03-01|1.2346", "ABCD|7|2005-03-01|1.2346", "ABCD|7|NULL|NULL", "ABCD|8|NULL|NULL",
                         "ABCD|NULL|NULL|1.2346"}));
  Exec("DELETE FROM SMALL WHERE A = 'ABCD'");
  // One value that breaks a rule refuses the whole statement: no row stored.
  RawSql(dir.File("BIG.DB"), "INSERT INTO BIG VALUES('X', 40000, '2005-03-02', 1)");
  EXPECT_EQ(ExecCode("INSERT INTO SMALL SELECT * FROM BIG"), DBIERR_OUTOFRANGE);
  EXPECT_TRUE(last.contains("« B »") && last.contains("SMALL.DB")) << last.toStdString();
  EXPECT_EQ(ExecCode("INSERT INTO SMALL SELECT T.* FROM BIG T"), DBIERR_OUTOFRANGE);
  EXPECT_EQ(ExecCode("INSERT INTO SMALL (A, B) SELECT A, 1 FROM BIG UNION ALL SELECT A, B FROM BIG"), DBIERR_OUTOFRANGE);
  RawSql(dir.File("BIG.DB"), "UPDATE BIG SET B = 1 WHERE A = 'X'; INSERT INTO BIG VALUES('Y', 1, '2005-02-30', 1)");
  EXPECT_EQ(ExecCode("INSERT INTO SMALL SELECT * FROM BIG"), DBIERR_OUTOFRANGE);
  RawSql(dir.File("BIG.DB"), "UPDATE BIG SET C = NULL WHERE A = 'Y'; INSERT INTO BIG VALUES('W', 1, NULL, 1e16)");
  EXPECT_EQ(ExecCode("INSERT INTO SMALL SELECT * FROM BIG"), DBIERR_OUTOFRANGE);
  // A SELECT of the wrong number of columns is an SQL error, not a partial copy.
  EXPECT_EQ(ExecCode("INSERT INTO SMALL (A, B) SELECT A FROM BIG"), DBIERR_SQLERROR);
  EXPECT_TRUE(last.contains("Le SELECT donne 1 valeurs par ligne pour 2 champs")) << last.toStdString();
  EXPECT_EQ(Raw("SMALL.DB", "SELECT * FROM SMALL"), before);
}

TEST_F(Rules, SqlWritesRefuseOutOfRangeNumbersAndBadDatesChangingNoRow) {
  const QStringList before = Raw("Disto.DB", "SELECT * FROM Disto ORDER BY DateJ");
  // Literals, quoted numbers and parameters; one row of several out of range; both kinds of
  // statement. Each is refused with the engine's code and leaves every row as it was.
  EXPECT_EQ(ExecCode("UPDATE Disto SET Qte_Prise = '99999999999'"), DBIERR_OUTOFRANGE);
  EXPECT_TRUE(last.contains("Qte_Prise") && last.contains("Disto.DB")) << last.toStdString();
  EXPECT_EQ(ExecCode("UPDATE Disto SET Qte_Prise = Qte_Prise * 1000000"), DBIERR_OUTOFRANGE);
  EXPECT_EQ(ExecCode("UPDATE Disto SET Qte_Prise = :q", [](TQuery& q) { q.ParamByName("q")->AsFloat = 3e9; }),
            DBIERR_OUTOFRANGE);
  EXPECT_EQ(ExecCode("UPDATE Disto SET PU = 1e16"), DBIERR_OUTOFRANGE);
  EXPECT_EQ(ExecCode("UPDATE Disto SET PU = :p", [](TQuery& q) { q.ParamByName("p")->AsFloat = 1e308; }),
            DBIERR_OUTOFRANGE);
  EXPECT_EQ(ExecCode("UPDATE Disto SET Qte_Prise = 'abc'"), DBIERR_OUTOFRANGE);
  EXPECT_EQ(ExecCode("UPDATE Disto SET DateJ = :d", [](TQuery& q) { q.ParamByName("d")->AsString = "31/02/2005"; }),
            DBIERR_SQLERROR);
  EXPECT_EQ(ExecCode("UPDATE Disto SET DateJ = 20050301"), DBIERR_OUTOFRANGE);
  EXPECT_NE(ExecCode("UPDATE Disto SET DateJ = '13/1/2005'"), 0);
  EXPECT_NE(ExecCode("INSERT INTO Disto (DateJ, Id_Client, Id_Titre, Qte_Prise) VALUES('13/1/2005', '0002', '0001', 1)"), 0);
  EXPECT_EQ(ExecCode("INSERT INTO Disto (DateJ, Id_Client, Id_Titre, Qte_Prise) VALUES('3/9/2005', '0002', '0001', 1),"
                     " ('3/10/2005', '0002', '0001', 2147483648)"),
            DBIERR_OUTOFRANGE);
  EXPECT_EQ(ExecCode("INSERT INTO Titre (Id, Nord) VALUES('0001', 40000)"), DBIERR_OUTOFRANGE);
  EXPECT_EQ(Raw("Disto.DB", "SELECT * FROM Disto ORDER BY DateJ"), before);
  EXPECT_EQ(Raw("Titre.DB", "SELECT count(*) FROM Titre"), QStringList{"0"});
  // What fits is stored as Post stores it.
  Exec("UPDATE Disto SET Qte_Prise = '2147483647', PU = '1.23456', DateJ = :d WHERE Qte_Prise = 5",
       [](TQuery& q) { q.ParamByName("d")->AsDate = QDate(2005, 3, 4); });
  EXPECT_EQ(Raw("Disto.DB", "SELECT DateJ, Qte_Prise, PU FROM Disto WHERE Qte_Prise > 3000"),
            QStringList{"2005-03-04|2147483647|1.2346"});
}

// A value a field cannot hold is refused in the same words whichever way it comes: Post, SQL, or
// a rebuild carrying it from a column of reals into the field.
TEST_F(Rules, PostSqlAndRebuildRefuseAValueByOneRuleInTheSameWords) {
  CRTblDesc typed;
  typed.szTblName = "TYPED.DB";
  typed.fields = {Fld("H", fldINT16), Fld("I", fldINT32), Fld("M", fldFLOAT, 1, fldstMONEY), Fld("F", fldFLOAT)};
  CRTblDesc reals = typed;
  reals.szTblName = "REALS.DB";
  for (FLDDesc& f : reals.fields) f.iFldType = fldFLOAT, f.iSubType = fldstNONE;
  ASSERT_EQ(Dbi::CreateTable(dir.Path(), typed), DBIERR_NONE);
  ASSERT_EQ(Dbi::CreateTable(dir.Path(), reals), DBIERR_NONE);
  CRTblDesc rebuild = typed;
  rebuild.szTblName = reals.szTblName;
  for (size_t i = 0; i < rebuild.fields.size(); ++i) rebuild.fields[i].iFldNum = uint16_t(i + 1), rebuild.fields[i].op = CrtOp::Modify;
  TTable t("t");
  t.SetDatabaseName(dir.Path());
  t.SetTableName("TYPED");
  t.Open();
  auto carried = [&](const QString& field, const QString& literal) {
    RawSql(dir.File("REALS.DB"), QString("DELETE FROM REALS; INSERT INTO REALS(%1) VALUES(%2)").arg(field, literal));
    return Dbi::DoRestructure(dir.Path(), rebuild) == DBIERR_NONE ? QString() : Dbi::LastErrorText();
  };
  const QString shorts = "est hors des limites du champ (-32768 à 32767)";
  const QString longs = "est hors des limites du champ (-2147483648 à 2147483647)";
  const QString amounts = "est hors des limites d'un montant (-922 337 203 685 477 à 922 337 203 685 477)";
  const QString finite = "n'est pas un nombre fini";
  const struct {
    const char* field;
    double value;
    const char* literal;
    QString rule;
  } cases[] = {{"H", 32768, "32768", shorts},           {"H", -32769, "-32769.0", shorts},
               {"I", 2147483648.0, "2147483648.0", longs}, {"I", -3e9, "-3e9", longs},
               {"M", 1e15, "1e15", amounts},            {"M", -922337203685478.0, "-922337203685478.0", amounts},
               {"F", std::numeric_limits<double>::infinity(), "9e999", finite}};
  for (const auto& c : cases) {
    const std::string label = std::string(c.field) + " " + c.literal;
    t.Append();
    QString post;
    try {
      t.FieldByName(c.field)->AsFloat = c.value;
    } catch (const EDBEngineError& e) {
      post = e.Message();
    }
    t.Cancel();
    EXPECT_TRUE(post.contains(c.rule)) << label << ": " << post.toStdString();
    EXPECT_EQ(ExecCode(QString("INSERT INTO TYPED (%1) VALUES(:v)").arg(c.field),
                       [&](TQuery& q) { q.ParamByName("v")->AsFloat = c.value; }),
              DBIERR_OUTOFRANGE) << label;
    EXPECT_TRUE(last.contains(c.rule)) << label << ": " << last.toStdString();
    const QString rebuilt = carried(c.field, c.literal);
    EXPECT_TRUE(rebuilt.contains(c.rule)) << label << ": " << rebuilt.toStdString();
  }
  // Writes round money to four decimals; a rebuild carries only what is already so.
  EXPECT_TRUE(carried("M", "0.12345").contains("la valeur 0.12345 a plus de 4 décimales"));
  EXPECT_EQ(carried("M", "0.1234"), QString());
  EXPECT_EQ(RawSql(dir.File("REALS.DB"), "SELECT M FROM REALS"), QStringList{"0.1234"});
}

TEST_F(Rules, DateLiteralsThatAreNoDateAreSqlErrors) {
  for (const char* bad : {"2/30/2005", "13/1/2005", "2005", "1/1/05x"}) {
    TQuery q("q");
    q.SetDatabaseName(dir.Path());
    q.SQL.Add(QString("SELECT * FROM Disto WHERE DATEJ >= '%1'").arg(bad));
    try {
      q.Open();
      ADD_FAILURE() << "rows for " << bad;
    } catch (const EDBEngineError& e) {
      EXPECT_EQ(e.ErrorCode(), DBIERR_SQLERROR) << bad;
    }
  }
  // The same for a date given as text to a parameter.
  EXPECT_EQ(ExecCode("DELETE FROM Disto WHERE DATEJ >= :d", [](TQuery& q) { q.ParamByName("d")->AsString = "30/02/2005"; }),
            DBIERR_SQLERROR);
  EXPECT_EQ(ExecCode("SELECT * FROM Disto WHERE DATEJ >= :d", [](TQuery& q) { q.ParamByName("d")->AsString = "2005-03-01"; }), 0);
  // The purge's own form of range, and a date already in stored form, still work.
  EXPECT_EQ(ExecCode("DELETE FROM Disto WHERE DATEJ >= '2/28/2005' AND DATEJ <= '3/1/2005'"), 0);
  EXPECT_EQ(Raw("Disto.DB", "SELECT DateJ FROM Disto"), QStringList{"2005-03-02"});
  EXPECT_EQ(ExecCode("DELETE FROM Disto WHERE DATEJ = '2005-03-02'"), 0);
  EXPECT_EQ(Raw("Disto.DB", "SELECT count(*) FROM Disto"), QStringList{"0"});
}

TEST_F(Rules, OneStatementPerText) {
  EXPECT_EQ(ExecCode("DELETE FROM Disto WHERE Qte_Prise = 5; DELETE FROM CLIENT"), DBIERR_SQLERROR);
  EXPECT_EQ(ExecCode("DELETE FROM Disto;DROP TABLE CLIENT"), DBIERR_SQLERROR);
  EXPECT_EQ(Raw("Disto.DB", "SELECT count(*) FROM Disto"), QStringList{"2"});
  EXPECT_EQ(Raw("CLIENT.DB", "SELECT count(*) FROM CLIENT"), QStringList{"2"});
  // A ";" inside a text, or closing the statement, is no second statement.
  EXPECT_EQ(ExecCode("UPDATE CLIENT SET Adr = 'a;b' WHERE Id = '0001';  "), 0);
  EXPECT_EQ(Raw("CLIENT.DB", "SELECT Adr FROM CLIENT WHERE Id = '0001'"), QStringList{"a;b"});
}

TEST_F(Rules, DeeplyNestedFiltersAreSyntaxErrors) {
  const QString deep = QString(10000, '(') + "Id='0001'" + QString(10000, ')');
  TTable t("Client");
  t.SetDatabaseName(dir.Path());
  t.SetTableName("CLIENT");
  t.Open();
  EXPECT_THROW({
    t.SetFilter(deep);
    t.SetFiltered(true);
    t.First();
  }, EDatabaseError);
  t.SetFiltered(false);
  TQuery q("q");
  q.SetDatabaseName(dir.Path());
  q.SQL.Add("SELECT * FROM CLIENT");
  q.Open();
  EXPECT_THROW({
    q.SetFilter(QString(10000, 'n').replace("n", "not ") + "Id='0001'");
    q.SetFiltered(true);
  }, EDatabaseError);
  // A reasonable nesting still filters.
  t.SetFilter(QString(20, '(') + "Id='0002'" + QString(20, ')'));
  t.SetFiltered(true);
  t.First();
  EXPECT_EQ(t.FieldByName("Nom")->AsString(), "MARTIN");
}

TEST_F(Rules, ErrorsTheOperatorReadsAreFrenchAndNameTheTable) {
  auto message = [](const std::function<void()>& fn) -> QString {
    try {
      fn();
    } catch (const Exception& e) {
      return e.Message();
    }
    return {};
  };
  TTable missing("x");
  missing.SetDatabaseName(dir.Path());
  missing.SetTableName("ACHATS.DB");
  QString m = message([&] { missing.Open(); });
  EXPECT_TRUE(m.startsWith("La table n'existe pas.") && m.contains("ACHATS.DB")) << m.toStdString();

  QFile junk(dir.Path() + "JUNK.DB");
  ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
  junk.write(QByteArray(4096, 'x'));
  junk.close();
  TTable bad("x");
  bad.SetDatabaseName(dir.Path());
  bad.SetTableName("JUNK.DB");
  m = message([&] { bad.Open(); });
  EXPECT_TRUE(m.startsWith("Ce n'est pas un fichier de table") && m.contains("JUNK.DB")) << m.toStdString();

  TTable ro("x");
  ro.SetDatabaseName(dir.Path());
  ro.SetTableName("CLIENT.DB");
  ro.SetReadOnly(true);
  ro.Open();
  m = message([&] { ro.Edit(); });
  EXPECT_TRUE(m.startsWith("La table est en lecture seule.") && m.contains("CLIENT.DB")) << m.toStdString();
  ro.Close();

  m = message([&] { Exec("INSERT INTO CLIENT (Id) VALUES('0001')"); });
  EXPECT_TRUE(m.startsWith("Violation de clé.") && m.contains("CLIENT.DB")) << m.toStdString();
  m = message([&] { Exec("SELECT * FROM NOPE"); });
  EXPECT_TRUE(m.startsWith("La table n'existe pas.") && m.contains("NOPE")) << m.toStdString();
}

}  // namespace
