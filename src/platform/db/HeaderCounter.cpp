// The auto-increment counter in the header of a table file.
#include "platform/db/EngineCore.h"

#include "platform/db/GroupCommit.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sqlite3.h>
#include <unistd.h>

namespace dbe {

bool ReadCounterRaw(const QString& path, int32_t& value) {
  int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  unsigned char b[4];
  const bool ok = ::pread(fd, b, 4, Dbi::kAutoIncOffset) == 4;
  ::close(fd);
  if (ok) value = int32_t(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24);
  return ok;
}

static uint32_t Be32(const unsigned char* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}
static void PutBe32(unsigned char* p, uint32_t v) {
  p[0] = v >> 24; p[1] = v >> 16; p[2] = v >> 8; p[3] = v;
}

void WriteCounterRaw(int fd, int32_t value) {
  // The counter lives in header bytes SQLite leaves alone. Bumping the change counter (and the
  // number that validates the stored page count with it) makes every connection re-read page 1
  // instead of writing an older copy of it back later.
  unsigned char h[100];
  if (::pread(fd, h, 100, 0) != 100) Raise(DBIERR_OSERROR, "Lecture impossible de l'en-tête de la table");
  const uint32_t change = Be32(h + 24);
  const bool sizeValid = Be32(h + 92) == change;
  const uint32_t v = uint32_t(value);
  h[73] = v & 0xff; h[74] = (v >> 8) & 0xff; h[75] = (v >> 16) & 0xff; h[76] = (v >> 24) & 0xff;
  PutBe32(h + 24, change + 1);
  if (sizeValid) PutBe32(h + 92, change + 1);
  if (::pwrite(fd, h + 24, 4, 24) != 4 || ::pwrite(fd, h + 73, 4, 73) != 4 ||
      (sizeValid && ::pwrite(fd, h + 92, 4, 92) != 4))
    Raise(DBIERR_OSERROR, QString("Écriture impossible de l'en-tête de la table : %1").arg(strerror(errno)));
  ::fdatasync(fd);
}

void ReadCounterFd(TableFile* f) {
  unsigned char b[4];
  if (f->lockFd >= 0 && ::pread(f->lockFd, b, 4, Dbi::kAutoIncOffset) == 4)
    f->counter = int32_t(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24);
}

int32_t Engine::NextAutoInc(TableFile* f) {
  // The header's counter is written after the rows' commit: a kill in between, or a program that
  // stored rows without it, leaves it behind the keys stored. The next key is past both.
  CheckOthers(f);
  if (!f->counterChecked || f->counterCheckedAt != f->dataVersion) {
    const int32_t held = f->counter;
    ReadCounterFd(f);
    int64_t top = std::max(held, f->counter);
    for (int i = 0; i < int(f->meta.fields.size()); ++i) {
      if (f->meta.fields[i].iSubType != fldstAUTOINC) continue;
      Stmt s(f->conn, QString("SELECT max(%1) FROM %2").arg(f->Col(i), f->Q()));
      if (s.Step() && !s.IsNull(0)) top = std::max<int64_t>(top, s.Int(0));
    }
    if (top >= std::numeric_limits<int32_t>::max())
      Raise(DBIERR_OUTOFRANGE, "Le compteur automatique de la table est à son maximum.\n" + TableDetail(f->path));
    f->counter = int32_t(std::max<int64_t>(top, 0));
    f->counterChecked = true;
    f->counterCheckedAt = f->dataVersion;
  }
  if (f->counter == std::numeric_limits<int32_t>::max())
    Raise(DBIERR_OUTOFRANGE, "Le compteur automatique de la table est à son maximum.\n" + TableDetail(f->path));
  f->counter++;
  f->counterDirty = true;
  HoldCounter(f->path, f->counter);
  return f->counter;
}

void Engine::StoreCounter(TableFile* f, bool raise) {
  if (!f->counterDirty || !f->conn) return;
  Conn* c = f->conn;
  try {
    c->Exec("BEGIN EXCLUSIVE");
    try {
      WriteCounterRaw(f->lockFd, f->counter);
    } catch (...) {
      sqlite3_exec(c->db, "ROLLBACK", nullptr, nullptr, nullptr);
      throw;
    }
    c->Exec("COMMIT");
    f->counterDirty = false;
    DropCounter(f->path);
  } catch (...) {
    if (raise) throw;
  }
}

}  // namespace dbe
