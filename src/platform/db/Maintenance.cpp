#include "platform/db/Maintenance.h"

#include <QDir>
#include <sqlite3.h>
#include <vector>

#include "platform/db/DbiStructure.h"
#include "platform/db/EngineCore.h"

using namespace dbe;

namespace Dbi {

QStringList TablesOpenHere(const QString& folder, const QStringList& fileNames) {
  QStringList out;
  const bool writing = Engine::Get().InScope(Engine::FolderKey(folder));
  for (const QString& n : fileNames) {
    const QString path = FindTableFile(folder, n);
    if (path.isEmpty()) continue;
    if (writing || Engine::Get().InUse(path)) out << n;
  }
  return out;
}

QStringList TablesOpenElsewhere(const QString& folder, const QStringList& fileNames) {
  QStringList out;
  for (const QString& n : fileNames) {
    const QString path = FindTableFile(folder, n);
    if (path.isEmpty() || Engine::Get().InUse(path)) continue;
    const int fd = LockFile(path, true);
    if (fd == -2) out << n;
    else UnlockFile(fd);
  }
  return out;
}

}  // namespace Dbi

struct TTablesReadLock::Impl {
  std::vector<sqlite3*> dbs;
  ~Impl() {
    for (sqlite3* db : dbs) {
      sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
      sqlite3_close_v2(db);
    }
  }
};

TTablesReadLock::TTablesReadLock(const QString& folder, const QStringList& fileNames, int timeoutMs)
    : d_(std::make_unique<Impl>()) {
  for (const QString& n : fileNames) {
    const QString path = Dbi::FindTableFile(folder, n);
    if (path.isEmpty()) continue;  // a table that is missing is not archived either
    sqlite3* db = nullptr;
    // Read-write, so that a journal left by a crashed writer can be rolled back before the copy.
    int rc = sqlite3_open_v2(QDir::toNativeSeparators(path).toUtf8().constData(), &db,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc == SQLITE_OK) {
      d_->dbs.push_back(db);
      sqlite3_busy_timeout(db, timeoutMs);
      rc = sqlite3_exec(db, "BEGIN; SELECT count(*) FROM sqlite_master;", nullptr, nullptr, nullptr);
    }
    if (rc != SQLITE_OK) {
      const QString cause = dbe::FrenchCause(db ? sqlite3_extended_errcode(db) : rc);
      failure_ = "La table " + n + " est en cours d'écriture ou illisible : " +
                 (cause.isEmpty() ? QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc)) : cause);
      if (db && (d_->dbs.empty() || d_->dbs.back() != db)) sqlite3_close_v2(db);
      d_.reset();
      d_ = std::make_unique<Impl>();
      return;
    }
  }
}

TTablesReadLock::~TTablesReadLock() = default;
