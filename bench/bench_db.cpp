// The table engine on a year of a wholesaler's data: 30 regions, 300 clients, 80 titles, every
// client taking every title every day (8.76 million takings), weekly returns and payments, daily
// purchases. Measures what the takings window does: open the takings table, keyed Locate, read a
// day's grid cell by cell, store a day's grid (half new rows, half updates) in one transaction,
// against one committed transaction per row, and the peak memory.
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

#include "platform/db/DbiStructure.h"
#include "platform/db/Query.h"
#include "platform/db/Table.h"
#include "platform/db/Transaction.h"

namespace {

constexpr int kRegions = 30, kClients = 300, kTitles = 80;
const QDate kYearStart(2025, 1, 1);
const QDate kYearEnd(2025, 12, 31);

using Clock = std::chrono::steady_clock;
double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

QString Code(int n, int width) { return QString("%1").arg(n, width, 10, QChar('0')); }

// ---- schema ----

FLDDesc Fld(const char* name, uint16_t type, int16_t units1 = 1, uint16_t sub = fldstNONE) {
  FLDDesc f;
  f.szName = name;
  f.iFldType = type;
  f.iSubType = sub;
  f.iUnits1 = units1;
  f.op = CrtOp::Add;
  return f;
}

IDXDesc Idx(const char* name, std::vector<uint16_t> keys, bool primary) {
  IDXDesc x;
  x.szName = name;
  x.aiKeyFld = keys;
  x.iFldsInKey = uint16_t(keys.size());
  x.bPrimary = x.bUnique = primary;
  x.bCaseInsensitive = !primary;
  x.op = CrtOp::Add;
  return x;
}

std::vector<CRTblDesc> Schema() {
  auto money = [](const char* n) { return Fld(n, fldFLOAT, 1, fldstMONEY); };
  std::vector<CRTblDesc> s(8);
  s[0].szTblName = "CLIENT.DB";
  s[0].fields = {Fld("Id", fldZSTRING, 4), Fld("Ord", fldINT32), Fld("Nom", fldZSTRING, 40), Fld("Adr", fldZSTRING, 50),
                 Fld("Tel", fldZSTRING, 20), Fld("Fax", fldZSTRING, 20), Fld("Site", fldZSTRING, 1), Fld("Region", fldZSTRING, 2),
                 money("Ab0"), money("Ab1"), money("Ab2"), money("Ab3"), money("Ab4"), money("Ab5")};
  s[0].indexes = {Idx("", {1}, true), Idx("iNom", {3}, false), Idx("iOrd", {2}, false), Idx("iRegion", {8}, false),
                  Idx("iRegOrd", {8, 2}, false)};
  s[1].szTblName = "Disto.DB";
  s[1].fields = {Fld("DateJ", fldDATE), Fld("Id_Client", fldZSTRING, 4), Fld("Id_Titre", fldZSTRING, 4), Fld("Qte_Prise", fldINT32),
                 money("PU")};
  s[1].indexes = {Idx("", {1, 2, 3}, true)};
  s[2].szTblName = "Titre.DB";
  s[2].fields = {Fld("Id", fldZSTRING, 4), Fld("Nord", fldINT16), Fld("Couleur", fldINT32), Fld("Titre", fldZSTRING, 30),
                 Fld("Diminutif", fldZSTRING, 15), Fld("Num", fldINT32), money("Pha"), money("Prix"), Fld("Periode", fldZSTRING, 1),
                 Fld("Site", fldZSTRING, 1), Fld("Imprimerie", fldZSTRING, 1), Fld("Liste", fldBOOL)};
  s[2].indexes = {Idx("", {1}, true), Idx("iOrd", {2}, false)};
  s[3].szTblName = "Region.db";
  s[3].fields = {Fld("Id", fldZSTRING, 2), Fld("Libelle", fldZSTRING, 30)};
  s[3].indexes = {Idx("", {1}, true), Idx("iLibelle", {2}, false)};
  s[4].szTblName = "OrgaD.DB";
  s[4].fields = {Fld("Id_Region", fldZSTRING, 2), Fld("Id_Titre", fldZSTRING, 4), Fld("Ord_Titre", fldINT16)};
  s[5].szTblName = "Retour.DB";
  s[5].fields = {Fld("Week", fldDATE), Fld("Id_Client", fldZSTRING, 4), Fld("Id_Titre", fldZSTRING, 4), Fld("Qte", fldINT32)};
  s[5].indexes = {Idx("", {1, 2, 3}, true)};
  s[6].szTblName = "VCR.DB";
  s[6].fields = {Fld("Week", fldDATE), Fld("Id_Client", fldZSTRING, 4), money("Montant")};
  s[6].indexes = {Idx("", {1, 2}, true)};
  s[7].szTblName = "Ha.DB";
  s[7].fields = {Fld("DateH", fldDATE), Fld("Id", fldZSTRING, 4), Fld("Qte", fldINT32), money("Pu")};
  s[7].indexes = {Idx("", {1, 2}, true)};
  return s;
}

// ---- generator ----

struct Rng {
  uint64_t s = 0x9E3779B97F4A7C15ull;
  uint32_t Next() {
    s ^= s << 13;
    s ^= s >> 7;
    s ^= s << 17;
    return uint32_t(s >> 16);
  }
  int Quantity() {
    const uint32_t r = Next() % 100;
    return r < 55 ? 0 : int(1 + Next() % 20);
  }
};

void Check(int rc, sqlite3* db, const char* what) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
    std::fprintf(stderr, "generator: %s: %s\n", what, sqlite3_errmsg(db));
    std::exit(2);
  }
}

// Fills one table file with raw SQL in one transaction: rows(stmt) binds and steps each row.
template <class F>
void Fill(const QString& path, const char* sql, F rows) {
  sqlite3* db = nullptr;
  Check(sqlite3_open(path.toUtf8().constData(), &db), db, "open");
  Check(sqlite3_exec(db, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA cache_size=-65536; BEGIN", nullptr, nullptr, nullptr),
        db, "begin");
  sqlite3_stmt* s = nullptr;
  Check(sqlite3_prepare_v2(db, sql, -1, &s, nullptr), db, sql);
  rows(db, s);
  sqlite3_finalize(s);
  Check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db, "commit");
  sqlite3_close(db);
}

void Step(sqlite3* db, sqlite3_stmt* s) {
  Check(sqlite3_step(s), db, "insert");
  sqlite3_reset(s);
}

void Text(sqlite3_stmt* s, int i, const std::string& v) { sqlite3_bind_text(s, i, v.c_str(), int(v.size()), SQLITE_TRANSIENT); }

double Price(int title) { return 0.8 + (title % 20) * 0.1; }
double Rebate(int client, int periode) { return ((client + periode) % 4) * 0.05; }

void Generate(const QString& dir) {
  const QString tmp = dir + ".part";
  QDir(tmp).removeRecursively();
  QDir().mkpath(tmp);
  for (const CRTblDesc& d : Schema())
    if (Dbi::CreateTable(tmp, d) != DBIERR_NONE) {
      std::fprintf(stderr, "generator: cannot create %s: %s\n", qPrintable(d.szTblName), qPrintable(Dbi::LastErrorText()));
      std::exit(2);
    }
  auto code = [](int n, int w) { return Code(n, w).toStdString(); };
  Fill(tmp + "/Region.db", "INSERT INTO Region VALUES(?,?)", [&](sqlite3* db, sqlite3_stmt* s) {
    for (int r = 1; r <= kRegions; ++r) {
      Text(s, 1, code(r, 2));
      Text(s, 2, "REGION " + code(r, 2));
      Step(db, s);
    }
  });
  Fill(tmp + "/CLIENT.DB", "INSERT INTO CLIENT VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?)", [&](sqlite3* db, sqlite3_stmt* s) {
    for (int c = 1; c <= kClients; ++c) {
      Text(s, 1, code(c, 4));
      sqlite3_bind_int(s, 2, (c - 1) % (kClients / kRegions) + 1);
      Text(s, 3, "CLIENT " + code(c, 4));
      Text(s, 4, std::to_string(c) + " RUE DE LA GARE");
      Text(s, 5, "01 23 45 " + code(c % 100, 2) + " 00");
      sqlite3_bind_null(s, 6);
      Text(s, 7, "1");
      Text(s, 8, code((c - 1) / (kClients / kRegions) + 1, 2));
      for (int p = 0; p <= 5; ++p) sqlite3_bind_double(s, 9 + p, Rebate(c, p));
      Step(db, s);
    }
  });
  Fill(tmp + "/Titre.DB", "INSERT INTO Titre VALUES(?,?,?,?,?,?,?,?,?,?,?,?)", [&](sqlite3* db, sqlite3_stmt* s) {
    for (int t = 1; t <= kTitles; ++t) {
      Text(s, 1, code(t, 4));
      sqlite3_bind_int(s, 2, t);
      sqlite3_bind_int(s, 3, 0xFFFFFF);
      Text(s, 4, "TITRE " + code(t, 2));
      Text(s, 5, "T" + code(t, 2));
      sqlite3_bind_int(s, 6, 1000 + t);
      sqlite3_bind_double(s, 7, Price(t) * 0.7);
      sqlite3_bind_double(s, 8, Price(t));
      Text(s, 9, std::to_string(t % 6));
      Text(s, 10, "1");
      Text(s, 11, "1");
      sqlite3_bind_int(s, 12, 1);
      Step(db, s);
    }
  });
  Fill(tmp + "/OrgaD.DB", "INSERT INTO OrgaD VALUES(?,?,?)", [&](sqlite3* db, sqlite3_stmt* s) {
    for (int r = 1; r <= kRegions; ++r)
      for (int t = 1; t <= kTitles; ++t) {
        Text(s, 1, code(r, 2));
        Text(s, 2, code(t, 4));
        sqlite3_bind_int(s, 3, t);
        Step(db, s);
      }
  });
  std::vector<std::string> clients, titles;
  for (int c = 1; c <= kClients; ++c) clients.push_back(code(c, 4));
  for (int t = 1; t <= kTitles; ++t) titles.push_back(code(t, 4));
  Rng rng;
  Fill(tmp + "/Disto.DB", "INSERT INTO Disto VALUES(?,?,?,?,?)", [&](sqlite3* db, sqlite3_stmt* s) {
    for (QDate d = kYearStart; d <= kYearEnd; d = d.addDays(1)) {
      const std::string day = d.toString("yyyy-MM-dd").toStdString();
      for (int c = 0; c < kClients; ++c)
        for (int t = 0; t < kTitles; ++t) {
          sqlite3_bind_text(s, 1, day.c_str(), 10, SQLITE_STATIC);
          sqlite3_bind_text(s, 2, clients[c].c_str(), 4, SQLITE_STATIC);
          sqlite3_bind_text(s, 3, titles[t].c_str(), 4, SQLITE_STATIC);
          sqlite3_bind_int(s, 4, rng.Quantity());
          sqlite3_bind_double(s, 5, Price(t + 1) - Rebate(c + 1, (t + 1) % 6));
          Step(db, s);
        }
    }
  });
  std::vector<QDate> weeks;
  for (QDate d = kYearStart; d <= kYearEnd; d = d.addDays(1))
    if (d.dayOfWeek() == 6) weeks.push_back(d);
  Fill(tmp + "/Retour.DB", "INSERT INTO Retour VALUES(?,?,?,?)", [&](sqlite3* db, sqlite3_stmt* s) {
    for (const QDate& w : weeks) {
      const std::string week = w.toString("yyyy-MM-dd").toStdString();
      for (int c = 0; c < kClients; ++c)
        for (int t = 0; t < kTitles; ++t) {
          sqlite3_bind_text(s, 1, week.c_str(), 10, SQLITE_STATIC);
          sqlite3_bind_text(s, 2, clients[c].c_str(), 4, SQLITE_STATIC);
          sqlite3_bind_text(s, 3, titles[t].c_str(), 4, SQLITE_STATIC);
          sqlite3_bind_int(s, 4, int(rng.Next() % 4));
          Step(db, s);
        }
    }
  });
  Fill(tmp + "/VCR.DB", "INSERT INTO VCR VALUES(?,?,?)", [&](sqlite3* db, sqlite3_stmt* s) {
    for (const QDate& w : weeks) {
      const std::string week = w.toString("yyyy-MM-dd").toStdString();
      for (int c = 0; c < kClients; ++c) {
        sqlite3_bind_text(s, 1, week.c_str(), 10, SQLITE_STATIC);
        sqlite3_bind_text(s, 2, clients[c].c_str(), 4, SQLITE_STATIC);
        sqlite3_bind_double(s, 3, double(rng.Next() % 50000) / 100.0);
        Step(db, s);
      }
    }
  });
  Fill(tmp + "/Ha.DB", "INSERT INTO Ha VALUES(?,?,?,?)", [&](sqlite3* db, sqlite3_stmt* s) {
    for (QDate d = kYearStart; d <= kYearEnd; d = d.addDays(1)) {
      const std::string day = d.toString("yyyy-MM-dd").toStdString();
      for (int t = 0; t < kTitles; ++t) {
        sqlite3_bind_text(s, 1, day.c_str(), 10, SQLITE_STATIC);
        sqlite3_bind_text(s, 2, titles[t].c_str(), 4, SQLITE_STATIC);
        sqlite3_bind_int(s, 3, 500 + int(rng.Next() % 500));
        sqlite3_bind_double(s, 4, Price(t + 1) * 0.7);
        Step(db, s);
      }
    }
  });
  QFile(tmp + "/complete").open(QIODevice::WriteOnly);
  QDir(dir).removeRecursively();
  QDir().rename(tmp, dir);
}

// ---- measurements ----

long PeakKb() {
  std::ifstream f("/proc/self/status");
  std::string line;
  while (std::getline(f, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

struct Result {
  std::string what;
  double value;
  std::string unit;
  std::string target;
  bool ok;
};
std::vector<Result> results;

void Report(const std::string& what, double v, const std::string& unit, const std::string& target, bool ok) {
  results.push_back({what, v, unit, target, ok});
  std::printf("  %-62s %10.3f %-3s (target %s)%s\n", what.c_str(), v, unit.c_str(), target.c_str(), ok ? "" : "  <-- MISSED");
  std::fflush(stdout);
}

void OpenTable(TTable& t, const QString& dir, const char* name) {
  t.BeforeOpen = [dir](TDataSet& ds) { static_cast<TTable&>(ds).SetDatabaseName(dir); };
  t.SetTableName(name);
  t.Open();
}

// The net unit price as the takings window computes it for a new row.
Currency GetPU(TTable& client, TTable& titre, const QString& c, const QString& t) {
  client.SetFiltered(false);
  titre.SetFiltered(false);
  if (!client.Locate("ID", c) || !titre.Locate("ID", t)) return Currency();
  const QString periode = titre.FieldByName("Periode")->AsString;
  return titre.FieldByName("Prix")->AsCurrency() - client.FieldByName("AB" + periode)->AsCurrency();
}

// The save of the takings grid: for every cell, first record, Locate, edit or insert, post, flush.
void SaveGrid(TTable& disto, TTable& client, TTable& titre, const QDate& day, const std::vector<QString>& clients,
              const std::vector<QString>& titles, int seed) {
  disto.SetFiltered(false);
  for (const QString& c : clients)
    for (const QString& t : titles) {
      disto.First();
      if (disto.Locate("DATEJ;ID_CLIENT;ID_TITRE", {day, c, t})) {
        disto.Edit();
      } else {
        disto.Append();
        disto.FieldByName("DateJ")->AsDate = day;
        disto.FieldByName("Id_Client")->AsString = c;
        disto.FieldByName("Id_Titre")->AsString = t;
        disto.FieldByName("PU")->AsCurrency = GetPU(client, titre, c, t);
      }
      disto.FieldByName("Qte_Prise")->AsInteger = (seed + c.toInt() * 7 + t.toInt()) % 21;
      disto.Post();  // AfterPost flushes
    }
}

}  // namespace

int main(int argc, char** argv) {
  const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString(BENCH_DATA_DIR);
  std::printf("Table engine benchmark; data in %s\n", qPrintable(dir));
  if (!QFile::exists(dir + "/complete")) {
    std::printf("Generating a year of data (30 regions, 300 clients, 80 titles, 8.76 million takings)...\n");
    std::fflush(stdout);
    const auto t0 = Clock::now();
    const pid_t pid = fork();  // its memory stays out of the figures below
    if (pid == 0) {
      Generate(dir);
      _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || !QFile::exists(dir + "/complete")) {
      std::fprintf(stderr, "generation failed\n");
      return 2;
    }
    std::printf("  generated in %.1f s\n", Ms(Clock::now() - t0) / 1000.0);
  }
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

  // BENCH_ONLY=open|read|save runs one part (for profiling).
  const QString only = qEnvironmentVariable("BENCH_ONLY");
  auto part = [&](const char* p) { return only.isEmpty() || only == p; };
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
    TTable disto("Disto"), client("Client"), titre("Titre");
    OpenTable(disto, dir, "Disto.DB");
    OpenTable(client, dir, "CLIENT.DB");
    OpenTable(titre, dir, "Titre.DB");
    const std::vector<QString> firstHalf(clients.begin(), clients.begin() + kClients / 2);
    {
      TDbTransaction tx(dir);
      SaveGrid(disto, client, titre, saveDay, firstHalf, titles, 1);
      tx.Commit();
    }
    const auto t0 = Clock::now();
    {
      TDbTransaction tx(disto);
      SaveGrid(disto, client, titre, saveDay, clients, titles, 2);
      tx.Commit();  // the flush of the whole save
    }
    txMs = Ms(Clock::now() - t0);
    Report("24 000 cells stored in one transaction", txMs / 1000.0, "s", "< 0.3 s", txMs < 300.0);

    // The plain way: every post its own committed transaction. A sample of 2 clients x 80 titles,
    // half of them existing, scaled to the grid.
    const std::vector<QString> sample(clients.begin(), clients.begin() + 2);
    {
      TDbTransaction tx(dir);
      SaveGrid(disto, client, titre, baseDay, {clients[0]}, titles, 1);
      tx.Commit();
    }
    const auto t1 = Clock::now();
    SaveGrid(disto, client, titre, baseDay, sample, titles, 2);
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
                  "(DATEJ<='" + QString("%1/%2/%3").arg(sat.addDays(6).month()).arg(sat.addDays(6).day()).arg(sat.addDays(6).year()) + "')");
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

  int missed = 0;
  for (const Result& r : results) missed += !r.ok;
  std::printf("\n%s\n", missed ? "Some targets were missed." : "Every target met.");
  return missed ? 1 : 0;
}
