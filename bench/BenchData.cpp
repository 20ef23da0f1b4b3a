#include "BenchData.h"

#include <QCryptographicHash>
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
#include "schema/AppSchema.h"
#include "schema/SchemaTables.h"

namespace bench {

QString Code(int n, int width) { return QString("%1").arg(n, width, 10, QChar('0')); }
double Price(int title) { return 0.8 + (title % 20) * 0.1; }
double Rebate(int client, int periode) { return ((client + periode) % 4) * 0.05; }

namespace {

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


// The layout the data are made for, kept in the "complete" mark: data of an older schema are
// made again rather than timed on tables the program no longer has.
// The generator's own revision goes in too, so that data it now makes otherwise are made again.
QByteArray LayoutMark() {
  const QByteArray made = ApplicationDescriptor().join('\n').toUtf8() + "\ngenerator 2";
  return QCryptographicHash::hash(made, QCryptographicHash::Sha1).toHex();
}

void Generate(const QString& dir) {
  const QString tmp = dir + ".part";
  QDir(tmp).removeRecursively();
  QDir().mkpath(tmp);
  for (const CRTblDesc& d : ApplicationTableDescs())
    if (Dbi::CreateTable(tmp, d) != DBIERR_NONE) {
      std::fprintf(stderr, "generator: cannot create %s: %s\n", qPrintable(d.szTblName), qPrintable(Dbi::LastErrorText()));
      std::exit(2);
    }
  auto code = [](int n, int w) { return Code(n, w).toStdString(); };
  // The sites and printing houses the clients and titles name, so that their windows show them.
  const char* const sites[] = {"DEPOT CENTRAL", "DEPOT NORD", "DEPOT SUD"};
  const char* const printers[] = {"IMPRIMERIE DU CENTRE", "IMPRIMERIE DE L'EST"};
  auto site = [](int n) { return std::to_string(1 + n % 3); };
  auto printer = [](int n) { return std::to_string(1 + n % 2); };
  Fill(tmp + "/Site.DB", "INSERT INTO Site(Id, Libelle) VALUES(?,?)", [&](sqlite3* db, sqlite3_stmt* s) {
    for (int i = 0; i < 3; ++i) {
      Text(s, 1, site(i));
      Text(s, 2, sites[i]);
      Step(db, s);
    }
  });
  Fill(tmp + "/IMPRIMERIE.DB", "INSERT INTO IMPRIMERIE(Id, Libelle) VALUES(?,?)", [&](sqlite3* db, sqlite3_stmt* s) {
    for (int i = 0; i < 2; ++i) {
      Text(s, 1, printer(i));
      Text(s, 2, printers[i]);
      Step(db, s);
    }
  });
  Fill(tmp + "/Region.db", "INSERT INTO Region(Id, Libelle) VALUES(?,?)", [&](sqlite3* db, sqlite3_stmt* s) {
    for (int r = 1; r <= kRegions; ++r) {
      Text(s, 1, code(r, 2));
      Text(s, 2, "REGION " + code(r, 2));
      Step(db, s);
    }
  });
  Fill(tmp + "/CLIENT.DB", "INSERT INTO CLIENT(Id, Ord, Nom, Adr, Tel, Fax, Site, Region, Ab0, Ab1, Ab2, Ab3, Ab4, Ab5)"
       " VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?)", [&](sqlite3* db, sqlite3_stmt* s) {
    for (int c = 1; c <= kClients; ++c) {
      Text(s, 1, code(c, 4));
      sqlite3_bind_int(s, 2, (c - 1) % (kClients / kRegions) + 1);
      Text(s, 3, "CLIENT " + code(c, 4));
      Text(s, 4, std::to_string(c) + " RUE DE LA GARE");
      Text(s, 5, "01 23 45 " + code(c % 100, 2) + " 00");
      sqlite3_bind_null(s, 6);
      Text(s, 7, site((c - 1) / (kClients / kRegions)));
      Text(s, 8, code((c - 1) / (kClients / kRegions) + 1, 2));
      for (int p = 0; p <= 5; ++p) sqlite3_bind_double(s, 9 + p, Rebate(c, p));
      Step(db, s);
    }
  });
  Fill(tmp + "/Titre.DB", "INSERT INTO Titre(Id, Nord, Couleur, Titre, Diminutif, Num, Pha, Prix, Periode, Site, Imprimerie, Liste)"
       " VALUES(?,?,?,?,?,?,?,?,?,?,?,?)", [&](sqlite3* db, sqlite3_stmt* s) {
    for (int t = 1; t <= kTitles; ++t) {
      Text(s, 1, code(t, 4));
      sqlite3_bind_int(s, 2, t);
      // No colour, as the titles window stores a new title: the lists print it in black.
      sqlite3_bind_null(s, 3);
      Text(s, 4, std::string("TITRE ").append(code(t, 2)));
      Text(s, 5, std::string("T").append(code(t, 2)));
      sqlite3_bind_int(s, 6, 1000 + t);
      sqlite3_bind_double(s, 7, Price(t) * 0.7);
      sqlite3_bind_double(s, 8, Price(t));
      Text(s, 9, std::to_string(t % 6));
      Text(s, 10, site(t));
      Text(s, 11, printer(t));
      sqlite3_bind_int(s, 12, 1);
      Step(db, s);
    }
  });
  Fill(tmp + "/OrgaD.DB", "INSERT INTO OrgaD(Id_Region, Id_Titre, Ord_Titre) VALUES(?,?,?)", [&](sqlite3* db, sqlite3_stmt* s) {
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
  Fill(tmp + "/Disto.DB", "INSERT INTO Disto(DateJ, Id_Client, Id_Titre, Qte_Prise, PU) VALUES(?,?,?,?,?)", [&](sqlite3* db, sqlite3_stmt* s) {
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
  Fill(tmp + "/Retour.DB", "INSERT INTO Retour(Week, Id_Client, Id_Titre, Qte) VALUES(?,?,?,?)", [&](sqlite3* db, sqlite3_stmt* s) {
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
  Fill(tmp + "/VCR.DB", "INSERT INTO VCR(Week, Id_Client, Montant) VALUES(?,?,?)", [&](sqlite3* db, sqlite3_stmt* s) {
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
  Fill(tmp + "/Ha.DB", "INSERT INTO Ha(DateH, Id, Qte, Pu) VALUES(?,?,?,?)", [&](sqlite3* db, sqlite3_stmt* s) {
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
  QFile mark(tmp + "/complete");
  if (!mark.open(QIODevice::WriteOnly) || mark.write(LayoutMark()) < 0) std::exit(2);
  mark.close();
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

QByteArray YearDataMark(const QString& dir) {
  QFile mark(dir + "/complete");
  return mark.open(QIODevice::ReadOnly) ? mark.readAll() : QByteArray();
}

bool EnsureYearData(const QString& dir) {
  if (YearDataMark(dir) == LayoutMark()) return true;
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
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || YearDataMark(dir) != LayoutMark()) {
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
