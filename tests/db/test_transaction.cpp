// Rolling a transaction back: the rows, the cursors that read them, the counter in the header and
// the files themselves are as they were before the transaction.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "DbTestUtil.h"
#include "platform/db/Query.h"
#include "platform/db/Table.h"
#include "platform/db/Transaction.h"
#include "support/TestSupport.h"

namespace {

class Rollbacks : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(Dbi::CreateTable(dir.Path(), ClientDesc()), DBIERR_NONE);
    ASSERT_EQ(Dbi::CreateTable(dir.Path(), AutoDesc()), DBIERR_NONE);
  }
  void Open(TTable& t, const QString& name) {
    t.SetDatabaseName(dir.Path());
    t.SetTableName(name);
    t.Open();
  }
  void AddClient(TTable& t, const QString& id, const QString& nom) {
    t.Append();
    t.FieldByName("Id")->AsString = id;
    t.FieldByName("Nom")->AsString = nom;
    t.Post();
  }
  void AddAuto(TTable& t, const QString& s) {
    t.Append();
    t.FieldByName("S")->AsString = s;
    t.Post();
  }
  static QStringList Rows(TTable& t) {
    QStringList l;
    t.First();
    while (!t.Eof()) {
      l << t.FieldByName("Id")->AsString() + "|" + t.FieldByName("Nom")->AsString();
      t.Next();
    }
    return l;
  }
  QStringList Selected(const QString& sql) {
    TQuery q;
    q.SetDatabaseName(dir.Path());
    q.SQL.Add(sql);
    q.Open();
    QStringList l;
    for (const auto& row : q.ReadRows(0, q.RecordCount())) {
      QStringList cells;
      for (const QVariant& v : row) cells << v.toString();
      l << cells.join('|');
    }
    return l;
  }
  int32_t HeaderCounter(const QString& file) {
    QFile f(dir.File(file));
    f.open(QIODevice::ReadOnly);
    const QByteArray h = f.read(100);
    return int32_t(uint8_t(h[73]) | uint8_t(h[74]) << 8 | uint8_t(h[75]) << 16 | uint8_t(h[76]) << 24);
  }
  TempDir dir;
};

TEST_F(Rollbacks, PostsUpdatesAndDeletesAreUndoneForEveryCursorAndQuery) {
  TTable before("before"), autoT("auto");
  Open(before, "CLIENT");
  Open(autoT, "AUTO");
  AddClient(before, "0001", "DUPONT");
  AddClient(before, "0002", "MARTIN");
  AddClient(before, "0003", "DURAND");
  AddAuto(autoT, "a");
  AddAuto(autoT, "b");
  const QStringList stored{"0001|DUPONT", "0002|MARTIN", "0003|DURAND"};
  // What the first cursor keeps: its page, its count and a Locate result.
  EXPECT_EQ(Rows(before), stored);
  EXPECT_EQ(before.RecordCount(), 3);
  EXPECT_TRUE(before.Locate("Id", "0002"));
  EXPECT_EQ(HeaderCounter("AUTO.DB"), 2);
  {
    TDbTransaction tx(dir.Path());
    TTable inside("inside");
    Open(inside, "CLIENT");
    AddClient(inside, "0004", "NOUVEAU");
    before.Edit();
    before.FieldByName("Nom")->AsString = "CHANGE";
    before.Post();
    ASSERT_TRUE(inside.Locate("Id", "0003"));
    inside.Delete();
    AddAuto(autoT, "c");
    AddAuto(autoT, "d");
    EXPECT_EQ(autoT.FieldByName("N")->AsInteger(), 4);
    // Inside, everything of the program sees the changes.
    EXPECT_EQ(Rows(before), (QStringList{"0001|DUPONT", "0002|CHANGE", "0004|NOUVEAU"}));
    EXPECT_EQ(Selected("SELECT Id FROM CLIENT ORDER BY Id"), (QStringList{"0001", "0002", "0004"}));
    // A table opened and closed inside: its file goes at the rollback.
    {
      TTable other("other");
      Open(other, "AUTO");
      AddAuto(other, "e");
    }
    tx.Rollback();
    EXPECT_FALSE(tx.Active());
    tx.Commit();  // nothing left to commit

    EXPECT_EQ(Rows(inside), stored);
    EXPECT_EQ(inside.RecordCount(), 3);
    EXPECT_TRUE(inside.Locate("Id", "0003"));
    EXPECT_FALSE(inside.Locate("Id", "0004"));
  }
  // The cursor opened before: the record it changed reads as stored again, the record added is
  // gone and the record deleted is back.
  ASSERT_TRUE(before.Locate("Id", "0002"));
  EXPECT_EQ(before.FieldByName("Nom")->AsString(), "MARTIN");
  before.Edit();
  EXPECT_EQ(before.FieldByName("Nom")->AsString(), "MARTIN");
  before.Cancel();
  EXPECT_EQ(before.RecordCount(), 3);
  EXPECT_EQ(Rows(before), stored);
  EXPECT_FALSE(before.Locate("Id", "0004"));
  EXPECT_TRUE(before.Locate("Id", "0003"));
  EXPECT_EQ(Selected("SELECT Id, Nom FROM CLIENT ORDER BY Id"), stored);
  EXPECT_EQ(RawSql(dir.File("CLIENT.DB"), "SELECT Id, Nom FROM CLIENT ORDER BY Id"), stored);
  // The counter: the header never got the numbers handed out, and they are handed out again.
  EXPECT_EQ(HeaderCounter("AUTO.DB"), 2);
  EXPECT_EQ(Selected("SELECT N, S FROM AUTO ORDER BY N"), (QStringList{"1|a", "2|b"}));
  AddAuto(autoT, "c");
  EXPECT_EQ(autoT.FieldByName("N")->AsInteger(), 3);
  EXPECT_EQ(HeaderCounter("AUTO.DB"), 3);
  // Writes after the rollback are durable at once, as outside any transaction.
  AddClient(before, "0005", "APRES");
  EXPECT_EQ(RawSql(dir.File("CLIENT.DB"), "SELECT count(*) FROM CLIENT"), QStringList{"4"});
  // Closed, the files are free: no journal, no handle; a copy put in their place opens.
  before.Close();
  autoT.Close();
  EXPECT_EQ(OpenHandles(dir.File("CLIENT.DB")), 0);
  EXPECT_EQ(OpenHandles(dir.File("AUTO.DB")), 0);
  EXPECT_FALSE(QFile::exists(dir.File("CLIENT.DB-journal")));
  EXPECT_FALSE(QFile::exists(dir.File("AUTO.DB-journal")));
  ASSERT_TRUE(QFile::copy(dir.File("CLIENT.DB"), dir.File("SAVE.DB")));
  ASSERT_TRUE(QFile::remove(dir.File("CLIENT.DB")));
  ASSERT_TRUE(QFile::rename(dir.File("SAVE.DB"), dir.File("CLIENT.DB")));
  EXPECT_EQ(Dbi::ProbeTable(dir.Path(), "CLIENT", false), DBIERR_NONE);
  Open(before, "CLIENT");
  EXPECT_EQ(before.RecordCount(), 4);
  EXPECT_EQ(RawSql(dir.File("AUTO.DB"), "PRAGMA integrity_check"), QStringList({"ok"}));
}

TEST_F(Rollbacks, ATableClosedInsideIsReleasedAtTheRollback) {
  {
    TDbTransaction tx(dir.Path());
    TTable t("t");
    Open(t, "CLIENT");
    AddClient(t, "0001", "X");
    t.Close();
    EXPECT_GT(OpenHandles(dir.File("CLIENT.DB")), 0);  // held until the transaction ends
    tx.Rollback();
    EXPECT_EQ(OpenHandles(dir.File("CLIENT.DB")), 0);
  }
  EXPECT_FALSE(QFile::exists(dir.File("CLIENT.DB-journal")));
  EXPECT_EQ(RawSql(dir.File("CLIENT.DB"), "SELECT count(*) FROM CLIENT"), QStringList{"0"});
  EXPECT_TRUE(QFile::remove(dir.File("CLIENT.DB")));
}

TEST_F(Rollbacks, AnInnerRollbackUndoesTheWholeTransaction) {
  TTable t("t");
  Open(t, "CLIENT");
  AddClient(t, "0001", "AVANT");
  // The outermost Commit says so: nothing of the transaction is stored.
  {
    TDbTransaction outer(dir.Path());
    AddClient(t, "0002", "OUTER");
    {
      TDbTransaction inner(dir.Path());
      AddClient(t, "0003", "INNER");
      inner.Rollback();
    }
    AddClient(t, "0004", "AFTER");
    EXPECT_EQ(CodeOf([&] { outer.Commit(); }), DBIERR_ROLLEDBACK);
    EXPECT_FALSE(outer.Active());
  }
  EXPECT_EQ(Rows(t), QStringList{"0001|AVANT"});
  EXPECT_EQ(RawSql(dir.File("CLIENT.DB"), "SELECT Id FROM CLIENT"), QStringList{"0001"});
  // The outermost end by its destructor rolls back too, without raising.
  {
    TDbTransaction outer(dir.Path());
    AddClient(t, "0002", "OUTER");
    TDbTransaction inner(dir.Path());
    AddClient(t, "0003", "INNER");
    inner.Rollback();
  }
  EXPECT_EQ(Rows(t), QStringList{"0001|AVANT"});
  // The next transaction commits as usual.
  {
    TDbTransaction tx(dir.Path());
    AddClient(t, "0002", "SUIVANT");
    tx.Commit();
  }
  EXPECT_EQ(RawSql(dir.File("CLIENT.DB"), "SELECT Id FROM CLIENT ORDER BY Id"), (QStringList{"0001", "0002"}));
  // An inner Commit leaves the outer scope free to roll everything back.
  {
    TDbTransaction outer(dir.Path());
    AddClient(t, "0003", "OUTER");
    {
      TDbTransaction inner(dir.Path());
      AddClient(t, "0004", "INNER");
      inner.Commit();
    }
    outer.Rollback();
  }
  EXPECT_EQ(Rows(t), (QStringList{"0001|AVANT", "0002|SUIVANT"}));
}

TEST_F(Rollbacks, EveryConnectionOfTheFolderRollsBack) {
  // More tables in use than one connection holds: T0..T9 on one connection, T10 and T11 on another.
  std::vector<std::unique_ptr<TTable>> open;
  for (int i = 0; i < 12; ++i) {
    const QString name = QString("T%1.DB").arg(i);
    ASSERT_EQ(Dbi::CreateTable(dir.Path(), AutoDesc(name)), DBIERR_NONE);
    auto t = std::make_unique<TTable>(name);
    Open(*t, name);
    AddAuto(*t, "avant");
    open.push_back(std::move(t));
  }
  auto dedans = [&] {
    int n = 0;
    for (int i = 0; i < 12; ++i)
      n += RawSql(dir.File(QString("T%1.DB").arg(i)), QString("SELECT count(*) FROM T%1 WHERE S='dedans'").arg(i))
               .value(0)
               .toInt();
    return n;
  };
  {
    TDbTransaction tx(dir.Path());
    AddAuto(*open[0], "dedans");
    AddAuto(*open[1], "dedans");
    // A join of a written table with one of the other connection: the unwritten one moves.
    EXPECT_EQ(Selected("SELECT count(*) AS N FROM T0 A, T11 B WHERE A.N = B.N"), QStringList{"1"});
    AddAuto(*open[11], "dedans");
    tx.Rollback();
  }
  EXPECT_EQ(dedans(), 0);
  for (int i = 0; i < 12; ++i) {
    EXPECT_EQ(open[i]->RecordCount(), 1) << i;
    EXPECT_EQ(HeaderCounter(QString("T%1.DB").arg(i)), 1) << i;
  }
  // Twelve written tables do not fit one connection: a join of two written on different ones is
  // refused rather than storing part of the transaction, and the rollback undoes everything.
  int refused = 0;
  {
    TDbTransaction tx(dir.Path());
    for (auto& t : open) AddAuto(*t, "dedans");
    for (int i = 1; i < 12; ++i) {
      const int code = CodeOf([&] {
        EXPECT_EQ(Selected(QString("SELECT count(*) AS N FROM T0 A, T%1 B WHERE A.N = B.N").arg(i)), QStringList{"2"});
      });
      EXPECT_TRUE(code == 0 || code == DBIERR_FILEBUSY) << code;
      refused += code != 0;
      EXPECT_EQ(dedans(), 0);
    }
    EXPECT_EQ(CodeOf([&] { tx.Rollback(); }), 0);
  }
  EXPECT_GT(refused, 0);
  EXPECT_EQ(dedans(), 0);
  // What each cursor counts is what its file holds.
  for (int i = 0; i < 12; ++i) {
    const QString stored = RawSql(open[i]->FilePath(), QString("SELECT count(*) FROM T%1").arg(i)).value(0);
    EXPECT_EQ(QString::number(open[i]->RecordCount()), stored) << i;
  }
}

}  // namespace
