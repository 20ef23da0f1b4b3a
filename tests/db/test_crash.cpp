// A writer killed at random moments (kill -9) in the middle of transactions over several table
// files: every transaction is found whole or absent, every file sound. Also with more files in
// one transaction than one SQLite connection can attach.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <csignal>
#include <fcntl.h>
#include <map>
#include <random>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "DbTestUtil.h"
#include "platform/db/Query.h"
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

pid_t StartWriter(const QString& folder, int tables) {
  const QByteArray f = QFile::encodeName(folder), n = QByteArray::number(tables);
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
  for (int i = 1; i <= tables; ++i) {
    const QString path = folder + KDesc(i).szTblName;
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
    }
    const pid_t pid = StartWriter(dir.Path(), tables);
    ASSERT_GT(pid, 0);
    ::usleep(useconds_t(delay(rng)) * 1000);
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself in run " << run;
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

// A join inside a transaction that needs two written tables of different connections on one
// connection stores the transaction so far, all of it together (the tables cannot move while
// their rows are pending), and says so if the transaction is then rolled back.
TEST(CrashTestJoin, AJoinThatMovesAWrittenTableStoresTheWholeTransactionSoFar) {
  TempDir dir;
  std::vector<std::unique_ptr<TTable>> t;
  for (int i = 1; i <= 12; ++i) {
    ASSERT_EQ(Dbi::CreateTable(dir.Path(), KDesc(i)), DBIERR_NONE);
    t.push_back(std::make_unique<TTable>());
    t.back()->SetDatabaseName(dir.Path());
    t.back()->SetTableName(KDesc(i).szTblName);
    t.back()->Open();  // ten files on one connection, two on another
  }
  TDbTransaction tx(dir.Path());
  for (int i : {0, 10}) {
    t[i]->Append();
    t[i]->FieldByName("Tx")->AsInteger = 1;
    t[i]->FieldByName("N")->AsInteger = i;
    t[i]->Post();
  }
  EXPECT_EQ(RawSql(dir.Path() + "K01.DB", "SELECT count(*) FROM K01"), QStringList{"0"});
  TQuery q;
  q.SetDatabaseName(dir.Path());
  q.SQL.Add("SELECT count(*) AS C FROM K01 A, K11 B WHERE A.Tx = B.Tx");
  q.Open();
  EXPECT_EQ(q.FieldByName("C")->AsInteger(), 1);
  EXPECT_EQ(RawSql(dir.Path() + "K01.DB", "SELECT count(*) FROM K01"), QStringList{"1"});
  EXPECT_EQ(RawSql(dir.Path() + "K11.DB", "SELECT count(*) FROM K11"), QStringList{"1"});
  try {
    tx.Rollback();
    ADD_FAILURE() << "the rollback did not say that rows were already stored";
  } catch (const EDBEngineError& e) {
    EXPECT_EQ(e.ErrorCode(), DBIERR_ROLLEDBACK);
  }
}

// Two files (as in a takings save with its counter table), and twelve (more than the ten files
// one connection attaches: the transaction spans two connections).
INSTANTIATE_TEST_SUITE_P(Files, CrashTest, ::testing::Values(2, 12));

}  // namespace
