// The table engine on a year of a wholesaler's data: 30 regions, 300 clients, 80 titles, every
// client taking every title every day (8.76 million takings), weekly returns and payments, daily
// purchases. Measures what the takings window does: open the takings table, keyed Locate, read a
// day's grid cell by cell, store a day's grid (half new rows, half updates) in one transaction,
// against one committed transaction per row, a month of takings read by one query, and the peak
// memory.
//
// The data are generated once (a few minutes) into the build folder and reused; pass another
// folder as the first argument to keep them elsewhere.
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sqlite3.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "platform/db/Query.h"
#include "platform/db/Table.h"
#include "platform/db/Transaction.h"

#include "BenchData.h"
#include "rules/TradeRules.h"

using namespace bench;

namespace {

// ---- measurements ----

void OpenTable(TTable& t, const QString& dir, const char* name) {
  t.BeforeOpen = [dir](TDataSet& ds) { static_cast<TTable&>(ds).SetDatabaseName(dir); };
  t.SetTableName(name);
  t.Open();
}

// Every title's price before a client's rebate, by its code.
QHash<QString, trade::TitlePrice> TitlePrices(TTable& titre) {
  QHash<QString, trade::TitlePrice> out;
  titre.SetFiltered(false);
  for (titre.First(); !titre.Eof(); titre.Next())
    out.insert(titre.FieldByName("Id")->AsString(),
               {titre.FieldByName("Prix")->AsCurrency(), trade::PeriodIndex(titre.FieldByName("Periode")->AsString())});
  return out;
}

// The save of the takings grid, as the window makes it: every cell through the day's taking store
// (an existing row located and edited, a missing one appended at the client's net price), each
// post flushed.
void SaveGrid(TTable& disto, TTable& titre, const QString& dir, const QDate& day, const std::vector<QString>& clients,
              const std::vector<QString>& titles, int seed) {
  disto.SetFiltered(false);
  const QHash<QString, trade::TitlePrice> prices = TitlePrices(titre);
  trade::TakingStore store(disto, dir, day, trade::TakingStore::Pass{});
  for (const QString& c : clients)
    for (const QString& t : titles) {
      const auto price = prices.constFind(t);
      store.Store(c, t, (seed + c.toInt() * 7 + t.toInt()) % 21, price == prices.constEnd() ? nullptr : &*price);
    }
}

}  // namespace

int main(int argc, char** argv) {
  const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString(BENCH_DATA_DIR);
  std::printf("Table engine benchmark; data in %s\n", qPrintable(dir));
  if (!EnsureYearData(dir)) return 2;
  std::printf("  Disto.DB: %.0f MB\n\n", double(QFileInfo(dir + "/Disto.DB").size()) / 1048576.0);

  std::vector<QString> clients, titles;
  for (int c = 1; c <= kClients; ++c) clients.push_back(Code(c, 4));
  for (int t = 1; t <= kTitles; ++t) titles.push_back(Code(t, 4));
  const QDate saveDay(2026, 1, 5), baseDay(2026, 1, 6), readDay(2025, 7, 15);
  auto clearDays = [&] {
    TQuery q("myQuery");
    q.SetDatabaseName(dir);
    q.SQL.Add("DELETE FROM DISTO.DB WHERE (DATEJ>=:d1) and (DATEJ<=:d2)");
    q.ParamByName("d1")->AsDate = saveDay;
    q.ParamByName("d2")->AsDate = baseDay;
    q.ExecSQL();
  };
  clearDays();  // leftovers of an interrupted run

  // BENCH_ONLY=month|open|read|save|query|report runs one part (for profiling).
  const QString only = qEnvironmentVariable("BENCH_ONLY");
  auto part = [&](const char* p) { return only.isEmpty() || only == p; };
  if (part("month")) {
    // In a process of its own, so that its peak memory is the query's alone.
    std::printf("A month of takings by one query, walked row by row (as the reports read them):\n");
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
      const long before = PeakKb();
      const auto t0 = Clock::now();
      TQuery q("myQuery");
      q.SetDatabaseName(dir);
      q.SQL.Add("SELECT * FROM DISTO.DB WHERE (DATEJ>='7/1/2025') and (DATEJ<='7/31/2025')");
      q.Open();
      const double openMs = Ms(Clock::now() - t0);
      const int count = q.RecordCount();
      long total = 0;
      for (q.First(); !q.Eof(); q.Next()) total += q.FieldByName("Qte_Prise")->AsInteger();
      const double allMs = Ms(Clock::now() - t0);
      const long kb = PeakKb();
      Report("Open (" + std::to_string(count) + " rows)", openMs / 1000.0, "s", "-", count > 0);
      Report("Open and every row read (total " + std::to_string(total) + ")", allMs / 1000.0, "s", "-", true);
      Report("peak memory of the query (VmHWM growth)", double(kb - before) / 1024.0, "MB", "< 50 MB",
             kb - before < 50 * 1024);
      Report("peak resident memory of that process", double(kb) / 1024.0, "MB", "-", true);
      std::fflush(stdout);
      _exit(ReportExitCode());
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) Report("the month query", 0, "", "every target met", false);
    std::printf("\n");
  }
  if (part("open")) {
    std::printf("Opening the takings table and a keyed Locate:\n");
    const auto t0 = Clock::now();
    TTable disto("Disto");
    OpenTable(disto, dir, "Disto.DB");
    Report("open Disto.DB (8.76 million rows), first in the process", Ms(Clock::now() - t0), "ms", "< 1 ms", Ms(Clock::now() - t0) < 1.0);
    const auto t1 = Clock::now();
    const bool found = disto.Locate("DATEJ;ID_CLIENT;ID_TITRE", {QDate(2025, 10, 3), QString("0123"), QString("0042")});
    const double locMs = Ms(Clock::now() - t1);
    Report("Locate DATEJ;ID_CLIENT;ID_TITRE, first", locMs, "ms", "< 1 ms", found && locMs < 1.0);
    std::vector<double> opens;
    disto.Close();
    for (int i = 0; i < 20; ++i) {
      const auto a = Clock::now();
      disto.Open();
      opens.push_back(Ms(Clock::now() - a));
      disto.Close();
    }
    std::sort(opens.begin(), opens.end());
    Report("open Disto.DB again, median of 20", opens[10], "ms", "< 1 ms", opens[10] < 1.0);
    disto.Open();
    Rng rng;
    double worst = 0, total = 0;
    int hits = 0;
    for (int i = 0; i < 2000; ++i) {
      const QDate d = kYearStart.addDays(rng.Next() % 365);
      const QString c = Code(1 + rng.Next() % kClients, 4), t = Code(1 + rng.Next() % kTitles, 4);
      const auto a = Clock::now();
      hits += disto.Locate("DATEJ;ID_CLIENT;ID_TITRE", {d, c, t});
      const double ms = Ms(Clock::now() - a);
      worst = std::max(worst, ms);
      total += ms;
    }
    Report("Locate, mean of 2000 random keys", total / 2000, "ms", "< 1 ms", hits == 2000 && total / 2000 < 1.0);
    Report("Locate, slowest of 2000 random keys", worst, "ms", "< 1 ms", worst < 1.0);
  }

  if (part("read")) {
    std::printf("\nReading one day of 300 x 80 cells by keyed lookups (as the takings grid loads):\n");
    TTable lkp("lkpDisto");
    OpenTable(lkp, dir, "Disto.DB");
    lkp.SetFiltered(true);
    const auto t0 = Clock::now();
    long total = 0;
    for (const QString& c : clients)
      for (const QString& t : titles) {
        // GetQtePrise: filter off, first record, Locate, filter switch back.
        const bool was = lkp.Filtered();
        lkp.SetFiltered(false);
        lkp.First();
        if (lkp.Locate("DATEJ;ID_CLIENT;ID_TITRE", {readDay, c, t})) total += lkp.FieldByName("Qte_Prise")->AsInteger();
        lkp.SetFiltered(was);
      }
    const double ms = Ms(Clock::now() - t0);
    Report("24 000 cells read (total " + std::to_string(total) + ")", ms / 1000.0, "s", "< 0.2 s", ms < 200.0);
    // The same inside a transaction scope: every lookup shares one lock of the file.
    const auto t1 = Clock::now();
    {
      TDbTransaction tx(dir);
      for (const QString& c : clients)
        for (const QString& t : titles) {
          const bool was = lkp.Filtered();
          lkp.SetFiltered(false);
          lkp.First();
          if (lkp.Locate("DATEJ;ID_CLIENT;ID_TITRE", {readDay, c, t})) total -= lkp.FieldByName("Qte_Prise")->AsInteger();
          lkp.SetFiltered(was);
        }
      tx.Commit();
    }
    Report("the same inside a TDbTransaction", Ms(Clock::now() - t1) / 1000.0, "s", "-", total == 0);
  }

  double perRowMs = 0, txMs = 0;
  if (part("save")) {
    std::printf("\nStoring 300 x 80 cells, half new rows and half updates (as the grid save does):\n");
    TTable disto("Disto"), titre("Titre");
    OpenTable(disto, dir, "Disto.DB");
    OpenTable(titre, dir, "Titre.DB");
    const std::vector<QString> firstHalf(clients.begin(), clients.begin() + kClients / 2);
    {
      TDbTransaction tx(dir);
      SaveGrid(disto, titre, dir, saveDay, firstHalf, titles, 1);
      tx.Commit();
    }
    const auto t0 = Clock::now();
    {
      TDbTransaction tx(disto);
      SaveGrid(disto, titre, dir, saveDay, clients, titles, 2);
      tx.Commit();  // the flush of the whole save
    }
    txMs = Ms(Clock::now() - t0);
    Report("24 000 cells stored in one transaction", txMs / 1000.0, "s", "< 0.3 s", txMs < 300.0);

    // The plain way: every post its own committed transaction. A sample of 2 clients x 80 titles,
    // half of them existing, scaled to the grid.
    const std::vector<QString> sample(clients.begin(), clients.begin() + 2);
    {
      TDbTransaction tx(dir);
      SaveGrid(disto, titre, dir, baseDay, {clients[0]}, titles, 1);
      tx.Commit();
    }
    const auto t1 = Clock::now();
    SaveGrid(disto, titre, dir, baseDay, sample, titles, 2);
    const double sampleMs = Ms(Clock::now() - t1);
    perRowMs = sampleMs / double(sample.size() * titles.size());
    Report("one committed transaction per row, per row (sample of 160)", perRowMs, "ms", "-", true);
    Report("one committed transaction per row, scaled to 24 000 cells", perRowMs * 24000 / 1000.0, "s", "-", true);
    const double ratio = perRowMs * 24000 / txMs;
    Report("ratio plain / one transaction", ratio, "x", ">= 50 x", ratio >= 50);
  }
  clearDays();

  if (part("query")) {
    std::printf("\nWeekly takings by query, one per client and title (as the returns window totals them):\n");
    const QDate sat(2025, 7, 12);
    const QDate fri = trade::Week{sat}.Friday();
    TTable held("Disto");  // the window has the takings open meanwhile
    OpenTable(held, dir, "Disto.DB");
    const auto t0 = Clock::now();
    long total = 0;
    for (int c = 0; c < kClients; c += 10)
      for (const QString& t : titles) {
        TQuery q("myQuery");
        q.SetDatabaseName(dir);
        q.SQL.Add("SELECT SUM(Qte_Prise) AS QtePrise FROM Disto.DB WHERE (ID_CLIENT='" + clients[c] + "') AND " + "(ID_TITRE='" +
                  t + "')  AND " + "(DATEJ>='" + QString("%1/%2/%3").arg(sat.month()).arg(sat.day()).arg(sat.year()) + "') AND " +
                  "(DATEJ<='" + QString("%1/%2/%3").arg(fri.month()).arg(fri.day()).arg(fri.year()) + "')");
        q.Open();
        total += q.FieldByName("QtePrise")->AsInteger();
        q.Close();
      }
    const double ms = Ms(Clock::now() - t0);
    Report("2 400 weekly-sum queries (total " + std::to_string(total) + "), per query", ms / 2400.0, "ms", "-", true);
  }

  if (part("report")) {
    std::printf("\nA week's takings walked client by client through a filter (as the delivery notes are built):\n");
    TTable disto("Disto");
    OpenTable(disto, dir, "Disto.DB");
    const auto t0 = Clock::now();
    long rows = 0, total = 0;
    for (const QString& c : clients) {
      disto.SetFilter("(DATEJ>='12/07/2025') and (DATEJ<='18/07/2025') and (ID_CLIENT='" + c + "')");
      disto.SetFiltered(true);
      for (disto.First(); !disto.Eof(); disto.Next()) {
        total += disto.FieldByName("Qte_Prise")->AsInteger();
        rows++;
      }
    }
    const double ms = Ms(Clock::now() - t0);
    Report("300 clients x 7 days x 80 titles (" + std::to_string(rows) + " rows, total " + std::to_string(total) + ")",
           ms / 1000.0, "s", "-", true);
  }

  std::printf("\nMemory:\n");
  const long kb = PeakKb();
  Report("peak resident memory of the process (VmHWM)", double(kb) / 1024.0, "MB", "< 100 MB", kb >= 0 && kb < 100 * 1024);

  std::printf("\n%s\n", ReportExitCode() ? "Some targets were missed." : "Every target met.");
  return ReportExitCode();
}
