// The weekly windows on a year of a wholesaler's data: loading and saving a week of unsold
// returns for one region of all 300 clients x 80 titles, and opening the payments and the
// purchases windows. The year's data (bench/BenchData) are copied into a folder of this
// benchmark first, since the returns are written.
//
// Run: cmake --build build --target bench_weekly && build/bin/bench_weekly [year-data-folder]
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "BenchData.h"
#include "operations/UHa.h"
#include "operations/UListVCR.h"
#include "operations/URetour.h"
#include "platform/db/Query.h"
#include "platform/sys/Clock.h"
#include "platform/ui/Dialogs.h"
#include "shell/global.h"

using namespace bench;

namespace {

void Exec(const QString& sql) {
  TQuery q;
  q.SetDatabaseName(DataPath);
  q.SQL.SetText(sql);
  q.ExecSQL();
}

double Best(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
  QApplication app(argc, argv);
  const QString year = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString(BENCH_DATA_DIR);
  if (!EnsureYearData(year)) return 2;
  const QString work = QString(BENCH_WORK_DIR);
  std::printf("Weekly windows benchmark; year data in %s, copied to %s\n", qPrintable(year), qPrintable(work));
  const auto tc = Clock::now();
  if (!CopyYearData(year, work + "/Data")) {
    std::printf("cannot copy the data\n");
    return 2;
  }
  std::printf("  copy: %.1f s\n\n", Ms(Clock::now() - tc) / 1000.0);
  AppPath = work + "/";
  DataPath = work + "/Data/";
  InitializeFormats();
  ScriptedDialogs dialogs;  // answers Yes / OK to any question
  SetDialogs(&dialogs);
  SetClock(QDateTime(QDate(2025, 12, 31), QTime(18, 0)));

  // One region of every client: the largest grid the window can show.
  Exec("UPDATE CLIENT SET REGION='01'");
  const QDate week(2025, 6, 7);  // a Saturday, a whole week of takings

  std::printf("Unsold returns, 300 clients x 80 titles:\n");
  {
    auto* w = new TfrmRetour(nullptr);
    w->cmbRegion->SetKeyValue("01");
    w->SetWeek(week);
    std::vector<double> loads;
    for (int i = 0; i < 5; ++i) {
      const auto t = Clock::now();
      w->LoadGrid();
      loads.push_back(Ms(Clock::now() - t));
    }
    const int rows = w->grdRetour->RowCount() - 3, cols = (w->grdRetour->ColCount() - 3) / 2;
    Report("load a week (" + std::to_string(rows) + " x " + std::to_string(cols) + " cells), best of 5",
           Best(loads) / 1000.0, "s", "< 0.3 s", Best(loads) < 300.0 && rows == 300 && cols == 80);
    Report("load a week, first", loads.front() / 1000.0, "s", "-", true);

    // The operator changed one unsold cell in ten.
    for (int r = 3; r < w->grdRetour->RowCount(); ++r)
      for (int c = 4; c < w->grdRetour->ColCount(); c += 2)
        if ((r * 7 + c) % 10 == 0) w->grdRetour->SetCells(c, r, IntToStr((r + c) % 5));
    w->Modified = true;
    auto t = Clock::now();
    bool ok = w->Save();
    const double saveTenth = Ms(Clock::now() - t);
    Report("save after a tenth of the cells typed (2 400 rows updated)", saveTenth / 1000.0, "s", "< 0.15 s",
           ok && saveTenth < 150.0);

    // Every cell changed.
    for (int r = 3; r < w->grdRetour->RowCount(); ++r)
      for (int c = 4; c < w->grdRetour->ColCount(); c += 2)
        w->grdRetour->SetCells(c, r, IntToStr(w->grdRetour->Cells(c, r).toInt() + 1));
    t = Clock::now();
    ok = w->Save();
    const double saveAll = Ms(Clock::now() - t);
    Report("save with every cell changed (24 000 rows updated)", saveAll / 1000.0, "s", "< 0.15 s",
           ok && saveAll < 150.0);

    // A week without any returns yet: every row is new.
    Exec("DELETE FROM RETOUR WHERE WEEK='6/7/2025'");
    w->LoadGrid();
    w->grdRetour->SetCells(4, 3, "1");
    t = Clock::now();
    ok = w->Save();
    const double saveNew = Ms(Clock::now() - t);
    TQuery n;
    n.SetDatabaseName(DataPath);
    n.SQL.SetText("SELECT COUNT(*) FROM RETOUR WHERE WEEK='6/7/2025'");
    n.Open();
    const int stored = n.Fields(0)->AsInteger;
    Report("save of a new week (24 000 rows inserted, " + std::to_string(stored) + " stored)", saveNew / 1000.0, "s",
           "< 0.15 s", ok && stored == 24000 && saveNew < 150.0);

    t = Clock::now();
    w->ShowTotals("*");
    Report("\"Total général\" (every client, every title)", Ms(Clock::now() - t) / 1000.0, "s", "-", true);
    w->Modified = false;
    delete w;
  }

  std::printf("\nPayments and purchases, on the year:\n");
  {
    std::vector<double> opens;
    for (int i = 0; i < 5; ++i) {
      const auto t = Clock::now();
      auto* w = new TfrmListVCR(nullptr);
      opens.push_back(Ms(Clock::now() - t));
      if (i == 0) std::printf("  (%d weeks offered, %d clients)\n", w->cmbWeek->count(), w->grdVCR->RowCount() - 1);
      delete w;
    }
    Report("open the payments window, best of 5", Best(opens) / 1000.0, "s", "< 0.1 s", Best(opens) < 100.0);
    Report("open the payments window, first", opens.front() / 1000.0, "s", "-", true);
  }
  {
    SetClock(QDateTime(QDate(2025, 6, 11), QTime(9, 0)));
    std::vector<double> opens;
    for (int i = 0; i < 5; ++i) {
      const auto t = Clock::now();
      auto* w = new TfrmHa(nullptr);
      opens.push_back(Ms(Clock::now() - t));
      if (i == 0) std::printf("  (%s titles of the day, week total %s)\n", qPrintable(w->stBar->Panels[0]->text()),
                              qPrintable(w->lTotWeek->Caption()));
      delete w;
    }
    Report("open the purchases window, best of 5", Best(opens) / 1000.0, "s", "< 0.1 s", Best(opens) < 100.0);
    Report("open the purchases window, first", opens.front() / 1000.0, "s", "-", true);
  }
  const long kb = PeakKb();
  Report("peak resident memory of the process (VmHWM)", double(kb) / 1024.0, "MB", "-", true);
  SetDialogs(nullptr);
  std::printf("\n%s\n", ReportExitCode() ? "Some targets were missed." : "Every target met.");
  return ReportExitCode();
}
