// The engine under the faults a program meets: a counter left behind by a kill, hostile values
// through every call, many tables and few file handles, a folder that cannot be written, a full
// disk.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QCryptographicHash>
#include <QFileInfo>
#include <cmath>
#include <limits>
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

CRTblDesc AutoTable(bool uniqueKey) {
  CRTblDesc d = AutoDesc();
  if (!uniqueKey) d.indexes.clear();
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
  ASSERT_EQ(Dbi::CreateTable(dir.Path(), AutoTable(GetParam())), DBIERR_NONE);
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
  ASSERT_EQ(Dbi::CreateTable(dir.Path(), AutoTable(true)), DBIERR_NONE);
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

// ---- hostile values through every call ----

class Hostile : public ::testing::Test {
 protected:
  void SetUp() override {
    CRTblDesc d;
    d.szTblName = "HOST.DB";
    d.fields = {Fld("S", fldZSTRING, 40), Fld("I", fldINT32), Fld("H", fldINT16), Fld("F", fldFLOAT),
                Fld("M", fldFLOAT, 1, fldstMONEY), Fld("D", fldDATE), Fld("B", fldBOOL), Fld("K", fldINT32)};
    d.indexes = {Idx("", {8}, true), Idx("iS", {1}, false, true)};
    ASSERT_EQ(Dbi::CreateTable(dir.Path(), d), DBIERR_NONE);
    OpenIn(t, dir.Path(), "HOST");
  }
  // Runs one call: it works, or fails with the program's own error in French; any other outcome
  // is noted.
  bool Try(const QString& what, const std::function<void()>& fn) {
    try {
      fn();
      return true;
    } catch (const Exception& e) {
      const QString m = e.Message();
      if (m.isEmpty() || m.contains("sqlite", Qt::CaseInsensitive) || m.contains("unrecognized") || m.contains("syntax error"))
        faults << what + ": " + m.left(200);
    } catch (const std::exception& e) {
      faults << what + ": " + e.what();
    }
    if (t.Active() && t.State() != dsBrowse) t.Cancel();
    return false;
  }
  QString ValidUtf8(const QString& s) { return QString::fromUtf8(s.toUtf8()); }
  TempDir dir;
  TTable t;
  QStringList faults;
  int key = 0;
};

QString Huge() { return QString(1 << 20, QChar('x')); }
QString Emoji40() {
  QString e;
  for (int i = 0; i < 40; ++i) e += QString::fromUtf8("\xF0\x9F\x93\xB0");  // a newspaper, two UTF-16 units
  return e;
}

TEST_F(Hostile, TextsStoredReadBackAsTheFieldKeptThem) {
  const QString nul = QString("AB") + QChar(0) + "CD";
  const QString lone = QString("x") + QChar(0xD800) + "y";  // no valid UTF-8 for it
  const QString bad = QString::fromUtf8("\xC3\x28\xFF\xFE ok");  // invalid UTF-8 bytes
  for (const QString& v : {nul, lone, bad, Huge(), Emoji40(), QString("'; DROP TABLE HOST; --"), QString("é\"\\%_*?")}) {
    const QString label = v.left(12).toHtmlEscaped();
    QString kept;
    const int k = ++key;
    if (!Try("post " + label, [&] {
          t.Append();
          t.FieldByName("K")->AsInteger = k;
          t.FieldByName("S")->AsString = v;
          kept = t.FieldByName("S")->AsString();
          t.Post();
        }))
      continue;
    // Whatever the field kept is a whole text: no half character at a cut.
    EXPECT_EQ(kept, ValidUtf8(kept)) << label.toStdString();
    EXPECT_LE(kept.size(), 40) << label.toStdString();
    ASSERT_TRUE(t.Locate("K", k));
    EXPECT_EQ(t.FieldByName("S")->AsString(), kept) << label.toStdString();
    EXPECT_EQ(RawSql(dir.File("HOST.DB"), QString("SELECT S FROM HOST WHERE K = %1").arg(k)).value(0), kept) << label.toStdString();
    // Found again by what was given and by what was kept, in either case.
    Try("locate " + label, [&] { t.Locate("S", v); });
    EXPECT_TRUE(t.Locate("S", kept)) << label.toStdString();
    Try("locate ci " + label, [&] { t.Locate("S", kept.toLower(), loCaseInsensitive); });
    Try("partial " + label, [&] { t.Locate("S", kept, loPartialKey); });
    // Through a parameter, and as a literal in a filter.
    Try("param " + label, [&] {
      TQuery q;
      q.SetDatabaseName(dir.Path());
      q.SQL.Add("SELECT K FROM HOST WHERE S = :s");
      q.ParamByName("s")->AsString = kept;
      q.Open();
      EXPECT_EQ(q.RecordCount(), 1) << label.toStdString();
    });
    Try("filter " + label, [&] {
      QString lit = kept;
      lit.replace('\'', "''");
      t.SetFilter("S = '" + lit + "'");
      t.SetFiltered(true);
      t.RecordCount();
    });
    t.SetFiltered(false);
  }
  // Statements with hostile values.
  for (const QString& v : {nul, lone, bad, Huge()}) {
    const QString label = "sql " + v.left(12);
    const int k = ++key;
    Try(label, [&] {
      TQuery q;
      q.SetDatabaseName(dir.Path());
      q.SQL.Add("INSERT INTO HOST (K, S) VALUES (:k, :s)");
      q.ParamByName("k")->AsInteger = k;
      q.ParamByName("s")->AsString = v;
      q.ExecSQL();
    });
    Try(label + " as text", [&] {
      TQuery q;
      q.SetDatabaseName(dir.Path());
      QString lit = v;
      lit.replace('\'', "''");
      q.SQL.Add(QString("UPDATE HOST SET S = '%1' WHERE K = %2").arg(lit).arg(k));
      q.ExecSQL();
    });
    const QStringList stored = RawSql(dir.File("HOST.DB"), QString("SELECT S FROM HOST WHERE K = %1").arg(k));
    if (!stored.isEmpty()) {
      EXPECT_LE(stored.value(0).size(), 40) << label.toStdString();
      EXPECT_EQ(stored.value(0), ValidUtf8(stored.value(0))) << label.toStdString();
    }
  }
  // Names: of a table, a field, an index; none reaches outside the folder or crashes.
  for (const QString& n : {nul, lone, Huge(), QString("../../etc/passwd"), QString("/etc/passwd"), QString("HOST.DB") + QChar(0) + "x"}) {
    TTable o;
    EXPECT_FALSE(Try("table " + n.left(12), [&] { OpenIn(o, dir.Path(), n); }));
    Try("field " + n.left(12), [&] { t.FieldByName(n); });
    Try("index " + n.left(12), [&] { t.SetIndexName(n); });
    t.SetIndexName("");
    Try("locate field " + n.left(12), [&] { t.Locate(n, 1); });
  }
  EXPECT_EQ(RawSql(dir.File("HOST.DB"), "PRAGMA integrity_check"), QStringList{"ok"});
  EXPECT_TRUE(faults.isEmpty()) << faults.join("\n").toStdString();
}

TEST_F(Hostile, NumbersAndDatesAtTheirLimitsAreStoredExactlyOrRefused) {
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
  struct Case {
    const char* field;
    QVariant value;
  };
  const std::vector<Case> cases = {
      {"F", nan}, {"F", inf}, {"F", -inf}, {"F", 1e308}, {"F", -0.0}, {"F", 5e-324},
      {"M", nan}, {"M", 922337203685477.0}, {"I", qlonglong(2147483647)}, {"I", qlonglong(-2147483647 - 1)},
      {"I", qlonglong(2147483648LL)}, {"I", nan}, {"H", 40000}, {"H", -32768}, {"H", QString("12abc")},
      {"D", QDate(1, 1, 1)}, {"D", QDate(9999, 12, 31)}, {"D", QDate(-1, 12, 31)}, {"D", QDate(10000, 1, 1)},
      {"D", QDate()}, {"D", QString("31/02/2005")}, {"D", QString("2005-02-29")}, {"D", nan},
      {"B", nan}, {"B", QString("peut-être")}};
  for (const Case& c : cases) {
    const QString label = QString("%1 = %2").arg(c.field, c.value.toString());
    const int k = ++key;
    QVariant kept;
    const bool ok = Try("post " + label, [&] {
      t.Append();
      t.FieldByName("K")->AsInteger = k;
      t.FieldByName(c.field)->Value = c.value;
      kept = t.FieldByName(c.field)->Value();
      t.Post();
    });
    if (!ok) continue;
    ASSERT_TRUE(t.Locate("K", k)) << label.toStdString();
    EXPECT_EQ(t.FieldByName(c.field)->Value(), kept) << label.toStdString();
    if (kept.typeId() == QMetaType::Double) {
      EXPECT_TRUE(std::isfinite(kept.toDouble())) << label.toStdString();
    }
    if (kept.typeId() == QMetaType::QDate) {
      // The date is found again by a query over its field.
      Try("query " + label, [&] {
        TQuery q;
        q.SetDatabaseName(dir.Path());
        q.SQL.Add("SELECT K FROM HOST WHERE D = :d");
        q.ParamByName("d")->AsDate = kept.toDate();
        q.Open();
        EXPECT_EQ(q.RecordCount(), 1) << label.toStdString();
      });
    }
    // The same value through a statement: stored alike, or refused.
    Try("sql " + label, [&] {
      TQuery q;
      q.SetDatabaseName(dir.Path());
      q.SQL.Add(QString("UPDATE HOST SET %1 = :v WHERE K = %2").arg(c.field).arg(k));
      q.ParamByName("v")->Value = c.value;
      q.ExecSQL();
    });
    t.Refresh();
    ASSERT_TRUE(t.Locate("K", k)) << label.toStdString();
    const QVariant after = t.FieldByName(c.field)->Value();
    if (after.typeId() == QMetaType::Double) {
      EXPECT_TRUE(std::isfinite(after.toDouble())) << label.toStdString();
    }
  }
  // Locate, filters and parameters with the same values: an answer or a French refusal.
  for (const Case& c : cases) {
    const QString label = QString("%1 = %2").arg(c.field, c.value.toString());
    Try("locate " + label, [&] { t.Locate(c.field, c.value); });
    Try("filter " + label, [&] {
      t.SetFilter(QString("%1 = '%2'").arg(c.field, c.value.toString().replace('\'', "''")));
      t.SetFiltered(true);
      t.RecordCount();
    });
    t.SetFiltered(false);
  }
  // What is no value of the field is refused when given, not kept as something else.
  t.Append();
  for (const Case& c : std::vector<Case>{{"H", QString("12abc")}, {"I", nan}, {"I", QString("1e3")}, {"B", QString("peut-être")},
                                         {"B", nan}, {"D", QDate(-1, 12, 31)}, {"D", QDate(10000, 1, 1)}, {"F", QString("abc")}})
    EXPECT_FALSE(Try("refused", [&] { t.FieldByName(c.field)->Value = c.value; })) << c.field << " " << c.value.toString().toStdString();
  t.Append();
  t.FieldByName("S")->AsString = QString("AB") + QChar(0) + "CD";
  EXPECT_EQ(t.FieldByName("S")->AsString(), "AB");
  t.Cancel();
  // Dates the stored text cannot hold are not stored as something else.
  EXPECT_EQ(RawSql(dir.File("HOST.DB"), "SELECT count(*) FROM HOST WHERE D IS NOT NULL AND date(D) IS NOT D"),
            QStringList{"0"});
  EXPECT_EQ(RawSql(dir.File("HOST.DB"), "PRAGMA integrity_check"), QStringList{"ok"});
  EXPECT_TRUE(faults.isEmpty()) << faults.join("\n").toStdString();
}

// Positions, counts and names at their limits through the navigation calls.
TEST_F(Hostile, NavigationAtTheLimitsAnswersOrRefusesInFrench) {
  for (int k = 1; k <= 30; ++k) {
    t.Append();
    t.FieldByName("K")->AsInteger = k;
    t.FieldByName("S")->AsString = QString("S%1").arg(k);
    t.Post();
  }
  const int big = std::numeric_limits<int>::max(), small = std::numeric_limits<int>::min();
  Try("readrows", [&] { EXPECT_EQ(t.ReadRows(0, big).size(), 30u); });
  Try("readrows far", [&] { EXPECT_TRUE(t.ReadRows(big, big).empty()); });
  Try("readrows before", [&] { t.ReadRows(small, 10); });
  Try("readrows negative", [&] { t.ReadRows(5, small); });
  Try("recno far", [&] { t.SetRecNo(big); });
  Try("recno before", [&] { t.SetRecNo(small); });
  Try("moveby far", [&] { t.First(); EXPECT_EQ(t.MoveBy(big), 29); });
  Try("moveby before", [&] { EXPECT_EQ(t.MoveBy(small), -29); });
  Try("moveby min", [&] { t.MoveBy(small + 1); });
  Try("order", [&] { t.SetIndexFieldNames(QString(100000, QChar('S'))); });
  t.SetIndexFieldNames("");
  Try("order list", [&] { t.SetIndexFieldNames("S;;;K;"); });
  t.SetIndexFieldNames("");
  Try("locate many", [&] { t.Locate("S;K;S;K", QList<QVariant>{"S1", 1}); });
  Try("locate none", [&] { t.Locate("", QList<QVariant>{}); });
  Try("filter huge", [&] {
    QString f;
    for (int i = 0; i < 20000; ++i) f += QString("(S = 'S%1') or ").arg(i);
    t.SetFilter(f + "(S = 'x')");
    t.SetFiltered(true);
    EXPECT_EQ(t.RecordCount(), 30);
  });
  t.SetFiltered(false);
  TBookmark bm;
  Try("bookmark", [&] {
    t.Last();
    bm = t.GetBookmark();
    t.Delete();
    t.GotoBookmark(bm);
  });
  Try("query rows", [&] {
    TQuery q;
    q.SetDatabaseName(dir.Path());
    q.SQL.Add("SELECT * FROM HOST");
    q.Open();
    EXPECT_EQ(q.ReadRows(0, big).size(), 29u);
    q.ReadRows(small, small);
    q.SetRecNo(big);
    q.MoveBy(small);
  });
  for (const QString& n : {QString(), QString(QChar(0)), Huge(), QString("../HOST.DB"), QString("*")}) {
    Try("probe", [&] { Dbi::ProbeTable(dir.Path(), n, false); });
    Try("props", [&] { Dbi::GetCursorProps(dir.Path(), n); });
    Try("in use", [&] { Dbi::IsTableInUse(dir.Path(), n); });
    EXPECT_EQ(Dbi::DeleteTableAuxFiles(dir.Path(), n), 0) << n.left(10).toStdString();
  }
  EXPECT_EQ(QDir(dir.Path()).entryList({"HOST.*"}, QDir::Files).size(), 4) << "a companion went";
  EXPECT_TRUE(faults.isEmpty()) << faults.join("\n").toStdString();
}

// Descriptions a program could build from what it read: refused, or created and read back as given.
TEST(HostileNames, TableFieldAndIndexNamesAreRefusedOrKeptExactly) {
  TempDir dir;
  const QStringList names = {QString("A\"B"), QString("A'B"), QString("A") + QChar(0) + "B", QString(100000, QChar('N')),
                             QString::fromUtf8("Qté_é"), QString("rowid"), QString("zelm_fields"), QString(" ")};
  int n = 0;
  for (const QString& name : names) {
    CRTblDesc d;
    d.szTblName = QString("N%1.DB").arg(++n);
    d.fields = {Fld(name, fldZSTRING, 10), Fld("V", fldINT32)};
    d.indexes = {Idx("", {1}, true), Idx(name, {2}, false)};
    const int rc = Dbi::CreateTable(dir.Path(), d);
    if (rc != DBIERR_NONE) {
      EXPECT_FALSE(Dbi::LastErrorText().contains("sqlite", Qt::CaseInsensitive)) << Dbi::LastErrorText().toStdString();
      continue;
    }
    const std::vector<FLDDesc> got = Dbi::GetFieldDescs(dir.Path(), d.szTblName);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].szName, name);
    TTable t;
    OpenIn(t, dir.Path(), d.szTblName);
    t.Append();
    t.FieldByName(name)->AsString = "x'\"";
    t.FieldByName("V")->AsInteger = 1;
    t.Post();
    EXPECT_TRUE(t.Locate(name, "x'\""));
    t.SetIndexName(name);
    EXPECT_EQ(t.RecordCount(), 1);
  }
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
  ASSERT_EQ(Dbi::CreateTable(dir.Path(), AutoTable(true)), DBIERR_NONE);
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
    CRTblDesc d = AutoTable(false);
    d.szTblName = "NEW.DB";
    expectCode("create", Dbi::CreateTable(dir.Path(), d));
    expectCode("create over", Dbi::CreateTable(dir.Path(), AutoTable(false), true));
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
    CRTblDesc d = AutoTable(true);
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
    if (d.szTblName == "Ha.DB") {
      ASSERT_EQ(Dbi::CreateTable(dir.Path(), d), DBIERR_NONE);
    }
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

// A rebuild or a pack that meets the full disk leaves the table as it was, and nothing aside.
TEST(FullDisk, ARebuildThatCannotBeWrittenLeavesTheTableAsItWas) {
  TempDir dir;
  ASSERT_EQ(Dbi::CreateTable(dir.Path(), AutoTable(true)), DBIERR_NONE);
  RawSql(dir.File("AUTO.DB"), "WITH RECURSIVE n(v) AS (SELECT 1 UNION ALL SELECT v + 1 FROM n WHERE v < 30000) "
                              "INSERT INTO AUTO SELECT v, 'ligne' FROM n");
  Dbi::WriteAutoIncCounter(dir.Path(), "AUTO.DB", 30000);
  const QStringList before = QDir(dir.Path()).entryList(QDir::Files | QDir::Hidden);
  const qint64 size = QFileInfo(dir.File("AUTO.DB")).size();
  const QString report = InChild(
      [&] {
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit r{rlim_t(size / 2), rlim_t(size / 2)};
        return ::setrlimit(RLIMIT_FSIZE, &r) == 0 ? QString() : QString("setrlimit");
      },
      [&] {
        QString out;
        if (Dbi::PackTable(dir.Path(), "AUTO.DB") == DBIERR_NONE) out += "pack reported as done; ";
        else if (!Dbi::LastErrorText().contains("disque")) out += "pack: " + Dbi::LastErrorText() + "; ";
        CRTblDesc d;
        d.szTblName = "AUTO.DB";
        IDXDesc x = Idx("iS", {2}, false);
        d.indexes = {x};
        if (Dbi::DoRestructure(dir.Path(), d) == DBIERR_NONE) out += "restructure reported as done; ";
        else if (!Dbi::LastErrorText().contains("disque")) out += "restructure: " + Dbi::LastErrorText() + "; ";
        return out;
      });
  EXPECT_TRUE(report.isEmpty()) << report.toStdString();
  EXPECT_EQ(QDir(dir.Path()).entryList(QDir::Files | QDir::Hidden), before);
  EXPECT_EQ(RawSql(dir.File("AUTO.DB"), "SELECT count(*) FROM AUTO"), QStringList{"30000"});
  EXPECT_EQ(Dbi::GetIndexDescs(dir.Path(), "AUTO.DB").size(), 1u);
  int32_t v = 0;
  ASSERT_TRUE(Dbi::ReadAutoIncCounter(dir.Path(), "AUTO.DB", v));
  EXPECT_EQ(v, 30000);
}

}  // namespace
