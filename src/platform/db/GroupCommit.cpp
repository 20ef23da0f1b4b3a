#include "platform/db/GroupCommit.h"

#include <QDir>
#include <QFile>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <set>
#include <sqlite3.h>
#include <string>
#include <sys/file.h>
#include <unistd.h>

namespace dbe {

namespace {

const unsigned char kJournalMagic[8] = {0xd9, 0xd5, 0x05, 0xf9, 0x20, 0xa1, 0x63, 0xd7};
const uint32_t kPendingByte = 0x40000000;

uint32_t Get32(const unsigned char* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}
void Put32(unsigned char* p, uint32_t v) {
  p[0] = v >> 24; p[1] = v >> 16; p[2] = v >> 8; p[3] = v;
}

// The commit in progress (the engine runs on one thread).
struct Group {
  std::string super;
  std::set<std::string> journals;  // may name this super-journal
  std::set<std::string> tagged;    // do name it
  std::vector<sqlite3*> conns;
  std::vector<int> rcs;
  size_t next = 0;
  bool decided = false;  // the super-journal is gone: committed
  bool failed = false;
  int dirFd = -1;
};
Group* g_group = nullptr;

sqlite3_vfs* g_real = nullptr;
sqlite3_vfs g_vfs;

struct ZFile {
  sqlite3_file base;
  sqlite3_file* real;
  bool journal;
  bool main;
  std::string path;
};

// Auto-increment counters handed out in the open transaction of a file, by path.
std::map<std::string, int32_t> g_counters;

sqlite3_file* Real(sqlite3_file* f) { return reinterpret_cast<ZFile*>(f)->real; }

void RunRest();

// The super-journal record at the end of a rollback journal, as SQLite writes it.
int Tag(ZFile* z) {
  unsigned char h[28];
  int rc = z->real->pMethods->xRead(z->real, h, 28, 0);
  if (rc != SQLITE_OK) return rc;
  // (Its magic number is only written after this first sync.)
  const uint32_t sector = Get32(h + 20), pageSize = Get32(h + 24);
  if (sector < 32 || sector > 65536 || pageSize < 512 || pageSize > 65536) return SQLITE_IOERR_WRITE;
  sqlite3_int64 size = 0;
  rc = z->real->pMethods->xFileSize(z->real, &size);
  if (rc != SQLITE_OK) return rc;
  const sqlite3_int64 off = size == 0 ? 0 : ((size - 1) / sector + 1) * sector;
  const std::string& name = g_group->super;
  std::string rec(4, '\0');
  Put32(reinterpret_cast<unsigned char*>(rec.data()), kPendingByte / pageSize + 1);
  rec += name;
  uint32_t sum = 0;
  for (char c : name) sum += uint32_t(int(c));  // as SQLite sums it (signed chars)
  unsigned char tail[16];
  Put32(tail, uint32_t(name.size()));
  Put32(tail + 4, sum);
  std::memcpy(tail + 8, kJournalMagic, 8);
  rec.append(reinterpret_cast<const char*>(tail), 16);
  rc = z->real->pMethods->xWrite(z->real, rec.data(), int(rec.size()), off);
  if (rc == SQLITE_OK) g_group->tagged.insert(z->path);
  return rc;
}

int xClose(sqlite3_file* f) {
  ZFile* z = reinterpret_cast<ZFile*>(f);
  const int rc = z->real->pMethods ? z->real->pMethods->xClose(z->real) : SQLITE_OK;
  z->path.~basic_string();
  return rc;
}
int xRead(sqlite3_file* f, void* b, int n, sqlite3_int64 o) {
  ZFile* z = reinterpret_cast<ZFile*>(f);
  // A journal read after it named the super-journal: the file is being rolled back from it, so
  // the transaction cannot be stored whole any more.
  if (z->journal && g_group && !g_group->decided && g_group->tagged.count(z->path)) g_group->failed = true;
  return z->real->pMethods->xRead(z->real, b, n, o);
}
int xWrite(sqlite3_file* f, const void* b, int n, sqlite3_int64 o) {
  ZFile* z = reinterpret_cast<ZFile*>(f);
  // Every transaction that changes a file writes its first page (the change counter is there):
  // the auto-increment counter of the header goes with it, so the rows and their counter are
  // stored, or rolled back from the journal, together.
  if (z->main && o == 0 && n >= 100 && !g_counters.empty()) {
    auto it = g_counters.find(z->path);
    if (it != g_counters.end()) {
      std::string page(static_cast<const char*>(b), size_t(n));
      const uint32_t v = uint32_t(it->second);
      page[73] = char(v & 0xff);
      page[74] = char((v >> 8) & 0xff);
      page[75] = char((v >> 16) & 0xff);
      page[76] = char((v >> 24) & 0xff);
      return z->real->pMethods->xWrite(z->real, page.data(), n, o);
    }
  }
  return z->real->pMethods->xWrite(z->real, b, n, o);
}
int xTruncate(sqlite3_file* f, sqlite3_int64 s) { return Real(f)->pMethods->xTruncate(Real(f), s); }
int xSync(sqlite3_file* f, int flags) {
  ZFile* z = reinterpret_cast<ZFile*>(f);
  if (z->journal && g_group && !g_group->decided && !g_group->failed && g_group->journals.count(z->path) &&
      !g_group->tagged.count(z->path)) {
    const int rc = Tag(z);
    if (rc != SQLITE_OK) return rc;
  }
  return z->real->pMethods->xSync(z->real, flags);
}
int xFileSize(sqlite3_file* f, sqlite3_int64* s) { return Real(f)->pMethods->xFileSize(Real(f), s); }
int xLock(sqlite3_file* f, int l) { return Real(f)->pMethods->xLock(Real(f), l); }
int xUnlock(sqlite3_file* f, int l) { return Real(f)->pMethods->xUnlock(Real(f), l); }
int xCheckReservedLock(sqlite3_file* f, int* r) { return Real(f)->pMethods->xCheckReservedLock(Real(f), r); }
int xFileControl(sqlite3_file* f, int op, void* a) { return Real(f)->pMethods->xFileControl(Real(f), op, a); }
int xSectorSize(sqlite3_file* f) { return Real(f)->pMethods->xSectorSize(Real(f)); }
int xDeviceCharacteristics(sqlite3_file* f) { return Real(f)->pMethods->xDeviceCharacteristics(Real(f)); }
int xShmMap(sqlite3_file* f, int i, int sz, int e, void volatile** p) {
  return Real(f)->pMethods->xShmMap(Real(f), i, sz, e, p);
}
int xShmLock(sqlite3_file* f, int o, int n, int fl) { return Real(f)->pMethods->xShmLock(Real(f), o, n, fl); }
void xShmBarrier(sqlite3_file* f) { Real(f)->pMethods->xShmBarrier(Real(f)); }
int xShmUnmap(sqlite3_file* f, int d) { return Real(f)->pMethods->xShmUnmap(Real(f), d); }
int xFetch(sqlite3_file* f, sqlite3_int64 o, int n, void** p) { return Real(f)->pMethods->xFetch(Real(f), o, n, p); }
int xUnfetch(sqlite3_file* f, sqlite3_int64 o, void* p) { return Real(f)->pMethods->xUnfetch(Real(f), o, p); }

const sqlite3_io_methods kMethods = {3, xClose, xRead, xWrite, xTruncate, xSync, xFileSize, xLock, xUnlock,
                                     xCheckReservedLock, xFileControl, xSectorSize, xDeviceCharacteristics,
                                     xShmMap, xShmLock, xShmBarrier, xShmUnmap, xFetch, xUnfetch};

int vOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* f, int flags, int* outFlags) {
  ZFile* z = reinterpret_cast<ZFile*>(f);
  z->real = reinterpret_cast<sqlite3_file*>(z + 1);
  z->base.pMethods = nullptr;
  const int rc = g_real->xOpen(g_real, name, z->real, flags, outFlags);
  if (rc != SQLITE_OK || !z->real->pMethods) return rc;
  new (&z->path) std::string(name ? name : "");
  z->journal = (flags & SQLITE_OPEN_MAIN_JOURNAL) != 0;
  z->main = (flags & SQLITE_OPEN_MAIN_DB) != 0;
  z->base.pMethods = &kMethods;
  return rc;
}

int vDelete(sqlite3_vfs*, const char* name, int syncDir) {
  if (g_group && name && g_group->tagged.count(name)) {
    // The end of this file's commit: the other connections write theirs first, then the
    // super-journal goes (or, when one of them failed, this journal stays to roll the file back).
    if (!g_group->decided && !g_group->failed) RunRest();
    if (!g_group->decided) return SQLITE_IOERR_DELETE;
  }
  return g_real->xDelete(g_real, name, syncDir);
}
int vAccess(sqlite3_vfs*, const char* n, int f, int* r) { return g_real->xAccess(g_real, n, f, r); }
int vFullPathname(sqlite3_vfs*, const char* n, int sz, char* out) { return g_real->xFullPathname(g_real, n, sz, out); }
void* vDlOpen(sqlite3_vfs*, const char* n) { return g_real->xDlOpen(g_real, n); }
void vDlError(sqlite3_vfs*, int n, char* m) { g_real->xDlError(g_real, n, m); }
void (*vDlSym(sqlite3_vfs*, void* h, const char* s))(void) { return g_real->xDlSym(g_real, h, s); }
void vDlClose(sqlite3_vfs*, void* h) { g_real->xDlClose(g_real, h); }
int vRandomness(sqlite3_vfs*, int n, char* o) { return g_real->xRandomness(g_real, n, o); }
int vSleep(sqlite3_vfs*, int us) { return g_real->xSleep(g_real, us); }
int vCurrentTime(sqlite3_vfs*, double* t) { return g_real->xCurrentTime(g_real, t); }
int vGetLastError(sqlite3_vfs*, int n, char* m) { return g_real->xGetLastError(g_real, n, m); }
int vCurrentTimeInt64(sqlite3_vfs*, sqlite3_int64* t) { return g_real->xCurrentTimeInt64(g_real, t); }
int vSetSystemCall(sqlite3_vfs*, const char* n, sqlite3_syscall_ptr p) { return g_real->xSetSystemCall(g_real, n, p); }
sqlite3_syscall_ptr vGetSystemCall(sqlite3_vfs*, const char* n) { return g_real->xGetSystemCall(g_real, n); }
const char* vNextSystemCall(sqlite3_vfs*, const char* n) { return g_real->xNextSystemCall(g_real, n); }

bool SyncDir(int fd) { return fd >= 0 && ::fsync(fd) == 0; }

// Deleting the super-journal: the moment of commit.
void Decide() {
  if (::unlink(g_group->super.c_str()) == 0 && SyncDir(g_group->dirFd)) g_group->decided = true;
  else g_group->failed = true;
}

void RunRest() {
  while (!g_group->failed && g_group->next < g_group->conns.size()) {
    const size_t i = g_group->next++;
    char* err = nullptr;
    g_group->rcs[i] = sqlite3_exec(g_group->conns[i], "COMMIT", nullptr, nullptr, &err);
    if (err) sqlite3_free(err);
    if (g_group->rcs[i] != SQLITE_OK) g_group->failed = true;
  }
  if (!g_group->failed && !g_group->decided) Decide();
}

// The super-journal a rollback journal names, empty when none.
std::string NamedSuper(const std::string& journal) {
  QFile f(QString::fromStdString(journal));
  if (!f.open(QIODevice::ReadOnly) || f.size() < 20) return {};
  f.seek(f.size() - 16);
  const QByteArray t = f.read(16);
  if (t.size() != 16 || std::memcmp(t.constData() + 8, kJournalMagic, 8) != 0) return {};
  const uint32_t len = Get32(reinterpret_cast<const unsigned char*>(t.constData()));
  if (len == 0 || len > 4096 || qint64(len) + 20 > f.size()) return {};
  f.seek(f.size() - 16 - len);
  return f.read(len).toStdString();
}

}  // namespace

const char* GroupVfsName() {
  static const char* name = [] {
    g_real = sqlite3_vfs_find(nullptr);
    g_vfs = sqlite3_vfs{3, int(sizeof(ZFile) + g_real->szOsFile), g_real->mxPathname, nullptr, "zelm", nullptr,
                        vOpen, vDelete, vAccess, vFullPathname, vDlOpen, vDlError, vDlSym, vDlClose,
                        vRandomness, vSleep, vCurrentTime, vGetLastError, vCurrentTimeInt64,
                        vSetSystemCall, vGetSystemCall, vNextSystemCall};
    sqlite3_vfs_register(&g_vfs, 0);
    return "zelm";
  }();
  return name;
}

std::vector<int> CommitTogether(const QString& folder, const std::vector<sqlite3*>& conns,
                                const std::vector<QString>& journals) {
  Group g;
  const QByteArray dir = QFile::encodeName(QDir(folder).absolutePath());
  unsigned char rnd[8];
  sqlite3_randomness(sizeof rnd, rnd);
  char hex[17];
  for (int i = 0; i < 8; ++i) std::snprintf(hex + 2 * i, 3, "%02x", rnd[i]);
  g.super = dir.toStdString() + "/.zelm-" + hex + "-mj";
  std::string list;
  for (const QString& j : journals) {
    const std::string p = QFile::encodeName(j).toStdString();
    g.journals.insert(p);
    list += p;
    list += '\0';
  }
  const int fd = ::open(g.super.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0644);
  if (fd < 0) return {};
  ::flock(fd, LOCK_EX);  // a live super-journal: not swept by another process
  g.dirFd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const bool written = ::write(fd, list.data(), list.size()) == ssize_t(list.size()) && ::fsync(fd) == 0 &&
                       SyncDir(g.dirFd);
  if (!written) {
    ::unlink(g.super.c_str());
    ::close(fd);
    if (g.dirFd >= 0) ::close(g.dirFd);
    return {};
  }
  g.conns = conns;
  g.rcs.assign(conns.size(), SQLITE_OK);
  g_group = &g;
  RunRest();
  g_group = nullptr;
  if (!g.decided) {
    // Nothing may stay stored: the connections still in their transaction roll back, and the
    // files whose journals were kept (they name the super-journal, which is still there) roll
    // back from them at their next read, which is now.
    for (size_t i = 0; i < conns.size(); ++i) {
      if (g.rcs[i] == SQLITE_OK) g.rcs[i] = SQLITE_ABORT;
      if (!sqlite3_get_autocommit(conns[i])) sqlite3_exec(conns[i], "ROLLBACK", nullptr, nullptr, nullptr);
      sqlite3_stmt* s = nullptr;
      std::vector<std::string> schemas;
      if (sqlite3_prepare_v2(conns[i], "PRAGMA database_list", -1, &s, nullptr) == SQLITE_OK)
        while (sqlite3_step(s) == SQLITE_ROW) schemas.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(s, 1)));
      sqlite3_finalize(s);
      for (const std::string& schema : schemas) {
        if (schema == "main" || schema == "temp") continue;
        const std::string sql = "SELECT count(*) FROM \"" + schema + "\".sqlite_master";
        sqlite3_exec(conns[i], sql.c_str(), nullptr, nullptr, nullptr);
      }
    }
    bool pointed = false;
    for (const std::string& j : g.journals) pointed |= NamedSuper(j) == g.super;
    if (!pointed) ::unlink(g.super.c_str());
  }
  ::close(fd);
  if (g.dirFd >= 0) ::close(g.dirFd);
  return g.rcs;
}

void HoldCounter(const QString& path, int32_t value) { g_counters[QFile::encodeName(path).toStdString()] = value; }

void DropCounter(const QString& path) {
  if (!g_counters.empty()) g_counters.erase(QFile::encodeName(path).toStdString());
}

void SweepSuperJournals(const QString& folder) {
  const QDir d(folder);
  for (const QString& name : d.entryList({".zelm-*-mj"}, QDir::Files | QDir::Hidden | QDir::System)) {
    const std::string path = QFile::encodeName(d.absoluteFilePath(name)).toStdString();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) continue;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      ::close(fd);
      continue;
    }
    std::string list;
    char buf[4096];
    for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;) list.append(buf, size_t(n));
    bool pointed = false;
    for (size_t at = 0; at < list.size() && !pointed;) {
      const size_t end = list.find('\0', at);
      const std::string j = list.substr(at, end == std::string::npos ? std::string::npos : end - at);
      pointed = !j.empty() && NamedSuper(j) == path;
      if (end == std::string::npos) break;
      at = end + 1;
    }
    // Kept while a journal still names it: that file rolls back when next opened.
    if (!pointed) ::unlink(path.c_str());
    ::close(fd);
  }
}

}  // namespace dbe
