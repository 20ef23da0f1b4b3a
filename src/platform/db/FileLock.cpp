// Locks of table files against other processes.
#include "platform/db/EngineCore.h"

#include <QFile>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace dbe {

int LockFile(const QString& path, bool exclusive) {
  const QByteArray p = QFile::encodeName(path);
  int fd = ::open(p.constData(), O_RDWR | O_CLOEXEC);
  if (fd < 0) fd = ::open(p.constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  if (::flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
    ::close(fd);
    return -2;
  }
  return fd;
}

void UnlockFile(int fd) {
  if (fd >= 0) ::close(fd);
}

}  // namespace dbe
