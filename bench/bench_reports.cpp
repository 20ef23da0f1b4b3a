// The reports on a year of data: delivery notes for a month of 300 clients x 80 titles (the work
// table, the pages, a PDF of 300 pages, turning pages in the preview) and a 15-title list.
//
// Works on a copy of the year's data in the build folder (the original stays untouched), with a
// list of 15 titles put in it. Pass the data folder as the first argument to use another one.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPrinter>
#include <cstdio>

#include "BenchData.h"
#include "platform/db/Table.h"
#include "platform/db/Transaction.h"
#include "platform/reportengine/Preview.h"
#include "platform/ui/Dialogs.h"
#include "reports/URptBon.h"
#include "reports/URptListe.h"
#include "shell/global.h"

using namespace bench;

namespace {
bool CopyData(const QString& from, const QString& to) {
  QDir().mkpath(to);
  const QByteArray mark = YearDataMark(from);
  if (YearDataMark(to) == mark) return true;
  for (const QFileInfo& f : QDir(from).entryInfoList(QDir::Files)) {
    if (f.fileName() == "complete") continue;
    QFile::remove(to + f.fileName());
    if (!QFile::copy(f.filePath(), to + f.fileName())) return false;
    QFile(to + f.fileName()).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
  }
  QFile c(to + "complete");
  return c.open(QIODevice::WriteOnly) && c.write(mark) == mark.size();
}

// List 1: fifteen titles of region 01.
void MakeList() {
  TTable l;
  l.SetDatabaseName(DataPath);
  l.SetTableName("TLISTE.DB");
  l.Open();
  if (l.RecordCount() > 0) return;
  TDbTransaction tx(l);
  for (int k = 1; k <= 15; ++k) {
    l.Append();
    l.FieldByName("NoListe")->AsInteger = 1;
    l.FieldByName("Nord")->AsInteger = k;
    l.FieldByName("ID_Region")->AsString = Code(1, 2);
    l.FieldByName("ID_Titre")->AsString = Code(k, 4);
    l.FieldByName("TitreListe")->AsString = "Bench";
    l.Post();
  }
  tx.Commit();
  l.Close();
}
}  // namespace

int main(int argc, char** argv) {
  if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const QString source = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString(BENCH_DATA_DIR);
  if (!EnsureYearData(source)) return 2;
  AppPath = QString(BENCH_WORK_DIR) + "/";
  DataPath = AppPath + "Data/";
  std::printf("copying the year's data into %s ...\n", qPrintable(DataPath));
  std::fflush(stdout);
  if (!CopyData(source + "/", DataPath)) {
    std::fprintf(stderr, "cannot copy the data\n");
    return 2;
  }
  MakeList();
  ScriptedDialogs dlg;  // the remark prompt is cancelled
  SetDialogs(&dlg);

  std::printf("Delivery notes, March 2025, 300 clients x 80 titles:\n");
  TfrmRptBon bon;
  bon.DateDebut = QDate(2025, 3, 1);
  bon.DateFin = QDate(2025, 3, 31);
  bon.AllRegions = true;
  auto t0 = Clock::now();
  bon.BuildBon();
  const double buildMs = Ms(Clock::now() - t0);
  Report("work table BON.DB built", buildMs / 1000, "s", "< 0.5 s", buildMs < 500);

  t0 = Clock::now();
  auto job = bon.RptBon.Prepare();
  const double prodMs = Ms(Clock::now() - t0);
  const int pages = job ? job->PageCount() : 0;
  std::printf("  %d pages\n", pages);
  Report("pages produced, per page", pages ? prodMs / pages : 1e9, "ms", "< 3 ms", pages > 0 && prodMs / pages < 3);

  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(AppPath + "bons.pdf");
  t0 = Clock::now();
  const bool printed = job && job->Print(printer, 1, 300, 1);
  const double pdfMs = Ms(Clock::now() - t0);
  Report("PDF of 300 pages written", pdfMs / 1000, "s", "< 2 s", printed && pdfMs < 2000);
  std::printf("  PDF size %.1f MB\n", QFileInfo(AppPath + "bons.pdf").size() / 1e6);

  TRPreview preview;
  preview.resize(1000, 800);
  preview.SetPrintJob(job.get());
  preview.show();
  QApplication::processEvents();
  double worst = 0, total = 0;
  const int turns = std::min(60, pages);
  for (int i = 1; i <= turns; ++i) {
    t0 = Clock::now();
    preview.SetPageNumber(i);
    preview.PageWidget()->repaint();
    const double ms = Ms(Clock::now() - t0);
    worst = std::max(worst, ms);
    total += ms;
  }
  std::printf("  page turn, mean %.2f ms\n", turns ? total / turns : 0.0);
  Report("preview page turn (worst of 60, 100 %)", worst, "ms", "< 50 ms", worst < 50);
  preview.SetPrintJob(nullptr);
  job.reset();

  TfrmRptBon zero;
  zero.DateDebut = bon.DateDebut;
  zero.DateFin = bon.DateFin;
  zero.AllRegions = true;
  zero.QteNul = true;
  t0 = Clock::now();
  zero.BuildBon();
  const double zeroMs = Ms(Clock::now() - t0);
  Report("work table with the zero quantities (\"prises nulles\")", zeroMs / 1000, "s", "< 1 s", zeroMs < 1000);

  std::printf("Distribution list of 15 titles for one region and one day:\n");
  TfrmRptListe liste;
  liste.NoListe = 1;
  liste.DateListe = QDateTime(QDate(2025, 6, 14), QTime());
  t0 = Clock::now();
  auto ljob = liste.rptListe.Prepare();
  const double listMs = Ms(Clock::now() - t0);
  Report("list built and produced", listMs, "ms", "< 500 ms", ljob && listMs < 500);
  Report("peak memory", PeakKb() / 1024.0, "MB", "< 400 MB", PeakKb() < 400 * 1024);
  SetDialogs(nullptr);
  return ReportExitCode();
}
