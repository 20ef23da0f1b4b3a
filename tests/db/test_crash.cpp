// A writer killed at random moments (kill -9) in the middle of transactions over several table
// files: every transaction is found whole or absent, every file sound. Also with more files in
// one transaction than one SQLite connection can attach.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>
#include <csignal>
#include <fcntl.h>
#include <map>
#include <random>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include "DbTestUtil.h"
#include "platform/db/Query.h"
#include "platform/db/EngineCore.h"
#include "platform/db/GroupCommit.h"
#include "platform/db/Table.h"
#include "platform/db/Transaction.h"
#include "support/TestSupport.h"

extern char** environ;

namespace {

CRTblDesc KDesc(int i) {
  CRTblDesc d;
  d.szTblName = QString("K%1.DB").arg(i, 2, 10, QChar('0'));
  d.fields = {Fld("Tx", fldINT32), Fld("N", fldINT32), Fld("S", fldZSTRING, 20)};
  d.indexes = {Idx("", {1, 2}, true)};
  return d;
}

// Keyed by its counter alone: a key handed out twice would be stored twice.
CRTblDesc ADesc() {
  CRTblDesc d;
  d.szTblName = "A.DB";
  d.fields = {Fld("Id", fldINT32, 1, fldstAUTOINC), Fld("Tx", fldINT32)};
  return d;
}

void OpenIn(TTable& t, const QString& dir, const QString& name) {
  t.SetDatabaseName(dir);
  t.SetTableName(name);
  t.Open();
}

pid_t StartWriter(const QString& folder, int tables) {
  const QByteArray f = QFile::encodeName(folder),
                   n = tables > 0 ? QByteArray::number(tables) : tables == 0 ? QByteArray("rebuild") : QByteArray("autoinc");
  const QByteArray writer = qEnvironmentVariableIsSet("ZELM_CRASH_WRITER") ? qgetenv("ZELM_CRASH_WRITER") : CRASH_WRITER;
  char* argv[] = {const_cast<char*>(writer.constData()), const_cast<char*>(f.constData()), const_cast<char*>(n.constData()),
                  nullptr};
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  posix_spawn(&pid, writer.constData(), &fa, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&fa);
  return pid;
}

// Starts the writer, kills it after `ms` milliseconds; false when it had already stopped by itself.
bool KillWriterAfter(const QString& folder, int tables, int ms) {
  const pid_t pid = StartWriter(folder, tables);
  if (pid <= 0) return false;
  ::usleep(useconds_t(ms) * 1000);
  ::kill(pid, SIGKILL);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFSIGNALED(status);
}

struct Outcome {
  QString torn;       // empty when every transaction is whole or absent
  int transactions = 0;
};

// Counts the rows of each transaction in every table, through the engine (which rolls back what
// the killed writer left half done), then checks each file with SQLite's integrity check.
Outcome Check(const QString& folder, int tables) {
  Outcome out;
  std::map<int, int> first;
  for (int i = 1; i <= tables; ++i) {
    TQuery q;
    q.SetDatabaseName(folder);
    q.SQL.Add(QString("SELECT Tx, count(*) AS C FROM K%1 GROUP BY Tx").arg(i, 2, 10, QChar('0')));
    q.Open();
    std::map<int, int> counts;
    for (; !q.Eof(); q.Next()) counts[q.FieldByName("Tx")->AsInteger] = q.FieldByName("C")->AsInteger;
    q.Close();
    const int want = i == 1 ? 2000 : 1;
    for (auto& [tx, c] : counts)
      if (c != want) out.torn += QString("K%1 holds %2 rows of transaction %3; ").arg(i).arg(c).arg(tx);
    if (i == 1) {
      first = counts;
      out.transactions = int(counts.size());
    } else if (counts.size() != first.size() || !std::equal(counts.begin(), counts.end(), first.begin(),
                                                             [](auto& a, auto& b) { return a.first == b.first; })) {
      out.torn += QString("K%1 holds %2 transactions, K01 %3; ").arg(i).arg(counts.size()).arg(first.size());
    }
  }
  // The auto-increment table: one row of each transaction of K01, no key twice, and the next
  // key past every key stored whatever the kill left in the header.
  {
    TQuery q;
    q.SetDatabaseName(folder);
    q.SQL.Add("SELECT Tx, count(*) AS C FROM A GROUP BY Tx");
    q.Open();
    std::map<int, int> counts;
    for (; !q.Eof(); q.Next()) counts[q.FieldByName("Tx")->AsInteger] = q.FieldByName("C")->AsInteger;
    q.Close();
    for (auto& [tx, c] : counts)
      if (c != 1 || !first.count(tx)) out.torn += QString("A holds %1 rows of transaction %2; ").arg(c).arg(tx);
    if (counts.size() != first.size()) out.torn += QString("A holds %1 transactions, K01 %2; ").arg(counts.size()).arg(first.size());
    const QStringList keys = RawSql(folder + "A.DB", "SELECT count(*) - count(DISTINCT Id), ifnull(max(Id), 0) FROM A");
    if (keys.size() != 1 || keys[0].section('|', 0, 0) != "0") out.torn += "A holds a key twice; ";
    int32_t header = 0;
    if (!dbe::ReadCounterRaw(folder + "A.DB", header) || header < keys.value(0).section('|', 1).toInt())
      out.torn += QString("A's counter %1 is behind its keys (%2); ").arg(header).arg(keys.value(0));
    TTable a;
    a.SetDatabaseName(folder);
    a.SetTableName("A.DB");
    a.Open();
    a.Append();
    a.FieldByName("Tx")->AsInteger = -1;
    a.Post();
    if (a.FieldByName("Id")->AsInteger() <= keys.value(0).section('|', 1).toInt())
      out.torn += QString("A's next key %1 is not past %2; ").arg(a.FieldByName("Id")->AsInteger()).arg(keys.value(0));
    a.Delete();
  }
  for (int i = 0; i <= tables; ++i) {
    const QString path = folder + (i ? KDesc(i).szTblName : QString("A.DB"));
    const QStringList ok = RawSql(path, "PRAGMA integrity_check");
    if (ok != QStringList{"ok"}) out.torn += QString("%1: %2; ").arg(path, ok.join(' '));
  }
  return out;
}

class CrashTest : public ::testing::TestWithParam<int> {};

TEST_P(CrashTest, EveryTransactionWholeOrAbsentAfterKill) {
  const int tables = GetParam();
  const int runs = qEnvironmentVariableIntValue("ZELM_CRASH_RUNS") > 0 ? qEnvironmentVariableIntValue("ZELM_CRASH_RUNS") : 30;
  TempDir dir;
  std::mt19937 rng(12345 + tables);
  std::uniform_int_distribution<int> delay(20, 400);
  QElapsedTimer clock;
  clock.start();
  int stored = 0, total = 0, last = 0, journals = 0, supers = 0;
  for (int run = 0; run < runs; ++run) {
    if (run % 10 == 0) {  // fresh tables now and then: checking stays quick however many runs
      for (int i = 1; i <= tables; ++i) ASSERT_EQ(Dbi::CreateTable(dir.Path(), KDesc(i), true), DBIERR_NONE);
      ASSERT_EQ(Dbi::CreateTable(dir.Path(), ADesc(), true), DBIERR_NONE);
    }
    ASSERT_TRUE(KillWriterAfter(dir.Path(), tables, delay(rng))) << "the writer stopped by itself in run " << run;
    // What the kill left behind: journals of a transaction being written, its super-journal.
    const QStringList left = QDir(dir.Path()).entryList(QDir::Files | QDir::Hidden);
    journals += !left.filter("-journal").isEmpty();
    supers += !left.filter(QRegularExpression("^\\.zelm-.*-mj$")).isEmpty();
    const Outcome o = Check(dir.Path(), tables);
    total += o.transactions - (run % 10 ? last : 0);
    last = o.transactions;
    ASSERT_TRUE(o.torn.isEmpty()) << "run " << run << ": " << o.torn.toStdString();
    stored = std::max(stored, o.transactions);
  }
  // The kills must have landed while transactions were being written, not only before the first.
  EXPECT_GT(stored, 0);
  std::printf("%d runs over %d tables: %d transactions stored, none torn; %d kills left journals to roll back, %d a "
              "super-journal; %lld ms\n",
              runs, tables, total, journals, supers, static_cast<long long>(clock.elapsed()));
}

// A join inside a transaction over tables written on different connections: the join sees the
// rows of the transaction, stores none of them, and a rollback undoes every one.
class JoinInTransaction : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 1; i <= 12; ++i) {
      ASSERT_EQ(Dbi::CreateTable(dir.Path(), KDesc(i)), DBIERR_NONE);
      t.push_back(std::make_unique<TTable>());
      t.back()->SetDatabaseName(dir.Path());
      t.back()->SetTableName(KDesc(i).szTblName);
      t.back()->Open();  // ten files on one connection, two on another
    }
  }
  void Add(int i, int tx) {
    t[i]->Append();
    t[i]->FieldByName("Tx")->AsInteger = tx;
    t[i]->FieldByName("N")->AsInteger = i;
    t[i]->Post();
  }
  int Joined(const QString& a, const QString& b) {
    TQuery q;
    q.SetDatabaseName(dir.Path());
    q.SQL.Add(QString("SELECT count(*) AS C FROM %1 A, %2 B WHERE A.Tx = B.Tx").arg(a, b));
    q.Open();
    return q.FieldByName("C")->AsInteger();
  }
  int Stored() {
    int n = 0;
    for (int i = 1; i <= 12; ++i)
      n += RawSql(dir.Path() + KDesc(i).szTblName, QString("SELECT count(*) FROM K%1").arg(i, 2, 10, QChar('0'))).value(0).toInt();
    return n;
  }
  TempDir dir;
  std::vector<std::unique_ptr<TTable>> t;
};

TEST_F(JoinInTransaction, ItSeesTheTransactionsRowsAndTheRollbackUndoesThemAll) {
  {
    TDbTransaction tx(dir.Path());
    Add(0, 1);
    Add(10, 1);
    EXPECT_EQ(Joined("K01", "K11"), 1);
    EXPECT_EQ(Stored(), 0);
    // A statement that writes, joining two other tables, inside the same transaction.
    TQuery q;
    q.SetDatabaseName(dir.Path());
    q.SQL.Add("INSERT INTO K12 (Tx, N, S) SELECT A.Tx, 99, 'j' FROM K01 A, K11 B WHERE A.Tx = B.Tx");
    q.ExecSQL();
    EXPECT_EQ(Joined("K12", "K01"), 1);
    EXPECT_EQ(Stored(), 0);
    EXPECT_NO_THROW(tx.Rollback());
  }
  EXPECT_EQ(Stored(), 0);
  EXPECT_EQ(Joined("K01", "K11"), 0);
  // Committed, the same transaction stores all of it.
  {
    TDbTransaction tx(dir.Path());
    Add(0, 2);
    Add(10, 2);
    EXPECT_EQ(Joined("K11", "K01"), 1);
    tx.Commit();
  }
  EXPECT_EQ(Stored(), 2);
}

// Every table written: more than one connection holds the transaction's rows. A join that would
// have to store part of the transaction to run is refused; the transaction stays whole.
TEST_F(JoinInTransaction, WhenItCannotRunWithoutStoringItIsRefusedAndTheTransactionStaysWhole) {
  {
    TDbTransaction tx(dir.Path());
    for (int i = 0; i < 12; ++i) Add(i, 1);
    const int code = [&] {
      try {
        Joined("K01", "K12");
      } catch (const EDBEngineError& e) {
        return e.ErrorCode();
      }
      return 0;
    }();
    EXPECT_TRUE(code == 0 || code == DBIERR_FILEBUSY) << code;
    EXPECT_EQ(Stored(), 0);
    EXPECT_NO_THROW(tx.Rollback());
  }
  EXPECT_EQ(Stored(), 0);
  {
    TDbTransaction tx(dir.Path());
    for (int i = 0; i < 12; ++i) Add(i, 2);
    tx.Commit();
  }
  EXPECT_EQ(Stored(), 12);
}

// ---- a commit over two connections that fails half way ----

// A VFS over the engine's that fails the writes into one database file once armed.
sqlite3_vfs* g_under = nullptr;
sqlite3_vfs g_faulty;
std::string g_failing;  // path of the file whose writes fail
bool g_armed = false;

struct FaultFile {
  sqlite3_file base;
  sqlite3_file* real;
  bool fails;
};
sqlite3_io_methods g_faultMethods;

sqlite3_file* Under(sqlite3_file* f) { return reinterpret_cast<FaultFile*>(f)->real; }

int FaultOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* f, int flags, int* out) {
  FaultFile* z = reinterpret_cast<FaultFile*>(f);
  z->real = reinterpret_cast<sqlite3_file*>(z + 1);
  z->base.pMethods = nullptr;
  const int rc = g_under->xOpen(g_under, name, z->real, flags, out);
  if (rc != SQLITE_OK || !z->real->pMethods) return rc;
  z->fails = name && (flags & SQLITE_OPEN_MAIN_DB) && g_failing == name;
  // Every method but xWrite passes straight through.
  g_faultMethods = *z->real->pMethods;
  g_faultMethods.xClose = [](sqlite3_file* f) { return Under(f)->pMethods->xClose(Under(f)); };
  g_faultMethods.xRead = [](sqlite3_file* f, void* b, int n, sqlite3_int64 o) { return Under(f)->pMethods->xRead(Under(f), b, n, o); };
  g_faultMethods.xWrite = [](sqlite3_file* f, const void* b, int n, sqlite3_int64 o) {
    if (g_armed && reinterpret_cast<FaultFile*>(f)->fails) return SQLITE_IOERR_WRITE;
    return Under(f)->pMethods->xWrite(Under(f), b, n, o);
  };
  g_faultMethods.xTruncate = [](sqlite3_file* f, sqlite3_int64 n) { return Under(f)->pMethods->xTruncate(Under(f), n); };
  g_faultMethods.xSync = [](sqlite3_file* f, int fl) { return Under(f)->pMethods->xSync(Under(f), fl); };
  g_faultMethods.xFileSize = [](sqlite3_file* f, sqlite3_int64* n) { return Under(f)->pMethods->xFileSize(Under(f), n); };
  g_faultMethods.xLock = [](sqlite3_file* f, int l) { return Under(f)->pMethods->xLock(Under(f), l); };
  g_faultMethods.xUnlock = [](sqlite3_file* f, int l) { return Under(f)->pMethods->xUnlock(Under(f), l); };
  g_faultMethods.xCheckReservedLock = [](sqlite3_file* f, int* r) { return Under(f)->pMethods->xCheckReservedLock(Under(f), r); };
  g_faultMethods.xFileControl = [](sqlite3_file* f, int op, void* a) { return Under(f)->pMethods->xFileControl(Under(f), op, a); };
  g_faultMethods.xSectorSize = [](sqlite3_file* f) { return Under(f)->pMethods->xSectorSize(Under(f)); };
  g_faultMethods.xDeviceCharacteristics = [](sqlite3_file* f) { return Under(f)->pMethods->xDeviceCharacteristics(Under(f)); };
  g_faultMethods.iVersion = 1;
  z->base.pMethods = &g_faultMethods;
  return rc;
}

sqlite3* OpenFaulty(const QString& path, const char* schema) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, "faulty");
  const std::string sql = "ATTACH '" + path.toStdString() + "' AS " + schema;
  sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
  return db;
}

TEST(GroupCommit, ACommitThatFailsOnOneConnectionStoresNothingAnywhere) {
  TempDir dir;
  const QString a = dir.Path() + "A.DB", b = dir.Path() + "B.DB";
  RawSql(a, "CREATE TABLE t(x); INSERT INTO t VALUES(0)");
  RawSql(b, "CREATE TABLE t(x); INSERT INTO t VALUES(0)");
  g_under = sqlite3_vfs_find(dbe::GroupVfsName());
  g_faulty = *g_under;
  g_faulty.zName = "faulty";
  g_faulty.szOsFile = int(sizeof(FaultFile)) + g_under->szOsFile;
  g_faulty.xOpen = FaultOpen;
  sqlite3_vfs_register(&g_faulty, 0);
  g_failing = QFileInfo(b).canonicalFilePath().toStdString();
  sqlite3* c1 = OpenFaulty(QFileInfo(a).canonicalFilePath(), "a");
  sqlite3* c2 = OpenFaulty(QFileInfo(b).canonicalFilePath(), "b");
  ASSERT_EQ(sqlite3_exec(c1, "BEGIN; WITH RECURSIVE n(v) AS (SELECT 1 UNION ALL SELECT v + 1 FROM n WHERE v < 500) INSERT INTO a.t SELECT v FROM n", nullptr, nullptr, nullptr),
            SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(c2, "BEGIN; INSERT INTO b.t VALUES(1)", nullptr, nullptr, nullptr), SQLITE_OK);
  g_armed = true;
  // The first connection writes its file, then waits for the second, whose file refuses the
  // write: the first must come back too.
  const std::vector<int> rcs = dbe::CommitTogether(
      dir.Path(), {c1, c2}, {QFileInfo(a).canonicalFilePath() + "-journal", QFileInfo(b).canonicalFilePath() + "-journal"});
  g_armed = false;
  ASSERT_EQ(rcs.size(), 2u);
  EXPECT_NE(rcs[0], SQLITE_OK);
  EXPECT_NE(rcs[1], SQLITE_OK);
  sqlite3_close_v2(c1);
  sqlite3_close_v2(c2);
  EXPECT_EQ(RawSql(a, "SELECT count(*) FROM t"), QStringList{"1"});
  EXPECT_EQ(RawSql(b, "SELECT count(*) FROM t"), QStringList{"1"});
  EXPECT_EQ(RawSql(a, "PRAGMA integrity_check"), QStringList{"ok"});
  EXPECT_EQ(RawSql(b, "PRAGMA integrity_check"), QStringList{"ok"});
  EXPECT_EQ(QDir(dir.Path()).entryList(QDir::Files | QDir::Hidden), QStringList({"A.DB", "B.DB"}));
  // Unarmed, the same commit stores both.
  c1 = OpenFaulty(QFileInfo(a).canonicalFilePath(), "a");
  c2 = OpenFaulty(QFileInfo(b).canonicalFilePath(), "b");
  sqlite3_exec(c1, "BEGIN; INSERT INTO a.t VALUES(1)", nullptr, nullptr, nullptr);
  sqlite3_exec(c2, "BEGIN; INSERT INTO b.t VALUES(1)", nullptr, nullptr, nullptr);
  EXPECT_EQ(dbe::CommitTogether(dir.Path(), {c1, c2},
                                {QFileInfo(a).canonicalFilePath() + "-journal", QFileInfo(b).canonicalFilePath() + "-journal"}),
            std::vector<int>({SQLITE_OK, SQLITE_OK}));
  sqlite3_close_v2(c1);
  sqlite3_close_v2(c2);
  EXPECT_EQ(RawSql(a, "SELECT count(*) FROM t"), QStringList{"2"});
  EXPECT_EQ(RawSql(b, "SELECT count(*) FROM t"), QStringList{"2"});
  EXPECT_EQ(QDir(dir.Path()).entryList(QDir::Files | QDir::Hidden), QStringList({"A.DB", "B.DB"}));
}

// Rows posted one by one into an auto-increment table, killed at random moments: the header's
// counter is never behind a key stored, whatever moment the kill chose (so not even a key whose
// row is deleted afterwards can be handed out again).
TEST(AutoIncKilled, TheHeadersCounterIsNeverBehindAKeyStored) {
  const int runs = qEnvironmentVariableIntValue("ZELM_CRASH_RUNS") > 0 ? qEnvironmentVariableIntValue("ZELM_CRASH_RUNS") : 30;
  TempDir dir;
  ASSERT_EQ(Dbi::CreateTable(dir.Path(), ADesc(), true), DBIERR_NONE);
  std::mt19937 rng(777);
  std::uniform_int_distribution<int> delay(20, 200);
  int behind = 0;
  for (int run = 0; run < runs; ++run) {
    ASSERT_TRUE(KillWriterAfter(dir.Path(), -1, delay(rng))) << "the writer stopped by itself in run " << run;
    // (Reading the rows first rolls back what the kill left half written.)
    const int top = RawSql(dir.File("A.DB"), "SELECT ifnull(max(Id), 0) FROM A").value(0).toInt();
    int32_t counter = 0;
    ASSERT_TRUE(dbe::ReadCounterRaw(dir.File("A.DB"), counter));
    if (counter < top) behind++;
  }
  EXPECT_EQ(behind, 0) << "of " << runs << " kills";
  EXPECT_EQ(RawSql(dir.File("A.DB"), "SELECT count(*) - count(DISTINCT Id) FROM A"), QStringList{"0"});
}

// Packs and index rebuilds killed at random moments: the table is found whole with its rows, its
// indexes and a counter past its keys, and no rebuild leaves a file of its own behind.
TEST(RebuildKilled, TheTableIsWholeAndNothingIsLeftBehind) {
  const int runs = qEnvironmentVariableIntValue("ZELM_CRASH_RUNS") > 0 ? qEnvironmentVariableIntValue("ZELM_CRASH_RUNS") : 25;
  TempDir dir;
  CRTblDesc d;
  d.szTblName = "R.DB";
  d.fields = {Fld("Id", fldINT32, 1, fldstAUTOINC), Fld("N", fldINT32), Fld("S", fldZSTRING, 20)};
  d.indexes = {Idx("", {1}, true)};
  ASSERT_EQ(Dbi::CreateTable(dir.Path(), d), DBIERR_NONE);
  {
    TTable t;
    t.SetDatabaseName(dir.Path());
    t.SetTableName("R.DB");
    t.Open();
    TDbTransaction tx(dir.Path());
    for (int i = 0; i < 20000; ++i) {
      t.Append();
      t.FieldByName("N")->AsInteger = i;
      t.FieldByName("S")->AsString = QString("ligne %1").arg(i % 977);
      t.Post();
    }
    tx.Commit();
  }
  std::mt19937 rng(4242);
  std::uniform_int_distribution<int> delay(5, 250);
  int rows = 20000;
  for (int run = 0; run < runs; ++run) {
    ASSERT_TRUE(KillWriterAfter(dir.Path(), 0, delay(rng))) << "the rebuilder stopped by itself in run " << run;
    {
      TTable t;
      t.SetDatabaseName(dir.Path());
      t.SetTableName("R.DB");
      ASSERT_NO_THROW(t.Open()) << "run " << run;
      ASSERT_EQ(t.RecordCount(), rows) << "run " << run;
      t.Last();
      const int last = t.FieldByName("Id")->AsInteger();
      // The header's counter itself is never lost by a pack (which clears it in the file it builds).
      int32_t counter = 0;
      ASSERT_TRUE(Dbi::ReadAutoIncCounter(dir.Path(), "R.DB", counter));
      EXPECT_GE(counter, last) << "run " << run;
      t.Append();
      t.FieldByName("N")->AsInteger = -1 - run;
      t.Post();
      ASSERT_GT(t.FieldByName("Id")->AsInteger(), last) << "run " << run;
      rows++;
    }
    EXPECT_EQ(RawSql(dir.File("R.DB"), "PRAGMA integrity_check"), QStringList{"ok"}) << "run " << run;
    EXPECT_EQ(RawSql(dir.File("R.DB"), "SELECT count(*) FROM R WHERE N < 20000 AND N >= 0"), QStringList{"20000"});
    std::vector<IDXDesc> idx = Dbi::GetIndexDescs(dir.Path(), "R.DB");
    ASSERT_FALSE(idx.empty()) << "run " << run;
    EXPECT_TRUE(idx.front().bPrimary) << "run " << run;
    // What a kill left aside goes at the next rebuild of the table.
    const QStringList left = QDir(dir.Path()).entryList(QDir::Files | QDir::Hidden).filter(QRegularExpression("\\.tmp$"));
    EXPECT_LE(left.size(), 1) << "run " << run << ": " << left.join(' ').toStdString();
  }
  EXPECT_EQ(Dbi::PackTable(dir.Path(), "R.DB"), DBIERR_NONE);
  EXPECT_EQ(QDir(dir.Path()).entryList(QDir::Files | QDir::Hidden).filter(".tmp"), QStringList());
}

// Killed between the table's swap and its companions: the next open puts the companions written
// aside in place instead of dropping the indexes; those of a rebuild that never swapped go.
TEST(RebuildKilled, TheNextOpenFinishesTheCompanionsOfTheSwappedTable) {
  TempDir dir;
  ASSERT_EQ(Dbi::CreateTable(dir.Path(), ClientDesc()), DBIERR_NONE);
  const QStringList companions = QDir(dir.Path()).entryList({"CLIENT.PX", "CLIENT.X*", "CLIENT.Y*"}, QDir::Files);
  ASSERT_EQ(companions.size(), qsizetype(2 * ClientDesc().indexes.size() - 1));
  for (const QString& n : companions) ASSERT_TRUE(QFile::rename(dir.File(n), dir.File(n + ".pending")));
  {
    QFile stale(dir.File("CLIENT.X09.pending"));
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write("ZELM index\ntable=CLIENT.DB\nstamp=0\nindex=iOld\nprimary=0\nfields=2\n");
  }
  TTable t;
  OpenIn(t, dir.Path(), "CLIENT");
  t.Close();
  EXPECT_EQ(Dbi::GetIndexDescs(dir.Path(), "CLIENT.DB").size(), ClientDesc().indexes.size());
  EXPECT_EQ(QDir(dir.Path()).entryList({"CLIENT.PX", "CLIENT.X*", "CLIENT.Y*"}, QDir::Files), companions);
  EXPECT_EQ(QDir(dir.Path()).entryList({"*.pending"}, QDir::Files), QStringList());
}

// What a folder's first use in a program sweeps: the rebuilds nobody is building.
TEST(RebuildKilled, TheSweepLeavesARebuildUnderWay) {
  TempDir dir;
  ASSERT_EQ(Dbi::CreateTable(dir.Path(), KDesc(1)), DBIERR_NONE);
  for (const char* n : {".K01.DB.0123abcd.tmp", ".K01.DB.0123abcd.tmp-journal", ".GONE.DB.89abcdef.tmp", ".NEW.DB.01234567.tmp",
                        ".K01.DB.notmine.tmp"}) {
    QFile f(dir.File(n));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  }
  // A new table's file is only left to a creation under way while it is recent.
  {
    QFile gone(dir.File(".GONE.DB.89abcdef.tmp"));
    ASSERT_TRUE(gone.open(QIODevice::ReadWrite));
    ASSERT_TRUE(gone.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
  }
  // Another process rebuilding K01 holds its lock: its file stays.
  const int held = ::open(QFile::encodeName(dir.File("K01.DB")).constData(), O_RDONLY);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  dbe::SweepRebuilds(dir.Path());
  EXPECT_EQ(QDir(dir.Path()).entryList(QDir::Files | QDir::Hidden).filter(".tmp"),
            QStringList({".K01.DB.0123abcd.tmp", ".K01.DB.0123abcd.tmp-journal", ".K01.DB.notmine.tmp", ".NEW.DB.01234567.tmp"}));
  ::close(held);
  dbe::SweepRebuilds(dir.Path());
  EXPECT_EQ(QDir(dir.Path()).entryList(QDir::Files | QDir::Hidden).filter(".tmp"),
            QStringList({".K01.DB.notmine.tmp", ".NEW.DB.01234567.tmp"}));
}

// Two files (as in a takings save with its counter table), and twelve (more than the ten files
// one connection attaches: the transaction spans two connections).
INSTANTIATE_TEST_SUITE_P(Files, CrashTest, ::testing::Values(2, 12));

}  // namespace
