#include "BenchData.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "platform/db/DbiStructure.h"

namespace bench {

QString Code(int n, int width) { return QString("%1").arg(n, width, 10, QChar('0')); }
double Price(int title) { return 0.8 + (title % 20) * 0.1; }
double Rebate(int client, int periode) { return ((client + periode) % 4) * 0.05; }

namespace {

// ---- schema ----

FLDDesc Fld(const char* name, uint16_t type, int16_t units1 = 1, uint16_t sub = fldstNONE) {
  return FieldToAdd(name, type, units1, sub);
}

// Secondary indexes ignore case, as the application's do.
IDXDesc Idx(const char* name, std::vector<uint16_t> keys, bool primary) {
  return IndexToAdd(name, std::move(keys), primary, !primary);
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

bool failedReport = false;

}  // namespace

bool CopyYearData(const QString& from, const QString& to, const QStringList& tables) {
  QDir(to).removeRecursively();
  QDir().mkpath(to);
  for (const QFileInfo& f : QDir(from).entryInfoList(QDir::Files)) {
    if (f.fileName() == "complete") continue;
    if (!tables.isEmpty() && !tables.contains(f.fileName().section('.', 0, 0), Qt::CaseInsensitive)) continue;
    const QString target = to + "/" + f.fileName();
    if (!QFile::copy(f.filePath(), target)) return false;
    QFile(target).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
  }
  return true;
}

bool EnsureYearData(const QString& dir) {
  if (QFile::exists(dir + "/complete")) return true;
  std::printf("Generating a year of data (30 regions, 300 clients, 80 titles, 8.76 million takings)...\n");
  std::fflush(stdout);
  const auto t0 = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    Generate(dir);
    _exit(0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || !QFile::exists(dir + "/complete")) {
    std::fprintf(stderr, "generation failed\n");
    return false;
  }
  std::printf("  generated in %.1f s\n", Ms(Clock::now() - t0) / 1000.0);
  return true;
}

long PeakKb() {
  std::ifstream f("/proc/self/status");
  std::string line;
  while (std::getline(f, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

void Report(const std::string& what, double v, const std::string& unit, const std::string& target, bool ok) {
  failedReport = failedReport || !ok;
  std::printf("  %-62s %10.3f %-3s (target %s)%s\n", what.c_str(), v, unit.c_str(), target.c_str(), ok ? "" : "  <-- MISSED");
  std::fflush(stdout);
}

int ReportExitCode() { return failedReport ? 1 : 0; }

}  // namespace bench
