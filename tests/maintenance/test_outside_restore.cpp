// Archives offered to the restore from outside the program: table files that are not tables,
// cut in half or empty must leave the data folder as it was.
#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <csignal>
#include <cstring>
#include <dlfcn.h>
#include <sqlite3.h>
#include <unistd.h>

#include "../zip/Zip64Archive.h"
#include "MaintFixture.h"
#include "maintenance/MaintCommon.h"
#include "maintenance/Register.h"
#include "shell/UMain.h"
#include "platform/sys/Files.h"
#include "shell/global.h"

// The program puts each restored file in place by renaming its copy; with ZELM_KILL_AFTER_REPLACED
// set (only in the child process below) the process dies after that many files were put in place.
extern "C" int rename(const char* from, const char* to) {
  using Fn = int (*)(const char*, const char*);
  static const Fn real = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, "rename"));
  static const int limit = std::getenv("ZELM_KILL_AFTER_REPLACED") ? std::atoi(std::getenv("ZELM_KILL_AFTER_REPLACED")) : 0;
  static int replaced = 0;
  const int r = real(from, to);
  if (r == 0 && limit > 0 && std::strstr(from, "/~restaure.") && !std::strstr(from, "~restaure.journal") &&
      ++replaced >= limit)
    ::kill(::getpid(), SIGKILL);
  return r;
}

namespace {

QString RestoreQuietly(const QString& archive) {
  TZipArchiver zip;
  zip.Unattended = true;
  return RestoreTablesArchive(zip, archive);
}

}  // namespace

class OutsideRestoreTest : public MaintTest {};

TEST_F(OutsideRestoreTest, ATableFileThatIsNotATableChangesNothing) {
  FillSample();
  const QByteArray client = ReadFile(DataPath + "CLIENT.DB");
  const QByteArray titre = ReadFile(DataPath + "Titre.DB");
  QByteArray noise(40960, Qt::Uninitialized);
  QRandomGenerator rng(7);
  for (char& c : noise) c = char(rng.bounded(256));
  QByteArray wrongPage = client;  // a whole file whose second page is noise
  wrongPage.replace(4096, 4096, noise.left(4096));

  const QString folder = dir.Path() + "hostile/";
  QDir().mkpath(folder);
  MakeArchive(folder + "bruit.zip", {{"CLIENT.DB", client}, {"Titre.DB", noise}});
  MakeArchive(folder + "moitie.zip", {{"CLIENT.DB", client.left(client.size() / 2)}, {"Titre.DB", titre}});
  MakeArchive(folder + "vide.zip", {{"CLIENT.DB", client}, {"Titre.DB", QByteArray()}});
  MakeArchive(folder + "page.zip", {{"Titre.DB", titre}, {"CLIENT.DB", wrongPage}});

  const auto before = Snapshot();
  for (const char* name : {"bruit.zip", "moitie.zip", "vide.zip", "page.zip"}) {
    SCOPED_TRACE(name);
    const QString failure = RestoreQuietly(folder + name);
    EXPECT_TRUE(failure.startsWith("La table ")) << failure.toStdString();
    EXPECT_TRUE(failure.endsWith("Aucune donnée n'a été modifiée.")) << failure.toStdString();
    EXPECT_EQ(Snapshot(), before);
  }
  EXPECT_EQ(Count("SELECT COUNT(*) FROM CLIENT.DB"), 2);
}

TEST_F(OutsideRestoreTest, ASoundArchiveStillRestoresAfterTheChecks) {
  FillSample();
  const QString archive = dir.Path() + "bon.zip";
  MakeArchive(archive, {{"CLIENT.DB", ReadFile(DataPath + "CLIENT.DB")}, {"CLIENT.PX", ReadFile(DataPath + "CLIENT.PX")}});
  AddRow("CLIENT.DB", {"0003", 3, "BERNARD"});
  ASSERT_EQ(Count("SELECT COUNT(*) FROM CLIENT.DB"), 3);
  EXPECT_EQ(RestoreQuietly(archive), QString());
  EXPECT_EQ(Count("SELECT COUNT(*) FROM CLIENT.DB"), 2);
  EXPECT_EQ(QDir(AppPath + "Temp").entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
}

TEST_F(OutsideRestoreTest, WhatAKilledRestoreLeftIsCleanedUp) {
  FillSample();
  const QString archive = dir.Path() + "bon.zip";
  MakeArchive(archive, {{"CLIENT.DB", ReadFile(DataPath + "CLIENT.DB")}});
  // A restore killed while it copied: its extraction folder and a copy beside the tables.
  QDir().mkpath(AppPath + "Temp/restaure-AbC123");
  WriteFile(AppPath + "Temp/restaure-AbC123/Disto.DB", QByteArray(4096, 'x'));
  WriteFile(DataPath + "~restaure.Disto.DB", QByteArray(4096, 'x'));
  WriteFile(DataPath + "~restaure.CLIENT.PX", "x");
  WriteFile(AppPath + "Temp/autre.txt", "not ours");
  EXPECT_EQ(RestoreQuietly(archive), QString());
  EXPECT_EQ(QDir(DataPath).entryList({"~*"}, QDir::Files | QDir::Hidden), QStringList());
  EXPECT_EQ(QDir(AppPath + "Temp").entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList{"autre.txt"});
}

TEST_F(OutsideRestoreTest, AnArchiveDeclaringMoreThanTheDiskHoldsIsRefusedBeforeAnyWrite) {
  FillSample();
  const QString archive = dir.Path() + "enorme.zip";
  // Sizes past 4 GB live in the zip64 fields: a petabyte is declared there, a few bytes stored.
  ASSERT_TRUE(zip64::Write(archive, {{"CLIENT.DB", ReadFile(DataPath + "CLIENT.DB"), 0, 0},
                                     {"Disto.DB", "petit", 0, uint64_t(1) << 50}}));
  const auto before = Snapshot();
  const QString failure = RestoreQuietly(archive);
  EXPECT_TRUE(failure.startsWith("Pas assez de place sur le disque pour restaurer l'archive " + archive))
      << failure.toStdString();
  EXPECT_TRUE(failure.endsWith("Aucune donnée n'a été modifiée.")) << failure.toStdString();
  EXPECT_EQ(Snapshot(), before);
  EXPECT_EQ(QDir(AppPath + "Temp").entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
}

TEST(MaintRestoreKillChild, RestoreThenDie) {
  const QString app = qEnvironmentVariable("ZELM_KILL_APP");
  if (app.isEmpty()) GTEST_SKIP() << "run by ARestoreKilledWhileReplacingTheTablesIsCompletedAtTheNextStart";
  AppPath = app;
  DataPath = AppPath + "Data/";
  RestoreQuietly(qEnvironmentVariable("ZELM_KILL_ARCHIVE"));
}

TEST_F(OutsideRestoreTest, ARestoreKilledWhileReplacingTheTablesIsCompletedAtTheNextStart) {
  FillSample();
  const QString archive = dir.Path() + "sauve.zip";
  int entries = 0;
  {
    TZipArchiver zip;
    zip.Unattended = true;
    ASSERT_TRUE(WriteTablesArchive(zip, DataPath, archive, false));
    entries = zip.EntryCount();
  }
  // Every table changes after the backup.
  const QStringList tables = QDir(DataPath).entryList({"*.DB", "*.db"}, QDir::Files);
  QMap<QString, QByteArray> saved;
  for (const QString& t : tables) {
    saved[t] = ReadFile(DataPath + t);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(DataPath + t).constData(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "PRAGMA user_version = 7", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    ASSERT_NE(ReadFile(DataPath + t), saved[t]) << t.toStdString();
  }

  QProcess child;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("ZELM_KILL_APP", AppPath);
  env.insert("ZELM_KILL_ARCHIVE", archive);
  env.insert("ZELM_KILL_AFTER_REPLACED", QString::number(entries / 2));
  child.setProcessEnvironment(env);
  child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=MaintRestoreKillChild.RestoreThenDie"});
  ASSERT_TRUE(child.waitForFinished(60000));
  ASSERT_EQ(child.exitStatus(), QProcess::CrashExit);
  // Killed half-way: some tables are the archive's, the others not yet.
  int restored = 0;
  for (const QString& t : tables) restored += ReadFile(DataPath + t) == saved[t];
  ASSERT_GT(restored, 0);
  ASSERT_LT(restored, tables.size());

  // The next start completes the restore before it clears what is left.
  RegisterMaintenanceWindows();
  ASSERT_TRUE(TfrmMain::InterruptedRestoreHook);
  TfrmMain::InterruptedRestoreHook(DataPath);
  RemoveRestoreLeftovers();
  for (const QString& t : tables) EXPECT_EQ(ReadFile(DataPath + t), saved[t]) << t.toStdString();
  EXPECT_EQ(Count("SELECT COUNT(*) FROM VCR.DB"), 4);
  EXPECT_EQ(QDir(DataPath).entryList({"~*"}, QDir::Files | QDir::Hidden), QStringList());
}
