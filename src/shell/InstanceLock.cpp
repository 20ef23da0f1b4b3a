#include "shell/InstanceLock.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

TInstanceLock::~TInstanceLock() {
  for (int fd : fds_) ::close(fd);
}

TInstanceLock::Result TInstanceLock::Acquire(const QString& folder) {
  // open() follows every link to the folder itself. Close-on-exec: a program started from here
  // (the calculator) must not keep the folder held.
  const QByteArray path = QFile::encodeName(folder);
  const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT || errno == ENOTDIR || errno == ELOOP ? Result::Ok : Result::Unreadable;
  // Opened, so it can be listed; its files are reached only if it can be entered too.
  if (::faccessat(AT_FDCWD, path.constData(), X_OK, AT_EACCESS) != 0) {
    ::close(fd);
    return Result::Unreadable;
  }
  // Two descriptions of one folder exclude each other even in one process.
  struct stat st{};
  if (::fstat(fd, &st) == 0)
    for (int held : fds_) {
      struct stat h{};
      if (::fstat(held, &h) == 0 && h.st_dev == st.st_dev && h.st_ino == st.st_ino) {
        ::close(fd);
        return Result::Ok;
      }
    }
  int rc;
  do rc = ::flock(fd, LOCK_EX | LOCK_NB);
  while (rc != 0 && errno == EINTR);
  if (rc != 0 && errno == EWOULDBLOCK) {
    ::close(fd);
    return Result::Busy;
  }
  fds_.push_back(fd);
  return Result::Ok;
}
