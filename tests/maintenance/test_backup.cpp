// The manual backup: every table with its companion files, written whole or not at all.
#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <csignal>
#include <cstring>
#include <sqlite3.h>
#include <unistd.h>
#include <QFileInfo>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include "MaintFixture.h"
#include "maintenance/MaintCommon.h"
#include "maintenance/USaveRestore.h"
#include "platform/sys/Files.h"
#include "shell/global.h"

namespace {
QStringList DataFiles() {
  QStringList out;
  for (const QString& n : QDir(DataPath).entryList(QDir::Files))
    if (!IsEngineSideFile(n)) out << n;
  out.sort();
  return out;
}
}  // namespace

TEST_F(MaintTest, BackupHoldsEveryTableAndReplacesTheEarlierOne) {
  FillSample();
  const QString out = dir.Path() + "sauve";
  QDir().mkpath(out);
  WriteFile(DataPath + "notes.txt", "pas une table");
  WriteFile(DataPath + "CLIENT.DB-journal", "");  // the engine's, never archived

  TfrmSaveRestore f;
  SetSaveMode(&f);
  f.show();
  EXPECT_EQ(f.windowTitle(), "Sauvegarde");
  EXPECT_TRUE(f.btnSave->isVisible());
  EXPECT_FALSE(f.btnRestore->isVisible());
  dlg->QueueFileName(out);
  QTest::mouseClick(f.btnSave, Qt::LeftButton);
  EXPECT_EQ(dlg->Messages(), QStringList());
  EXPECT_EQ(dlg->Asked().at(0).text, "Choisir l'endroit où sauvegarder.");

  QStringList expected = DataFiles();
  expected.removeAll("notes.txt");
  const QStringList names = UnzipNames(out + "/ZELM.zip");
  EXPECT_EQ(names, expected);
  QStringList tables = names.filter(QRegularExpression("\\.db$", QRegularExpression::CaseInsensitiveOption));
  QStringList schema = AppTables();
  tables.sort();
  schema.sort();
  EXPECT_EQ(tables, schema);
  EXPECT_TRUE(names.contains("CLIENT.X02"));
  const QByteArray first = ReadFile(out + "/ZELM.zip");

  // A second backup replaces it; the first goes to the trash, no temporary file stays.
  AddRow("CLIENT.DB", {"0003", 3, "BERNARD"});
  QTest::mouseClick(f.btnSave, Qt::LeftButton);  // no folder chosen: nothing happens
  EXPECT_EQ(ReadFile(out + "/ZELM.zip"), first);
  dlg->QueueFileName(out);
  QTest::mouseClick(f.btnSave, Qt::LeftButton);
  EXPECT_NE(ReadFile(out + "/ZELM.zip"), first);
  EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::Hidden), QStringList{"ZELM.zip"});
  EXPECT_EQ(ReadFile(TrashFolder() + "ZELM.zip"), first);
  EXPECT_TRUE(f.btnSave->isEnabled());
  EXPECT_TRUE(f.btnClose->isEnabled());
  EXPECT_FALSE(f.ProgressBar1->isVisible());
}

TEST_F(MaintTest, ABackupCutShortKeepsTheEarlierArchive) {
  FillSample();
  const QString out = dir.Path() + "sauve/";
  QDir().mkpath(out);
  TZipArchiver zip;
  zip.Unattended = true;
  ASSERT_TRUE(WriteTablesArchive(zip, DataPath, out + "ZELM.zip", false));
  const QByteArray first = ReadFile(out + "ZELM.zip");
  ASSERT_FALSE(first.isEmpty());

  zip.OnProgress = [&](QObject*, ProgressType t, const QString&, qint64) {
    if (t == ProgressUpdate || t == NewFile) zip.Cancel = true;
  };
  EXPECT_FALSE(WriteTablesArchive(zip, DataPath, out + "ZELM.zip", false));
  EXPECT_EQ(ReadFile(out + "ZELM.zip"), first);
  EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::Hidden), QStringList{"ZELM.zip"});
  EXPECT_FALSE(QFileInfo::exists(TrashFolder() + "ZELM.zip"));
}

TEST_F(MaintTest, ABackupOfAGarbageTableSaysWhichTableInFrench) {
  FillSample();
  const QString out = dir.Path() + "sauve/";
  QDir().mkpath(out);
  QFile f(DataPath + "Titre.DB");
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(QByteArray(8192, 'x'));
  f.close();
  TZipArchiver zip;
  zip.Unattended = true;
  dlg->Clear();
  EXPECT_FALSE(WriteTablesArchive(zip, DataPath, out + "ZELM.zip", false));
  ASSERT_EQ(dlg->Messages().size(), 1);
  const QString m = dlg->Messages()[0];
  EXPECT_TRUE(m.contains("Titre.DB") && m.contains("endommagé")) << m.toStdString();
  EXPECT_FALSE(m.contains("database")) << m.toStdString();
  EXPECT_FALSE(QFileInfo::exists(out + "ZELM.zip"));
}

TEST_F(MaintTest, FloppyWithoutDiskAsksUntilCancel) {
  FillSample();
  TfrmSaveRestore f;
  SetSaveMode(&f);
  f.show();
  // "A:" with no folder mapped to it is a drive without a disk.
  dlg->QueueFileName("A:/");
  dlg->QueueAnswer(ModalResult::OK);
  dlg->QueueAnswer(ModalResult::OK);
  dlg->QueueAnswer(ModalResult::Cancel);
  QTest::mouseClick(f.btnSave, Qt::LeftButton);
  EXPECT_EQ(dlg->Messages(), QStringList(3, "Insérer une disquette dans le lecteur SVP."));
  EXPECT_TRUE(f.btnSave->isEnabled());
}

TEST_F(MaintTest, SpecsAndTableNames) {
  // One archive mask per table, each taking the table's companion files with it.
  QStringList expected;
  for (const QString& t : AppTables()) expected << DataPath + t.section('.', 0, 0) + ".*";
  EXPECT_EQ(BackupSpecs(DataPath), expected);
  EXPECT_TRUE(expected.contains(DataPath + "CLIENT.*"));
  EXPECT_TRUE(expected.contains(DataPath + "Region.*"));
  QString t;
  EXPECT_TRUE(IsTableFileName("client.db", &t));
  EXPECT_EQ(t, "CLIENT.DB");
  EXPECT_TRUE(IsTableFileName("REGION.Y02", &t));
  EXPECT_EQ(t, "Region.db");
  EXPECT_TRUE(IsTableFileName("Disto.PX"));
  EXPECT_FALSE(IsTableFileName("notes.txt"));
  EXPECT_FALSE(IsTableFileName("CLIENTS.DB"));     // a longer name is another file
  EXPECT_FALSE(IsTableFileName("CLIENT.DB-journal"));
  EXPECT_FALSE(IsTableFileName("LISTE.TXT"));      // "Liste" is a table, "TXT" not its extension
  EXPECT_FALSE(IsTableFileName("DB"));
}

TEST_F(MaintTest, ALargeTableIsArchivedWholeAndReadsBackElsewhere) {
  // Larger than the pieces the archive library deflates side by side.
  QByteArray big;
  big.reserve(21 << 20);
  unsigned seed = 11;
  while (big.size() < (21 << 20) + 12345) {
    seed = seed * 1103515245u + 12345u;
    big += (seed >> 28) < 4 ? QByteArray::number(seed) : QByteArray("2005-03-01;0001;0002;5;1.20\n");
  }
  WriteFile(DataPath + "Liste.MB", big);
  const QString out = dir.Path() + "sauve/";
  QDir().mkpath(out);
  TZipArchiver zip;
  zip.Unattended = true;
  ASSERT_TRUE(WriteTablesArchive(zip, DataPath, out + "ZELM.zip", false));
  EXPECT_EQ(RunTool("unzip", {"-tq", out + "ZELM.zip"}).code, 0);
  const ToolRun r = RunTool("unzip", {"-o", "-q", out + "ZELM.zip", "Liste.MB", "-d", out + "x"});
  EXPECT_EQ(r.code, 0) << r.out.toStdString();
  EXPECT_TRUE(ReadFile(out + "x/Liste.MB") == big);
}

// Run by the test below in a process of its own: writes into the takings without committing,
// enough for the rows to reach the file, then dies as a killed program does.
TEST(MaintKillChild, WriteThenDie) {
  const QByteArray path = qgetenv("ZELM_KILL_DB");
  if (path.isEmpty()) GTEST_SKIP() << "run by ABackupOfATableWhoseWriterWasKilledHoldsItWhole";
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.constData(), &db), SQLITE_OK);
  sqlite3_create_collation(db, "ZNOCASE", SQLITE_UTF8, nullptr,
                           [](void*, int la, const void* a, int lb, const void* b) {
                             const int c = std::memcmp(a, b, size_t(std::min(la, lb)));
                             return c ? c : la - lb;
                           });
  ASSERT_EQ(sqlite3_exec(db, "PRAGMA cache_size=4; BEGIN", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_stmt* s = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db,
                               "INSERT INTO Disto (DateJ, Id_Client, Id_Titre, Qte_Prise, PU) "
                               "VALUES ('2099-01-01', printf('%04d', ?1 % 10000), printf('%04d', ?1 / 10000), 1, 1.0)",
                               -1, &s, nullptr),
            SQLITE_OK);
  for (int i = 0; i < 20000; ++i) {
    sqlite3_bind_int(s, 1, i);
    ASSERT_EQ(sqlite3_step(s), SQLITE_DONE);
    sqlite3_reset(s);
  }
  std::fflush(nullptr);
  ::kill(::getpid(), SIGKILL);
}

TEST_F(MaintTest, ABackupOfATableWhoseWriterWasKilledHoldsItWhole) {
  FillSample();
  const qint64 size = QFileInfo(DataPath + "Disto.DB").size();
  QProcess child;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("ZELM_KILL_DB", DataPath + "Disto.DB");
  child.setProcessEnvironment(env);
  child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=MaintKillChild.WriteThenDie"});
  ASSERT_TRUE(child.waitForFinished(60000));
  ASSERT_EQ(child.exitStatus(), QProcess::CrashExit);
  ASSERT_TRUE(QFileInfo::exists(DataPath + "Disto.DB-journal"));  // the write cut short
  ASSERT_GT(QFileInfo(DataPath + "Disto.DB").size(), size);        // with its rows in the file

  const QString out = dir.Path() + "sauve/";
  QDir().mkpath(out);
  TZipArchiver zip;
  zip.Unattended = true;
  ASSERT_TRUE(WriteTablesArchive(zip, DataPath, out + "ZELM.zip", false));
  EXPECT_FALSE(UnzipNames(out + "ZELM.zip").contains("Disto.DB-journal"));
  ASSERT_EQ(RunTool("unzip", {"-q", out + "ZELM.zip", "-d", out + "x"}).code, 0);
  // The archived takings are the committed ones, and the file is sound.
  const QString keep = DataPath;
  DataPath = out + "x/";
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Disto.DB"), 8);
  DataPath = keep;
  EXPECT_EQ(Count("SELECT COUNT(*) FROM Disto.DB"), 8);
}
