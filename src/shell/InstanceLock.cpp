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

bool TInstanceLock::Acquire(const QString& folder) {
  // open() follows every link to the folder itself. Close-on-exec: a program started from here
  // (the calculator) must not keep the folder held.
  const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return true;
  // Two descriptions of one folder exclude each other even in one process.
  struct stat st{};
  if (::fstat(fd, &st) == 0)
    for (int held : fds_) {
      struct stat h{};
      if (::fstat(held, &h) == 0 && h.st_dev == st.st_dev && h.st_ino == st.st_ino) {
        ::close(fd);
        return true;
      }
    }
  int rc;
  do rc = ::flock(fd, LOCK_EX | LOCK_NB);
  while (rc != 0 && errno == EINTR);
  if (rc != 0 && errno == EWOULDBLOCK) {
    ::close(fd);
    return false;
  }
  fds_.push_back(fd);
  return true;
}
