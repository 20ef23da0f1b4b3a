// The engine: table files attached to the connections of their folder.
#include "platform/db/EngineCore.h"

#include "platform/db/GroupCommit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <unistd.h>

namespace dbe {

Engine& Engine::Get() {
  static Engine e;
  return e;
}

QString Engine::FolderKey(const QString& folder) {
  QString f = folder.isEmpty() ? QDir::currentPath() : folder;
  QFileInfo fi(f);
  QString p = fi.exists() ? fi.canonicalFilePath() : QDir::cleanPath(fi.absoluteFilePath());
  return p;
}

QString Engine::PathKey(const QString& path) {
  QFileInfo fi(path);
  QString dir = FolderKey(fi.absolutePath());
  return dir + "/" + fi.fileName();
}

Engine::Folder& Engine::FolderOf(const QString& key) {
  auto it = folders_.find(key);
  if (it != folders_.end()) return it->second;
  SweepSuperJournals(key);
  SweepRebuilds(key);
  return folders_[key];
}

TableFile* Engine::Find(const QString& path) const {
  auto it = files_.find(PathKey(path));
  return it == files_.end() ? nullptr : it->second.get();
}

bool Engine::InUse(const QString& path) const {
  const TableFile* f = Find(path);
  return f && f->refs > 0;
}

bool Engine::InScope(const QString& folderKey) const {
  auto it = folders_.find(folderKey);
  return it != folders_.end() && it->second.scope > 0;
}

Conn* Engine::ConnWithRoom(Folder& fo, Conn* avoid) {
  for (auto& c : fo.conns)
    if (c.get() != avoid && int(c->files.size()) < c->maxAttached) return c.get();
  return nullptr;
}

void Engine::Attach(TableFile* f, Conn* c) {
  const QString alias = QString("z%1").arg(++aliasSeq_);
  {
    sqlite3_stmt* s = nullptr;
    int rc = sqlite3_prepare_v2(c->db, QString("ATTACH ? AS %1").arg(alias).toUtf8().constData(), -1, &s, nullptr);
    if (rc != SQLITE_OK) c->Fail(rc, "attach");
    QByteArray p = f->path.toUtf8();
    sqlite3_bind_text(s, 1, p.constData(), int(p.size()), SQLITE_TRANSIENT);
    rc = sqlite3_step(s);
    sqlite3_finalize(s);
    if (rc != SQLITE_DONE) c->Fail(rc, "attach " + f->path);
  }
  f->conn = c;
  f->alias = alias;
  f->readOnly = sqlite3_db_readonly(c->db, alias.toUtf8().constData()) == 1;
  c->files.push_back(f);
  // Rollback journal; a commit syncs the file, the journal and, once the journal is gone, the
  // folder, so that what Post returned from survives a power cut. Not settable inside a
  // transaction: then set at its end.
  f->pragmasPending = c->inTx;
  if (!c->inTx) SetPragmas(c, f);
}

void Engine::SetPragmas(Conn* c, TableFile* f) {
  c->Exec(QString("PRAGMA %1.synchronous=EXTRA; PRAGMA %1.journal_mode=DELETE").arg(f->alias));
  f->pragmasPending = false;
}

bool Engine::Detach(TableFile* f) {
  Conn* c = f->conn;
  if (!c) return true;
  if (c->inTx && f->written) return false;
  c->DropCached(f->alias);
  char* err = nullptr;
  int rc = sqlite3_exec(c->db, QString("DETACH %1").arg(f->alias).toUtf8().constData(), nullptr, nullptr, &err);
  if (err) sqlite3_free(err);
  if (rc != SQLITE_OK) return false;
  c->files.erase(std::find(c->files.begin(), c->files.end(), f));
  f->conn = nullptr;
  f->alias.clear();
  return true;
}

void Engine::LoadMeta(TableFile* f, bool reconcile) {
  f->meta = ReadMeta(f->conn, f->alias);
  ReadCounterFd(f);
  f->counterChecked = false;
  bool anyMissing = false;
  for (IndexMeta& x : f->meta.indexes) {
    x.missing = !CompanionOk(f->path, f->meta, x);
    anyMissing |= x.missing;
  }
  if (anyMissing && reconcile) {
    // (Held open here, the table is being rebuilt by nobody.)
    CompletePendingCompanions(f->path, f->meta);
    anyMissing = false;
    for (IndexMeta& x : f->meta.indexes) {
      x.missing = !CompanionOk(f->path, f->meta, x);
      anyMissing |= x.missing;
    }
  }
  if (!reconcile || !anyMissing) return;
  // An index whose companion file is gone does not exist any more: drop it for good, so that the
  // structure check sees it missing and builds it again.
  std::vector<IndexMeta> kept;
  const QString folder = QFileInfo(f->path).absolutePath();
  bool stored = true;
  try {
    BeforeWrite(f);
    Conn* c = f->conn;
    const bool ownTx = !c->inTx;
    if (ownTx) c->Exec("BEGIN IMMEDIATE");
    try {
      for (IndexMeta& x : f->meta.indexes) {
        if (!x.missing) continue;
        // A unique index stays in the file, out of sight, so that codes cannot be stored twice
        // until the check rebuilds the table; the rebuilt file does not carry it over.
        if (x.desc.bPrimary || x.desc.bUnique) continue;
        if (!x.sqlName.isEmpty()) c->Exec(QString("DROP INDEX IF EXISTS %1.%2").arg(f->alias, Quote(x.sqlName)));
      }
      c->Exec(QString("DELETE FROM %1.zelm_indexes").arg(f->alias));
      int n = 0;
      for (IndexMeta& x : f->meta.indexes) {
        if (x.missing) continue;
        x.desc.iIndexId = uint16_t(++n);
        Stmt s(c, QString("INSERT INTO %1.zelm_indexes VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)").arg(f->alias));
        QStringList keys;
        for (uint16_t k : x.desc.aiKeyFld) keys << QString::number(k);
        s.BindAll({n, x.desc.szName, x.desc.szTagName, keys.join(','), int(x.desc.bPrimary), int(x.desc.bUnique),
                   int(x.desc.bDescending), int(x.desc.bMaintained), int(x.desc.bCaseInsensitive),
                   int(x.desc.bExpIdx), int(x.desc.bSubset), x.desc.szFormat, int(x.desc.iKeyExpType),
                   x.desc.szKeyExp, x.desc.szKeyCond, x.sqlName, x.companions.join('|')});
        s.Step();
      }
      if (ownTx) c->Exec("COMMIT");
    } catch (...) {
      if (ownTx) sqlite3_exec(c->db, "ROLLBACK", nullptr, nullptr, nullptr);
      throw;
    }
    AfterWrite(f);
  } catch (const EDBEngineError&) {
    stored = false;  // a read-only file: the indexes are only hidden
  }
  for (IndexMeta& x : f->meta.indexes) {
    if (x.missing) {
      for (const QString& n : x.companions) {
        const QString p = FindCI(folder, n);
        if (!p.isEmpty() && stored) QFile::remove(p);
      }
    } else {
      kept.push_back(x);
    }
  }
  int n = 0;
  for (IndexMeta& x : kept) x.desc.iIndexId = uint16_t(++n);
  f->meta.indexes = kept;
}

TableFile* OpenTableFile(const QString& folder, const QString& fileName, Engine::Mode mode) {
  const QString path = Dbi::FindTableFile(folder, fileName);
  if (path.isEmpty()) Raise(DBIERR_NOSUCHTABLE, QDir(folder).filePath(fileName));
  return Engine::Get().Open(path, mode);
}

TableFile* Engine::Open(const QString& path, Mode mode) {
  const QString key = PathKey(path);
  const bool exclusive = mode == Mode::Exclusive;
  auto it = files_.find(key);
  if (it != files_.end()) {
    TableFile* f = it->second.get();
    if (!f->conn) Raise(DBIERR_FILEBUSY, TableDetail(path));  // reserved by a structure call
    if (f->refs > 0 && (exclusive || f->exclusive)) Raise(DBIERR_FILEBUSY, TableDetail(path));
    if (exclusive && f->lockFd >= 0 && ::flock(f->lockFd, LOCK_EX | LOCK_NB) != 0) Raise(DBIERR_FILEBUSY, TableDetail(path));
    if (!exclusive && f->refs == 0 && f->lockFd >= 0) ::flock(f->lockFd, LOCK_SH | LOCK_NB);
    if (mode != Mode::Probe) {
      bool missing = false;
      for (auto& x : f->meta.indexes) missing |= x.missing;
      if (missing) LoadMeta(f, true);
    }
    CheckOthers(f);
    f->refs++;
    f->exclusive = exclusive;
    return f;
  }
  if (!QFileInfo(key).isFile()) Raise(DBIERR_NOSUCHTABLE, TableDetail(path));
  const int fd = LockFile(key, exclusive);
  if (fd == -2) Raise(DBIERR_FILEBUSY, TableDetail(path));
  if (fd < 0) Raise(DBIERR_OSERROR, QString("%1\nOuverture impossible : %2").arg(TableDetail(path), strerror(errno)));
  auto owned = std::make_unique<TableFile>();
  TableFile* f = owned.get();
  f->path = key;
  f->folderKey = FolderKey(QFileInfo(key).absolutePath());
  f->lockFd = fd;
  Folder& fo = FolderOf(f->folderKey);
  Conn* c = ConnWithRoom(fo);
  if (!c) {
    fo.conns.push_back(std::make_unique<Conn>(f->folderKey));
    c = fo.conns.back().get();
  }
  try {
    Attach(f, c);
    files_[key] = std::move(owned);
    LoadMeta(f, mode != Mode::Probe);
    CheckOthers(f);
  } catch (const EDBEngineError& e) {
    if (f->conn) Detach(f);
    files_.erase(key);
    UnlockFile(fd);
    // The operator must learn which file is damaged or out of reach.
    if (e.Message().contains(QFileInfo(key).fileName())) throw;
    throw EDBEngineError(e.ErrorCode(), e.Message() + "\nTable : " + QDir::toNativeSeparators(path));
  } catch (...) {
    if (f->conn) Detach(f);
    files_.erase(key);
    UnlockFile(fd);
    throw;
  }
  f->refs = 1;
  f->exclusive = exclusive;
  return f;
}

void Engine::Close(TableFile* f) {
  if (!f || f->refs <= 0) return;
  if (--f->refs > 0) return;
  f->exclusive = false;
  DetachUnused();
}

void Engine::DetachUnused() {
  // Files nothing uses any more, including those that had to wait for a transaction's end.
  std::vector<TableFile*> unused;
  for (auto& [key, f] : files_)
    if (f->refs == 0 && f->conn) unused.push_back(f.get());
  for (TableFile* f : unused) {
    if (!Detach(f)) continue;
    const QString key = f->path;
    UnlockFile(f->lockFd);
    files_.erase(key);
  }
}

TableFile* Engine::Reserve(const QString& path) {
  const QString key = PathKey(path);
  auto it = files_.find(key);
  if (it != files_.end()) {
    TableFile* f = it->second.get();
    if (f->refs > 0 || !f->conn) Raise(DBIERR_FILEBUSY, TableDetail(path));
    if (!Detach(f)) Raise(DBIERR_FILEBUSY, TableDetail(path));
    UnlockFile(f->lockFd);
    files_.erase(it);
  }
  int fd = -1;
  if (QFileInfo(key).isFile()) {
    fd = LockFile(key, true);
    if (fd == -2) Raise(DBIERR_FILEBUSY, TableDetail(path));
    if (fd >= 0) SweepRebuilds(QFileInfo(key).absolutePath(), key);
  }
  auto owned = std::make_unique<TableFile>();
  TableFile* f = owned.get();
  f->path = key;
  f->folderKey = FolderKey(QFileInfo(key).absolutePath());
  f->lockFd = fd;
  f->refs = 1;
  f->exclusive = true;
  files_[key] = std::move(owned);
  return f;
}

void Engine::Unreserve(TableFile* f) {
  if (!f) return;
  const QString key = f->path;
  UnlockFile(f->lockFd);
  files_.erase(key);
}

static bool HoldsWrites(const Conn* c) {
  if (!c->inTx) return false;
  for (const TableFile* f : c->files)
    if (f->written) return true;
  return false;
}

// A file of the connection that can leave it now: nothing written into it, and no transaction
// on it that could not end at once (one that only read ends without storing anything).
static bool Movable(const TableFile* f) {
  const Conn* c = f->conn;
  if (!c || f->written) return false;
  if (!c->inTx || !HoldsWrites(c)) return true;
  return sqlite3_txn_state(c->db, f->alias.toUtf8().constData()) == SQLITE_TXN_NONE;
}

void Engine::Move(TableFile* f, Conn* to) {
  Conn* from = f->conn;
  if (from == to) return;
  if (int(to->files.size()) >= to->maxAttached) Raise(DBIERR_FILEBUSY, "Trop de tables ouvertes dans " + QDir::toNativeSeparators(f->folderKey));
  if (!Detach(f)) {
    // A file read or written in the open transaction stays on its connection until the
    // transaction ends. A transaction that only read ends now: nothing to store. One that wrote
    // cannot end half way: the operation that needs the file elsewhere is refused instead.
    if (from->inTx && HoldsWrites(from))
      Raise(DBIERR_FILEBUSY, "Trop de tables sont écrites dans la transaction en cours pour que l'instruction les lise "
                             "ensemble ; la transaction est intacte.\n" + TableDetail(f->path));
    if (from->inTx) Commit(from, true, false);
    if (!Detach(f)) Raise(DBIERR_FILEBUSY, TableDetail(f->path));
  }
  Attach(f, to);
  f->version++;
}

Conn* Engine::WriterOf(const QString& folderKey) {
  auto it = folders_.find(folderKey);
  if (it == folders_.end() || it->second.scope <= 0) return nullptr;
  Conn* w = nullptr;
  long most = 0;
  for (auto& c : it->second.conns) {
    if (!c->inTx) continue;
    const long n = std::count_if(c->files.begin(), c->files.end(), [](const TableFile* f) { return f->written; });
    if (n > most) {
      most = n;
      w = c.get();
    }
  }
  return w;
}

bool Engine::MakeRoom(Conn* c, const std::vector<TableFile*>& keep) {
  if (int(c->files.size()) < c->maxAttached) return true;
  TableFile* spare = nullptr;
  for (TableFile* g : c->files)
    if (std::find(keep.begin(), keep.end(), g) == keep.end() && Movable(g)) spare = g;
  if (!spare) return false;
  Folder& fo = FolderOf(c->folderKey);
  Conn* other = ConnWithRoom(fo, c);
  if (!other) {
    fo.conns.push_back(std::make_unique<Conn>(c->folderKey));
    other = fo.conns.back().get();
  }
  Move(spare, other);
  return true;
}

void Engine::ReattachIfWritable(TableFile* f) {
  Conn* c = f->conn;
  if (!c || !f->readOnly) return;
  const QByteArray p = QFile::encodeName(f->path);
  if (::faccessat(AT_FDCWD, p.constData(), W_OK, AT_EACCESS) != 0 || !Movable(f)) return;
  if (!Detach(f)) {
    // A transaction that only read ends now (nothing to store); one that wrote is never cut.
    if (!c->inTx || HoldsWrites(c)) return;
    Commit(c, true, false);
    if (!Detach(f)) return;
  }
  // Its lock descriptor was opened read-only too, and the counter is written through it. Swapped
  // while SQLite has the file closed: closing a descriptor drops the process's record locks.
  if (f->lockFd >= 0 && !f->exclusive && (::fcntl(f->lockFd, F_GETFL) & O_ACCMODE) == O_RDONLY) {
    const int rw = ::open(p.constData(), O_RDWR | O_CLOEXEC);
    if (rw >= 0 && ::flock(rw, LOCK_SH | LOCK_NB) == 0) {
      ::close(f->lockFd);
      f->lockFd = rw;
    } else if (rw >= 0) {
      ::close(rw);
    }
  }
  Attach(f, c);
  f->version++;
}

void Engine::Gather(TableFile* f) {
  ReattachIfWritable(f);
  // Inside a transaction, the files it writes go to one connection while it has room: a join
  // over them then never has to move a file whose rows are pending.
  Conn* from = f->conn;
  if (!from || f->written || (from->inTx && HoldsWrites(from))) return;
  Conn* w = WriterOf(from->folderKey);
  if (!w || w == from || !Movable(f)) return;
  if (!MakeRoom(w, {f})) return;  // the rows span connections; their commit stays whole anyway
  Move(f, w);
}

Conn* Engine::Colocate(const std::vector<TableFile*>& files, bool write) {
  if (files.empty()) return nullptr;
  if (write)
    for (TableFile* f : files) ReattachIfWritable(f);
  std::map<Conn*, int> count;
  for (TableFile* f : files) count[f->conn]++;
  Conn* target = nullptr;
  // A statement that writes inside a transaction goes where the transaction's rows are.
  if (write) {
    Conn* w = WriterOf(files.front()->folderKey);
    bool fits = w != nullptr;
    for (TableFile* f : files)
      if (w && f->conn != w && !Movable(f)) fits = false;
    if (fits) target = w;
  }
  if (!target && count.size() == 1) return files.front()->conn;
  if (!target) {
    // The files go where the fewest must leave a connection holding rows written in the open
    // transaction (such a file cannot leave), then where most of them are.
    int best = 0;
    for (auto& [c, n] : count) {
      int score = n;
      for (TableFile* f : files)
        if (f->conn != c && !Movable(f)) score -= 1000;
      if (!target || score > best) {
        best = score;
        target = c;
      }
    }
  }
  for (TableFile* f : files) {
    if (f->conn == target) continue;
    if (!MakeRoom(target, files)) {
      if (HoldsWrites(target))
        Raise(DBIERR_FILEBUSY, "Trop de tables sont écrites dans la transaction en cours pour que l'instruction les lise "
                               "ensemble ; la transaction est intacte.");
      Raise(DBIERR_INVALIDPARAM, "L'instruction nomme trop de tables à la fois");
    }
    Move(f, target);
  }
  return target;
}

void Engine::BeforeWrite(TableFile* f) {
  Conn* c = f->conn;
  if (!c) Raise(DBIERR_FILEBUSY, TableDetail(f->path));
  if (InScope(c->folderKey) && !c->inTx) {
    c->Exec("BEGIN");
    c->inTx = true;
  }
  if (c->inTx) f->written = true;
}

void Engine::BeforeRead(TableFile* f) {
  Conn* c = f->conn;
  if (c && !c->inTx && InScope(c->folderKey)) {
    c->Exec("BEGIN");
    c->inTx = true;
  }
}

void Engine::AfterWrite(TableFile* f) {
  f->version++;
  // The row is stored: a header busy elsewhere must not make the Post look failed (the next key
  // goes past the keys stored anyway; the counter is written at a later write).
  if (f->counterDirty && !f->conn->inTx) StoreCounter(f, false);
}

void Engine::CheckOthers(TableFile* f) {
  if (!f || !f->conn) return;
  sqlite3_stmt* s = nullptr;
  if (sqlite3_prepare_v2(f->conn->db, QString("PRAGMA %1.data_version").arg(f->alias).toUtf8().constData(), -1, &s,
                         nullptr) != SQLITE_OK) {
    sqlite3_finalize(s);
    return;
  }
  if (sqlite3_step(s) == SQLITE_ROW) {
    const int64_t v = sqlite3_column_int64(s, 0);
    if (f->dataVersion >= 0 && v != f->dataVersion) f->version++;
    f->dataVersion = v;
  }
  sqlite3_finalize(s);
}

}  // namespace dbe
