// The integrity check of a table file: every page read through SQLite's own check of its pages
// (not of the agreement of indexes and rows, which costs a lookup per row), on a connection of
// its own that opens the file read-only, so that nothing of the file changes.
#include <QFile>
#include <QRegularExpression>
#include <sqlite3.h>

#include "platform/db/EngineCore.h"
#include "schema/DbEngine.h"

namespace {

const QRegularExpression kValueOfAnotherKind("^(non-)?[A-Za-z]+ value in \\S+$");

}  // namespace

QString CheckTableIntegrity(const QString& folder, const QString& fileName) {
  const QString path = FindTableFile(folder, fileName);
  if (path.isEmpty()) return {};
  dbe::RegisterCollationsEverywhere();  // the check compares index keys in the engine's own order
  sqlite3* db = nullptr;
  // No journal is rolled back here: a read-only connection leaves a hot journal for the engine.
  const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
  QStringList problems;
  if (rc != SQLITE_OK) {
    problems << QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
  } else {
    sqlite3_busy_timeout(db, 5000);
    // Pages read through a mapping, not copied one by one: the check of a large table (a restore
    // checks every table it brings back) takes half the time.
    sqlite3_exec(db, "PRAGMA mmap_size=2147418112", nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    int step = sqlite3_prepare_v2(db, "PRAGMA quick_check(20)", -1, &st, nullptr);
    if (step == SQLITE_OK) {
      while ((step = sqlite3_step(st)) == SQLITE_ROW) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        const QString line = QString::fromUtf8(text ? text : "");
        // A value of another kind than its column's ("TEXT value in Disto.Qte_Prise") damages no
        // page: the values are judged on their own, field by field.
        if (line != "ok" && !kValueOfAnotherKind.match(line).hasMatch()) problems << line;
      }
    }
    if (step != SQLITE_DONE && step != SQLITE_OK) problems << QString::fromUtf8(sqlite3_errmsg(db));
    sqlite3_finalize(st);
  }
  sqlite3_close(db);
  if (problems.isEmpty()) return {};
  return "fichier endommagé, des pages de données sont illisibles ; le fichier est laissé tel quel";
}
