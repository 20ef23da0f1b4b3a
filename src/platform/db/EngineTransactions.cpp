// The engine's folder transactions: scopes, commits over several files, rollbacks.
#include "platform/db/EngineCore.h"

#include "platform/db/GroupCommit.h"

#include <sqlite3.h>

namespace dbe {

void Engine::BeginScope(const QString& folder) {
  Folder& fo = FolderOf(FolderKey(folder));
  if (fo.scope++ > 0) return;
  fo.doomed = false;
  // Before the transaction reads any of them: once read in it, a file it may write could not be
  // attached anew until its end.
  for (auto& c : fo.conns) {
    std::vector<TableFile*> stale;
    for (TableFile* f : c->files)
      if (f->readOnly) stale.push_back(f);
    for (TableFile* f : stale) {
      try {
        ReattachIfWritable(f);
      } catch (const EDBEngineError&) {
        // (The scope is open: its first write on the file says what is wrong.)
      }
    }
  }
}

void Engine::EndScope(const QString& folder, bool raise) {
  Folder& fo = FolderOf(FolderKey(folder));
  if (fo.scope <= 0) return;
  if (--fo.scope > 0) return;
  if (fo.doomed) {
    RollbackFolder(fo);
    if (raise) Raise(DBIERR_ROLLEDBACK, "Une partie de l'opération a été annulée : aucune de ses lignes n'est enregistrée.");
    return;
  }
  CommitFolder(fo, raise);
}

void Engine::CommitFolder(Folder& fo, bool raise) {
  std::exception_ptr first;
  // Rows written into more than one file are stored together or not at all.
  std::vector<Conn*> writers;
  int written = 0;
  for (auto& c : fo.conns) {
    if (!c->inTx) continue;
    const int n = int(std::count_if(c->files.begin(), c->files.end(), [](const TableFile* f) { return f->written; }));
    if (n > 0) writers.push_back(c.get());
    written += n;
  }
  if (written > 1) {
    try {
      CommitTogether(writers);
    } catch (...) {
      first = std::current_exception();
    }
  }
  for (auto& c : fo.conns) {
    if (!c->inTx) continue;
    try {
      Commit(c.get(), true);
    } catch (...) {
      if (!first) first = std::current_exception();
    }
  }
  if (first && raise) std::rethrow_exception(first);
}

void Engine::Commit(Conn* c, bool raise, bool together) {
  if (!c->inTx) return;
  if (together && std::count_if(c->files.begin(), c->files.end(), [](const TableFile* f) { return f->written; }) > 1) {
    try {
      CommitTogether({c});
    } catch (...) {
      if (raise) throw;
    }
    return;
  }
  char* err = nullptr;
  int rc = sqlite3_exec(c->db, "COMMIT", nullptr, nullptr, &err);
  if (err) sqlite3_free(err);
  if (rc != SQLITE_OK) {
    const QString msg = QString::fromUtf8(sqlite3_errmsg(c->db));
    Rollback(c);
    DetachUnused();
    if (raise) c->Fail(rc, "commit: " + msg);
    return;
  }
  AfterCommit(c);
}

void Engine::AfterCommit(Conn* c) {
  c->inTx = false;
  std::vector<TableFile*> files = c->files;
  for (TableFile* f : files) {
    f->written = false;
    if (f->pragmasPending) SetPragmas(c, f);
    if (f->counterDirty) StoreCounter(f, false);  // committed: never reported as failed
  }
  DetachUnused();  // files closed while the transaction was open go now
}

void Engine::CommitTogether(const std::vector<Conn*>& conns) {
  std::vector<sqlite3*> dbs;
  std::vector<QString> journals;
  for (Conn* c : conns) {
    dbs.push_back(c->db);
    for (const TableFile* f : c->files) journals.push_back(f->path + "-journal");
  }
  const std::vector<int> rcs = dbe::CommitTogether(conns.front()->folderKey, dbs, journals);
  if (rcs.empty()) {
    // No super-journal in this folder (read only): each connection commits on its own.
    for (Conn* c : conns) Commit(c, true, false);
    return;
  }
  int failed = SQLITE_OK;
  for (int rc : rcs)
    if (rc != SQLITE_OK && failed == SQLITE_OK) failed = rc;
  if (failed == SQLITE_OK) {
    for (Conn* c : conns) AfterCommit(c);
    return;
  }
  const QString msg = QString::fromUtf8(sqlite3_errstr(failed));
  for (Conn* c : conns) Rollback(c);
  DetachUnused();
  Raise(DBIERR_OSERROR, "commit: " + msg + "\nAucune ligne de l'opération n'est enregistrée.");
}

void Engine::RollbackScope(const QString& folder) {
  Folder& fo = FolderOf(FolderKey(folder));
  if (fo.scope <= 0) return;
  if (--fo.scope > 0) {
    fo.doomed = true;
    return;
  }
  RollbackFolder(fo);
}

void Engine::RollbackFolder(Folder& fo) {
  fo.doomed = false;
  bool refused = false;
  for (auto& c : fo.conns)
    if (!Rollback(c.get())) refused = true;
  DetachUnused();  // files closed while the transaction was open go now
  if (refused) Raise(DBIERR_OSERROR, "La transaction n'a pas pu être annulée.");
}

bool Engine::Rollback(Conn* c) {
  if (!c->inTx) return true;
  sqlite3_exec(c->db, "ROLLBACK", nullptr, nullptr, nullptr);
  if (!sqlite3_get_autocommit(c->db)) {
    // A statement left stepping holds the transaction: stop them all, then again.
    for (sqlite3_stmt* s = sqlite3_next_stmt(c->db, nullptr); s; s = sqlite3_next_stmt(c->db, s)) sqlite3_reset(s);
    sqlite3_exec(c->db, "ROLLBACK", nullptr, nullptr, nullptr);
    if (!sqlite3_get_autocommit(c->db)) return false;
  }
  // (SQLite may have rolled back by itself after an I/O error: the transaction is gone either way.)
  c->inTx = false;
  std::vector<TableFile*> files = c->files;
  for (TableFile* f : files) {
    f->version++;  // every cursor, count and Locate result reads the file again
    // Numbers handed out inside the transaction went with its rows: the header never got them.
    if (f->written || f->counterDirty) {
      DropCounter(f->path);
      ReadCounterFd(f);
      f->counterDirty = false;
      f->counterChecked = false;
    }
    f->written = false;
    if (f->pragmasPending) {
      try {
        SetPragmas(c, f);
      } catch (const EDBEngineError&) {
      }
    }
  }
  return true;
}

}  // namespace dbe
