// The case-insensitive order of a client list: accents and case fold ("ÉPICERIE" among the E's),
// and files built when that order knew only A-Z keep working.
#include <gtest/gtest.h>

#include <QRegularExpression>

#include "DbTestUtil.h"
#include "platform/db/Table.h"
#include "support/TestSupport.h"

namespace {

class CaseFold : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(Dbi::CreateTable(dir.Path(), ClientDesc()), DBIERR_NONE); }
  void Open(TTable& t, const QString& index = "iNom") {
    t.SetDatabaseName(dir.Path());
    t.SetTableName("CLIENT");
    t.SetIndexName(index);
    t.Open();
  }
  static void Add(TTable& t, const QString& id, const QString& nom) {
    t.Append();
    t.FieldByName("Id")->AsString = id;
    t.FieldByName("Nom")->AsString = nom;
    t.Post();
  }
  static QStringList Forward(TTable& t) {
    QStringList l;
    for (t.First(); !t.Eof(); t.Next()) l << t.FieldByName("Nom")->AsString();
    return l;
  }
  static QStringList Backward(TTable& t) {
    QStringList l;
    for (t.Last(); !t.Bof(); t.Prior()) l.prepend(t.FieldByName("Nom")->AsString());
    return l;
  }
  TempDir dir;
};

TEST_F(CaseFold, AccentedNamesSortAmongTheirLettersAndNavigate) {
  TTable t("Client");
  Open(t);
  Add(t, "0001", "ÉPICERIE");
  Add(t, "0002", "EPICERIE B");
  Add(t, "0003", "ZOO");
  Add(t, "0004", "abeille");
  const QStringList order{"abeille", "ÉPICERIE", "EPICERIE B", "ZOO"};
  EXPECT_EQ(Forward(t), order);
  EXPECT_EQ(Backward(t), order);
  EXPECT_EQ(t.RecordCount(), 4);
  t.Last();
  EXPECT_EQ(t.FieldByName("Nom")->AsString(), "ZOO");
  t.Prior();
  EXPECT_EQ(t.FieldByName("Nom")->AsString(), "EPICERIE B");
  t.Prior();
  EXPECT_EQ(t.FieldByName("Nom")->AsString(), "ÉPICERIE");
  t.First();
  t.Next();
  EXPECT_EQ(t.FieldByName("Id")->AsString(), "0001");

  // Names that fold alike keep the order they were entered in, both ways, and a record edited
  // into the middle lands where the order puts it.
  Add(t, "0005", "épicerie");
  Add(t, "0006", "Epicerie");
  Add(t, "0007", "Œuvre sociale");
  Add(t, "0008", "OEUVRE");
  Add(t, "0009", "ça va");
  const QStringList more{"abeille", "ça va", "ÉPICERIE", "épicerie", "Epicerie", "EPICERIE B",
                         "OEUVRE", "Œuvre sociale", "ZOO"};
  EXPECT_EQ(Forward(t), more);
  EXPECT_EQ(Backward(t), more);
  EXPECT_EQ(t.RecordCount(), 9);
  ASSERT_TRUE(t.Locate("Id", "0003"));
  t.Edit();
  t.FieldByName("Nom")->AsString = "Cèdre";
  t.Post();
  t.Next();
  EXPECT_EQ(t.FieldByName("Nom")->AsString(), "ÉPICERIE");
  t.Prior();
  t.Prior();
  EXPECT_EQ(t.FieldByName("Nom")->AsString(), "ça va");
}

TEST_F(CaseFold, LongListWalksTheSameBothWaysAcrossPages) {
  TTable t("Client");
  Open(t);
  const QStringList stems{"É", "e", "E", "è", "Ê", "a", "À", "z", "Ç", "c", "Œ", "oe"};
  int n = 0;
  for (int i = 0; i < 200; ++i) Add(t, QString("%1").arg(++n, 4, 10, QChar('0')), stems[i % stems.size()] + QString::number(i % 7));
  const QStringList f = Forward(t);
  EXPECT_EQ(f.size(), 200);
  EXPECT_EQ(Backward(t), f);
  EXPECT_TRUE(f.front().startsWith("a") || f.front().startsWith("À"));
  EXPECT_TRUE(f.back().startsWith("z"));
  // Every E-ish name sits in one run (the list matches whole names).
  const int firstE = int(f.indexOf(QRegularExpression("[ÉeEèÊ].*")));
  const int lastE = int(f.lastIndexOf(QRegularExpression("[ÉeEèÊ].*")));
  EXPECT_EQ(lastE - firstE + 1, 200 / 12 * 5 + 5);
}

TEST_F(CaseFold, LocateIgnoresCaseAndAccents) {
  TTable t("Client");
  Open(t);
  Add(t, "0001", "ZOO");
  Add(t, "0002", "épicerie du port");
  Add(t, "0003", "Épicerie centrale");
  Add(t, "0004", "Œuvres sociales");
  t.First();
  EXPECT_FALSE(t.Locate("Nom", "EPICERIE DU PORT"));
  EXPECT_TRUE(t.Locate("Nom", "EPICERIE DU PORT", loCaseInsensitive));
  EXPECT_EQ(t.FieldByName("Id")->AsString(), "0002");
  EXPECT_TRUE(t.Locate("Nom", "oeuvres sociales", loCaseInsensitive));
  EXPECT_EQ(t.FieldByName("Id")->AsString(), "0004");
  // Partial: the first in the current order.
  EXPECT_TRUE(t.Locate("Nom", "EPICERIE", loCaseInsensitive | loPartialKey));
  EXPECT_EQ(t.FieldByName("Id")->AsString(), "0003");
  EXPECT_TRUE(t.Locate("Nom", "épicerie d", loCaseInsensitive | loPartialKey));
  EXPECT_EQ(t.FieldByName("Id")->AsString(), "0002");
  EXPECT_FALSE(t.Locate("Nom", "EPICERIE", loPartialKey));
  EXPECT_FALSE(t.Locate("Nom", "EPICERIE X", loCaseInsensitive | loPartialKey));
  // A unique case-insensitive key takes no second spelling of the same name.
  TTable u("U");
  u.SetDatabaseName(dir.Path());
  u.SetTableName("UNI");
  u.FieldDefs.Add("Nom", ftString, 20);
  u.IndexDefs.Add("iNom", "Nom", ixUnique | ixCaseInsensitive);
  u.CreateTable();
  u.Open();
  u.Append();
  u.FieldByName("Nom")->AsString = "Épicerie";
  u.Post();
  u.Append();
  u.FieldByName("Nom")->AsString = "EPICERIE";
  EXPECT_THROW(u.Post(), EDBEngineError);
  u.Cancel();
  EXPECT_EQ(u.RecordCount(), 1);
}

TEST_F(CaseFold, FileWithNocaseIndexesKeepsItsOrderUntilRestructured) {
  // A client file as built before: its case-insensitive indexes in SQLite's NOCASE.
  const QString path = dir.File("CLIENT.DB");
  const QStringList indexes =
      RawSql(path, "SELECT name || '|' || sql FROM sqlite_master WHERE type = 'index' AND sql LIKE '%COLLATE%'");
  ASSERT_FALSE(indexes.isEmpty());  // the text keys
  for (const QString& row : indexes) {
    const QString name = row.section('|', 0, 0);
    QString sql = row.section('|', 1);
    sql.replace("COLLATE ZNOCASE", "COLLATE NOCASE");
    ASSERT_EQ(RawSql(path, QString("DROP INDEX \"%1\"; %2").arg(name, sql)), QStringList());
  }
  ASSERT_EQ(RawSql(path, "INSERT INTO CLIENT(Id, Nom) VALUES('0001', 'ÉPICERIE'), ('0002', 'EPICERIE B'),"
                         " ('0003', 'ZOO'), ('0004', 'abeille')"),
            QStringList());
  {
    TTable t("Client");
    Open(t);
    Add(t, "0005", "Émile");  // written through the old index
    const QStringList order{"abeille", "EPICERIE B", "ZOO", "Émile", "ÉPICERIE"};
    EXPECT_EQ(Forward(t), order);
    EXPECT_EQ(Backward(t), order);
    EXPECT_EQ(t.RecordCount(), 5);
    EXPECT_TRUE(t.Locate("Nom", "émile", loCaseInsensitive));
    EXPECT_EQ(t.FieldByName("Id")->AsString(), "0005");
    EXPECT_TRUE(t.Locate("Nom", "epicerie b", loCaseInsensitive));
    EXPECT_EQ(t.FieldByName("Id")->AsString(), "0002");
    EXPECT_TRUE(t.Locate("Nom", "ÉPI", loCaseInsensitive | loPartialKey));
    EXPECT_EQ(t.FieldByName("Id")->AsString(), "0001");
  }
  EXPECT_EQ(RawSql(path, "SELECT count(*) FROM sqlite_master WHERE sql LIKE '%COLLATE NOCASE%'"),
            QStringList{QString::number(indexes.size())});
  EXPECT_EQ(Dbi::ProbeTable(dir.Path(), "CLIENT", false), DBIERR_NONE);

  // A restructure builds the file anew, in the folding order.
  CRTblDesc d;
  d.szTblName = "CLIENT.DB";
  d.bPack = true;
  ASSERT_EQ(Dbi::DoRestructure(dir.Path(), d), DBIERR_NONE) << Dbi::LastErrorText().toStdString();
  EXPECT_EQ(RawSql(path, "SELECT count(*) FROM sqlite_master WHERE sql LIKE '%COLLATE NOCASE%'"), QStringList{"0"});
  TTable t("Client");
  Open(t);
  EXPECT_EQ(Forward(t), QStringList({"abeille", "Émile", "ÉPICERIE", "EPICERIE B", "ZOO"}));
}

}  // namespace
