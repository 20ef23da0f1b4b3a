// Data maintenance on the generated year, on a copy of it in a folder of its own:
//  - backup of every table (about 700 MB) against Info-ZIP zip at the same level (9), same run;
//  - restore of that archive against unzip, same run;
//  - the structure check of the year as it stands (nothing to correct: every table read, every
//    unique key searched for values held twice);
//  - purge of one and of three months of takings, returns and purchases, and the pack of every
//    table, to show the time grows with the rows, not faster.
// Run: cmake --build build --target bench_maint && build/bin/bench_maint [year-data-folder]
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>

#include <cstdio>

#include "BenchData.h"
#include "maintenance/MaintCommon.h"
#include "maintenance/UEpur.h"
#include "platform/db/Query.h"
#include "platform/sys/Files.h"
#include "platform/ui/Dialogs.h"
#include "schema/AppSchema.h"
#include "schema/DbChk.h"
#include "shell/global.h"

using namespace bench;

namespace {

double Run(const QString& program, const QStringList& args, const QString& workdir, int& code) {
  QProcess p;
  p.setWorkingDirectory(workdir);
  p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  const auto t0 = Clock::now();
  p.start(program, args);
  p.waitForFinished(-1);
  code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  return Ms(Clock::now() - t0);
}

// A fresh program folder holding a copy of the year, every table of the schema present.
bool Prepare(const QString& yearData, const QString& app) {
  AppPath = app;
  DataPath = app + "Data/";
  if (!CopyYearData(yearData, DataPath)) return false;
  CreateApplicationTables(ApplicationCheck(), DataPath);
  return true;
}

qint64 Rows(const QString& sql) {
  TQuery q;
  q.SetDatabaseName(DataPath);
  q.SQL.SetText(sql);
  q.Open();
  const qint64 n = q.Fields(0)->AsInteger();
  q.Close();
  return n;
}

qint64 FolderSize(const QString& dir) {
  qint64 n = 0;
  for (const QFileInfo& fi : QDir(dir).entryInfoList(QDir::Files)) n += fi.size();
  return n;
}

struct PurgeFigures {
  double purgeMs = 0, packMs = 0;
  qint64 deleted = 0, kept = 0;
};

PurgeFigures PurgeAndPack(const QString& yearData, const QString& app, const QDate& from, const QDate& to) {
  PurgeFigures f;
  if (!Prepare(yearData, app)) return f;
  const qint64 before = Rows("SELECT COUNT(*) FROM Disto.DB") + Rows("SELECT COUNT(*) FROM Retour.DB") +
                        Rows("SELECT COUNT(*) FROM Ha.DB");
  TfrmEpur w;
  auto t0 = Clock::now();
  w.Purge(from, to);
  f.purgeMs = Ms(Clock::now() - t0);
  f.kept = Rows("SELECT COUNT(*) FROM Disto.DB") + Rows("SELECT COUNT(*) FROM Retour.DB") +
           Rows("SELECT COUNT(*) FROM Ha.DB");
  f.deleted = before - f.kept;
  t0 = Clock::now();
  w.PackAll();
  f.packMs = Ms(Clock::now() - t0);
  return f;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QString yearData = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString(BENCH_DATA_DIR);
  if (!EnsureYearData(yearData)) return 2;
  const QString work = QString(BENCH_WORK_DIR) + "/";
  InitializeFormats();
  for (auto& d : Droits) d = "2";

  // ---- backup ----
  if (!Prepare(yearData, work + "app/")) {
    std::fprintf(stderr, "cannot copy the year into %s\n", qPrintable(work));
    return 2;
  }
  const qint64 dataBytes = FolderSize(DataPath);
  std::printf("data folder: %.0f MB\n", dataBytes / 1048576.0);
  const QString out = work + "out/";
  QDir(out).removeRecursively();
  QDir().mkpath(out);

  QStringList files;
  for (const QString& spec : BackupSpecs(DataPath))
    for (const QString& n : FindFiles(DataPath, ExtractFileName(spec))) files << n;
  int code = 0;
  const double zipMs = Run("zip", QStringList{"-9", "-q", "-X", out + "info.zip"} + files, DataPath, code);
  const bool zipOk = code == 0;
  const qint64 zipBytes = QFileInfo(out + "info.zip").size();

  TZipArchiver zip;
  zip.Unattended = true;
  zip.AddCompLevel = 9;
  auto t0 = Clock::now();
  const bool saved = WriteTablesArchive(zip, DataPath, out + "ZELM.zip", false);
  const double saveMs = Ms(Clock::now() - t0);
  const qint64 saveBytes = QFileInfo(out + "ZELM.zip").size();
  Report("Info-ZIP zip -9 of the tables", zipMs / 1000.0, "s", "-", zipOk);
  Report("backup of the tables (level 9)", saveMs / 1000.0, "s", "<= 0.6 x zip", saved && zipOk && saveMs <= 0.6 * zipMs);
  Report("backup time / zip time", saveMs / zipMs, "x", "<= 0.6", saved && saveMs <= 0.6 * zipMs);
  Report("backup size / zip size", double(saveBytes) / double(zipBytes), "x", "<= 1.02",
         saved && saveBytes <= 1.02 * zipBytes);

  // ---- restore ----
  const QString unz = work + "unzip/";
  QDir(unz).removeRecursively();
  QDir().mkpath(unz);
  const double unzipMs = Run("unzip", {"-q", "-o", out + "ZELM.zip", "-d", unz}, work, code);
  const bool unzipOk = code == 0;
  QDir(unz).removeRecursively();
  t0 = Clock::now();
  const QString failure = RestoreTablesArchive(zip, out + "ZELM.zip");
  const double restoreMs = Ms(Clock::now() - t0);
  if (!failure.isEmpty()) std::printf("restore: %s\n", qPrintable(failure));
  Report("unzip of the backup", unzipMs / 1000.0, "s", "-", unzipOk);
  Report("restore of the backup", restoreMs / 1000.0, "s", "<= 1.2 x unzip",
         failure.isEmpty() && unzipOk && restoreMs <= 1.2 * unzipMs);
  Report("restore time / unzip time", restoreMs / unzipMs, "x", "<= 1.2", failure.isEmpty() && restoreMs <= 1.2 * unzipMs);
  QDir(out).removeRecursively();

  // ---- structure check ----
  bool sound = Prepare(yearData, work + "app/");
  TDbCheck& check = ApplicationCheck();
  check.SetCorrectPath(DataPath);
  const TCheckEvent after = check.OnAfterCheck;
  int corrected = 0;
  check.OnAfterCheck = [&](QObject* sender, TChkMessage kind, const QString& table) {
    corrected += kind != CHK_NONE;
    if (after) after(sender, kind, table);
  };
  t0 = Clock::now();
  check.Check();
  const double checkMs = Ms(Clock::now() - t0);
  check.OnAfterCheck = after;
  sound = sound && corrected == 0 && check.Errors().isEmpty() && check.Unchecked().isEmpty();
  Report("structure check of the year, nothing to correct", checkMs / 1000.0, "s", "-", sound);

  // ---- purge and pack ----
  PurgeAndPack(yearData, work + "app/", QDate(2025, 12, 1), QDate(2025, 12, 2));  // warms the caches
  const PurgeFigures one = PurgeAndPack(yearData, work + "app/", QDate(2025, 1, 1), QDate(2025, 1, 31));
  const PurgeFigures three = PurgeAndPack(yearData, work + "app/", QDate(2025, 1, 1), QDate(2025, 3, 31));
  Report("purge of January: " + std::to_string(one.deleted) + " rows deleted", one.purgeMs / 1000.0, "s", "-",
         one.deleted > 0);
  Report("purge of January to March: " + std::to_string(three.deleted) + " rows deleted", three.purgeMs / 1000.0,
         "s", "-", three.deleted > 0);
  const double rowRatio = double(three.deleted) / double(std::max<qint64>(1, one.deleted));
  const double timeRatio = three.purgeMs / std::max(1.0, one.purgeMs);
  Report("purge time ratio three months / one month (rows ratio " + std::to_string(rowRatio).substr(0, 4) + ")",
         timeRatio, "x", "<= 1.5 x rows ratio", timeRatio <= 1.5 * rowRatio);
  Report("pack of every table after one month (" + std::to_string(one.kept) + " rows kept)", one.packMs / 1000.0, "s",
         "-", true);
  Report("pack of every table after three months (" + std::to_string(three.kept) + " rows kept)",
         three.packMs / 1000.0, "s", "<= 1.5 x rows kept ratio",
         three.packMs / std::max(1.0, one.packMs) <= 1.5 * double(three.kept) / double(std::max<qint64>(1, one.kept)));
  QDir(work + "app").removeRecursively();
  Report("peak resident memory of the process (VmHWM)", PeakKb() / 1024.0, "MB", "-", true);
  return ReportExitCode();
}
