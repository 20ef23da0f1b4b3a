// The engine under the faults a program meets: a counter left behind by a kill, rows copied by
// statement that break the field rules, a join inside a transaction over many files.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QCryptographicHash>
#include <QFileInfo>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "DbTestUtil.h"
#include "platform/db/Query.h"
#include "platform/db/Table.h"
#include "platform/db/Transaction.h"
#include "support/TestSupport.h"

namespace {

int CodeOf(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const EDBEngineError& e) {
    return e.ErrorCode();
  }
  return 0;
}

CRTblDesc AutoDesc(bool uniqueKey) {
  CRTblDesc d;
  d.szTblName = "AUTO.DB";
  d.fields = {Fld("N", fldINT32, 1, fldstAUTOINC), Fld("S", fldZSTRING, 8)};
  if (uniqueKey) d.indexes = {Idx("", {1}, true)};
  return d;
}

void OpenIn(TTable& t, const QString& dir, const QString& name) {
  t.SetDatabaseName(dir);
  t.SetTableName(name);
  t.Open();
}

int AddAuto(TTable& t, const QString& s) {
  t.Append();
  t.FieldByName("S")->AsString = s;
  t.Post();
  return t.FieldByName("N")->AsInteger();
}

// ---- the auto-increment counter ----

class StaleCounter : public ::testing::TestWithParam<bool> {};

// A kill between the rows' commit and the header's counter leaves the counter behind the keys:
// the next insert must still get a key never used.
TEST_P(StaleCounter, TheNextKeyGoesPastTheKeysStored) {
  TempDir dir;
  ASSERT_EQ(Dbi::CreateTable(dir.Path(), AutoDesc(GetParam())), DBIERR_NONE);
  {
    TTable t;
    OpenIn(t, dir.Path(), "AUTO");
    EXPECT_EQ(AddAuto(t, "a"), 1);
    EXPECT_EQ(AddAuto(t, "b"), 2);
    EXPECT_EQ(AddAuto(t, "c"), 3);
  }
  Dbi::WriteAutoIncCounter(dir.Path(), "AUTO.DB", 1);  // as the kill leaves it
  {
    TTable t;
    OpenIn(t, dir.Path(), "AUTO");
    EXPECT_EQ(AddAuto(t, "d"), 4);
    // Another program stores a key of its own while the table is open, counter untouched.
    RawSql(dir.File("AUTO.DB"), "INSERT INTO AUTO VALUES(10, 'x')");
    EXPECT_EQ(AddAuto(t, "e"), 11);
    // A key given by a statement of the program itself.
    TQuery q;
    q.SetDatabaseName(dir.Path());
    q.SQL.Add("INSERT INTO AUTO (N, S) VALUES (20, 'f')");
    q.ExecSQL();
    EXPECT_EQ(AddAuto(t, "g"), 21);
    // Inside a transaction that is rolled back, then after it.
    {
      TDbTransaction tx(dir.Path());
      EXPECT_EQ(AddAuto(t, "h"), 22);
      tx.Rollback();
    }
    EXPECT_EQ(AddAuto(t, "i"), 22);
  }
  EXPECT_EQ(RawSql(dir.File("AUTO.DB"), "SELECT count(*), count(DISTINCT N) FROM AUTO"), QStringList{"9|9"});
  int32_t v = 0;
  ASSERT_TRUE(Dbi::ReadAutoIncCounter(dir.Path(), "AUTO", v));
  EXPECT_EQ(v, 22);
}

INSTANTIATE_TEST_SUITE_P(Key, StaleCounter, ::testing::Values(false, true));

TEST(Counter, AtItsLimitTheInsertIsRefusedNotWrapped) {
  TempDir dir;
  ASSERT_EQ(Dbi::CreateTable(dir.Path(), AutoDesc(true)), DBIERR_NONE);
  Dbi::WriteAutoIncCounter(dir.Path(), "AUTO.DB", 2147483646);
  TTable t;
  OpenIn(t, dir.Path(), "AUTO");
  EXPECT_EQ(AddAuto(t, "a"), 2147483647);
  t.Append();
  t.FieldByName("S")->AsString = "b";
  EXPECT_EQ(CodeOf([&] { t.Post(); }), DBIERR_OUTOFRANGE);
  t.Cancel();
  EXPECT_EQ(RawSql(dir.File("AUTO.DB"), "SELECT N FROM AUTO"), QStringList{"2147483647"});
}

// ---- a folder that cannot be written ----

// Runs `fn` in a child process after `setup` (limits, rights), and returns what it reported.
QString InChild(const std::function<QString()>& setup, const std::function<QString()>& fn) {
  int p[2];
  if (::pipe(p) != 0) return "pipe";
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(p[0]);
    QString out = setup();
    if (out.isEmpty()) out = fn();
    const QByteArray u = out.toUtf8();
    if (::write(p[1], u.constData(), size_t(u.size())) < 0) ::_exit(3);
    ::_exit(0);
  }
  ::close(p[1]);
  QByteArray got;
  char buf[4096];
  for (ssize_t n; (n = ::read(p[0], buf, sizeof buf)) > 0;) got.append(buf, n);
  ::close(p[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "the child died: " + QString::number(status) + " " + QString::fromUtf8(got);
  return QString::fromUtf8(got);
}

QString InChildWithoutWriteRight(const std::function<QString()>& fn) {
  return InChild([] { return ::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0) ? QString("setuid") : QString(); }, fn);
}

QByteArray FolderPrint(const QString& dir) {
  QCryptographicHash h(QCryptographicHash::Sha1);
  for (const QString& n : QDir(dir).entryList(QDir::Files | QDir::Hidden, QDir::Name)) {
    QFile f(dir + n);
    f.open(QIODevice::ReadOnly);
    h.addData(n.toUtf8());
    h.addData(f.readAll());
  }
  return h.result();
}

class ReadOnlyFolder : public ::testing::TestWithParam<bool> {};

// Every write fails with the engine's error in French, none is reported as done, no file changes.
// Param: the table files themselves writable (only the folder is not: no journal can be made).
TEST_P(ReadOnlyFolder, EveryWriteFailsInFrenchAndNothingChanges) {
  TempDir dir;
  for (const CRTblDesc& d : AppSchema()) ASSERT_EQ(Dbi::CreateTable(dir.Path(), d), DBIERR_NONE);
  ASSERT_EQ(Dbi::CreateTable(dir.Path(), AutoDesc(true)), DBIERR_NONE);
  RawSql(dir.File("CLIENT.DB"), "INSERT INTO CLIENT (Id, Ord, Nom) VALUES('0001', 1, 'DUPONT')");
  RawSql(dir.File("AUTO.DB"), "INSERT INTO AUTO VALUES(1, 'a')");
  const bool filesWritable = GetParam();
  for (const QString& n : QDir(dir.Path()).entryList(QDir::Files))
    ::chmod(QFile::encodeName(dir.File(n)).constData(), filesWritable ? 0666 : 0444);
  ::chmod(QFile::encodeName(dir.Path()).constData(), 0555);
  const QByteArray before = FolderPrint(dir.Path());
  const QString faults = InChildWithoutWriteRight([&] {
    QString out;
    auto expectFail = [&](const char* what, const std::function<void()>& fn) {
      try {
        fn();
        out += QString("%1: reported as done; ").arg(what);
      } catch (const EDBEngineError& e) {
        const QString m = e.Message();
        // French and about the write, not an English SQLite text.
        if (m.contains("readonly", Qt::CaseInsensitive) || m.contains("unable", Qt::CaseInsensitive) ||
            m.contains("attempt", Qt::CaseInsensitive) || m.contains("database", Qt::CaseInsensitive))
          out += QString("%1: %2; ").arg(what, m);
      } catch (const std::exception& e) {
        out += QString("%1: %2; ").arg(what, e.what());
      }
    };
    auto expectCode = [&](const char* what, int code) {
      if (code == DBIERR_NONE) out += QString("%1: reported as done; ").arg(what);
    };
    TTable c;
    try {
      OpenIn(c, dir.Path(), "CLIENT");
    } catch (const Exception& e) {
      return "open: " + e.Message();
    }
    expectFail("insert", [&] {
      c.Append();
      c.FieldByName("Id")->AsString = "0002";
      c.Post();
    });
    if (c.State() != dsBrowse) c.Cancel();
    expectFail("update", [&] {
      c.First();
      c.Edit();
      c.FieldByName("Nom")->AsString = "MARTIN";
      c.Post();
    });
    if (c.State() != dsBrowse) c.Cancel();
    expectFail("delete", [&] {
      c.First();
      c.Delete();
    });
    expectFail("empty", [&] { c.EmptyTable(); });
    if (c.RecordCount() != 1) out += "the cursor counts " + QString::number(c.RecordCount()) + "; ";
    TTable a;
    OpenIn(a, dir.Path(), "AUTO");
    expectFail("auto-increment insert", [&] { AddAuto(a, "b"); });
    if (a.State() != dsBrowse) a.Cancel();
    expectFail("transaction", [&] {
      TDbTransaction tx(dir.Path());
      c.Append();
      c.FieldByName("Id")->AsString = "0003";
      c.Post();
      tx.Commit();
    });
    if (c.State() != dsBrowse) c.Cancel();
    for (const char* sql : {"INSERT INTO CLIENT (Id) VALUES('0009')", "UPDATE CLIENT SET Nom = 'X'", "DELETE FROM CLIENT",
                            "INSERT INTO Region (Id, Libelle) SELECT Region, Nom FROM CLIENT"})
      expectFail(sql, [&] {
        TQuery q;
        q.SetDatabaseName(dir.Path());
        q.SQL.Add(sql);
        q.ExecSQL();
      });
    c.Close();
    a.Close();
    CRTblDesc d = AutoDesc(false);
    d.szTblName = "NEW.DB";
    expectCode("create", Dbi::CreateTable(dir.Path(), d));
    expectCode("create over", Dbi::CreateTable(dir.Path(), AutoDesc(false), true));
    expectCode("pack", Dbi::PackTable(dir.Path(), "CLIENT.DB"));
    CRTblDesc r;
    r.szTblName = "CLIENT.DB";
    IDXDesc x = Idx("iTel", {5}, false);
    r.indexes = {x};
    expectCode("restructure", Dbi::DoRestructure(dir.Path(), r));
    // (A writable file takes its header's counter without a journal: only a read-only one refuses.)
    if (!filesWritable) expectFail("counter", [&] { Dbi::WriteAutoIncCounter(dir.Path(), "AUTO.DB", 7); });
    expectFail("delete table", [&] {
      TTable t;
      t.SetDatabaseName(dir.Path());
      t.SetTableName("Site.DB");
      t.DeleteTable();
    });
    return out;
  });
  ::chmod(QFile::encodeName(dir.Path()).constData(), 0755);
  EXPECT_TRUE(faults.isEmpty()) << faults.toStdString();
  EXPECT_EQ(FolderPrint(dir.Path()), before);
  EXPECT_EQ(RawSql(dir.File("CLIENT.DB"), "SELECT Id, Nom FROM CLIENT"), QStringList{"0001|DUPONT"});
}

INSTANTIATE_TEST_SUITE_P(Files, ReadOnlyFolder, ::testing::Values(false, true));

// ---- many tables, few file handles ----

// As under `ulimit -n 1024`: more tables opened than the handles allow fail with the engine's
// French error, nothing crashes, and once closed every handle is given back.
TEST(FileHandles, MoreTablesThanHandlesFailCleanlyAndGiveEveryHandleBack) {
  TempDir dir;
  const int tables = 560;
  for (int i = 0; i < tables; ++i) {
    CRTblDesc d = AutoDesc(true);
    d.szTblName = QString("T%1.DB").arg(i);
    ASSERT_EQ(Dbi::CreateTable(dir.Path(), d), DBIERR_NONE);
  }
  const QString report = InChild(
      [] {
        rlimit r{1024, 1024};
        return ::setrlimit(RLIMIT_NOFILE, &r) == 0 ? QString() : QString("setrlimit");
      },
      [&] {
        QString out;
        auto handles = [] { return int(QDir("/proc/self/fd").entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot).size()); };
        const int before = handles();
        std::vector<std::unique_ptr<TTable>> open;
        QString refused;
        for (int i = 0; i < tables && refused.isEmpty(); ++i) {
          auto t = std::make_unique<TTable>();
          try {
            OpenIn(*t, dir.Path(), QString("T%1.DB").arg(i));
            AddAuto(*t, "a");
            open.push_back(std::move(t));
          } catch (const EDBEngineError& e) {
            refused = e.Message();
          }
        }
        if (open.size() < 300) out += QString("only %1 tables open; ").arg(open.size());
        if (refused.isEmpty()) out += "never refused; ";
        else if (!refused.contains("T") || refused.contains("unable", Qt::CaseInsensitive) ||
                 refused.contains("Too many", Qt::CaseInsensitive))
          out += "refused with: " + refused + "; ";
        // A transaction over every table open, with no handle left for its journals: stored
        // whole or refused whole, in French.
        {
          TDbTransaction tx(dir.Path());
          try {
            for (auto& t : open) AddAuto(*t, "b");
            tx.Commit();
          } catch (const EDBEngineError& e) {
            if (e.Message().contains("unable", Qt::CaseInsensitive)) out += "transaction: " + e.Message() + "; ";
            for (auto& t : open)
              if (t->State() != dsBrowse) t->Cancel();
            try {
              tx.Rollback();
            } catch (const EDBEngineError& e) {
              out += "rollback: " + e.Message() + "; ";
            }
          }
        }
        const int opened = int(open.size());
        open.clear();
        if (handles() > before + 2) out += QString("%1 handles kept after closing; ").arg(handles() - before);
        // The table that could not open opens now.
        TTable t;
        try {
          OpenIn(t, dir.Path(), QString("T%1.DB").arg(opened));
          AddAuto(t, "c");
        } catch (const EDBEngineError& e) {
          out += "after closing: " + e.Message() + "; ";
        }
        return out + QString("opened=%1").arg(opened);
      });
  ASSERT_TRUE(report.contains("opened=")) << report.toStdString();
  EXPECT_TRUE(report.startsWith("opened=")) << report.toStdString();
  const int opened = report.section('=', 1).toInt();
  const QStringList first = RawSql(dir.File("T0.DB"), "SELECT count(*) FROM T0");
  for (int i = 0; i < opened; ++i)
    ASSERT_EQ(RawSql(dir.File(QString("T%1.DB").arg(i)), QString("SELECT count(*) FROM T%1").arg(i)), first) << i;
  EXPECT_EQ(RawSql(dir.File(QString("T%1.DB").arg(opened)), QString("SELECT S FROM T%1").arg(opened)), QStringList{"c"});
  EXPECT_EQ(QDir(dir.Path()).entryList(QDir::Files | QDir::Hidden).filter("journal"), QStringList());
}

// ---- a full disk ----

// The files may not grow past a limit (as a full disk): every post either stores its row and says
// so, or fails with the engine's French error and stores nothing; a transaction is whole or absent.
TEST(FullDisk, EveryRowIsStoredAndSaidSoOrRefusedAndAbsent) {
  TempDir dir;
  ASSERT_EQ(Dbi::CreateTable(dir.Path(), DistoDesc()), DBIERR_NONE);
  for (const CRTblDesc& d : AppSchema())
    if (d.szTblName == "Ha.DB") ASSERT_EQ(Dbi::CreateTable(dir.Path(), d), DBIERR_NONE);
  const QString report = InChild(
      [] {
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit r{256 * 1024, 256 * 1024};
        return ::setrlimit(RLIMIT_FSIZE, &r) == 0 ? QString() : QString("setrlimit");
      },
      [&] {
        QString out;
        TTable t;
        OpenIn(t, dir.Path(), "Disto");
        int stored = 0;
        auto post = [&](int i) {
          t.Append();
          t.FieldByName("DateJ")->AsDateTime = QDate(2005, 1, 1).addDays(i / 1000).startOfDay();
          t.FieldByName("Id_Client")->AsString = QString::number(i % 1000);
          t.FieldByName("Id_Titre")->AsString = "T";
          t.FieldByName("Qte_Prise")->AsInteger = i;
          t.Post();
        };
        QString first;
        for (int i = 0; i < 100000; ++i) {
          try {
            post(i);
            stored++;
          } catch (const EDBEngineError& e) {
            t.Cancel();
            first = e.Message();
            break;
          }
        }
        if (first.isEmpty()) return QString("the limit was never met");
        if (!first.contains("disque") && !first.contains("Disque")) out += "not French: " + first + "; ";
        // Once full, a transaction of many rows over two files: refused, none of them stored.
        TTable ha;
        OpenIn(ha, dir.Path(), "Ha");
        try {
          TDbTransaction tx(dir.Path());
          ha.Append();
          ha.FieldByName("DateH")->AsDateTime = QDate(2005, 1, 1).startOfDay();
          ha.FieldByName("Id")->AsString = "T";
          ha.Post();
          for (int i = 200000; i < 203000; ++i) post(i);
          tx.Commit();
          out += "a transaction was stored past the limit; ";
        } catch (const EDBEngineError& e) {
          if (t.State() != dsBrowse) t.Cancel();
        }
        if (t.RecordCount() != stored) out += QString("the cursor counts %1, %2 stored; ").arg(t.RecordCount()).arg(stored);
        return out + QString("stored=%1").arg(stored);
      });
  ASSERT_TRUE(report.startsWith("stored=")) << report.toStdString();
  const QString stored = report.mid(7);
  EXPECT_GT(stored.toInt(), 100);
  // Read through the engine (which rolls back what a failing write left half done), then raw.
  TTable t;
  OpenIn(t, dir.Path(), "Disto");
  EXPECT_EQ(QString::number(t.RecordCount()), stored);
  t.Close();
  EXPECT_EQ(RawSql(dir.File("Disto.DB"), "SELECT count(*) FROM Disto"), QStringList{stored});
  EXPECT_EQ(RawSql(dir.File("Disto.DB"), "PRAGMA integrity_check"), QStringList{"ok"});
  EXPECT_EQ(RawSql(dir.File("Ha.DB"), "SELECT count(*) FROM Ha"), QStringList{"0"});
  EXPECT_EQ(QDir(dir.Path()).entryList(QDir::Files | QDir::Hidden).filter("-journal"), QStringList());
}

}  // namespace
