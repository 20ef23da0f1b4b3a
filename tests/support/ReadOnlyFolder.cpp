#include "support/ReadOnlyFolder.h"

#include <QDir>
#include <QFile>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

ReadOnlyFolder::ReadOnlyFolder(const QString& folder) : folder_(folder) {
  __user_cap_header_struct h{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct d[2]{};
  if (syscall(SYS_capget, &h, d) == 0) {
    for (int i = 0; i < 2; ++i) {
      savedCaps_[3 * i] = d[i].effective;
      savedCaps_[3 * i + 1] = d[i].permitted;
      savedCaps_[3 * i + 2] = d[i].inheritable;
    }
    d[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER));
    capsDropped_ = syscall(SYS_capset, &h, d) == 0;
  }
  for (const QString& n : QDir(folder_).entryList(QDir::Files | QDir::Hidden))
    QFile::setPermissions(folder_ + n, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
  QFile::setPermissions(folder_, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup);
}

ReadOnlyFolder::~ReadOnlyFolder() {
  if (capsDropped_) {
    __user_cap_header_struct h{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct d[2]{};
    for (int i = 0; i < 2; ++i) {
      d[i].effective = savedCaps_[3 * i];
      d[i].permitted = savedCaps_[3 * i + 1];
      d[i].inheritable = savedCaps_[3 * i + 2];
    }
    syscall(SYS_capset, &h, d);
  }
  QFile::setPermissions(folder_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                     QFile::ExeGroup);
  for (const QString& n : QDir(folder_).entryList(QDir::Files | QDir::Hidden))
    QFile::setPermissions(folder_ + n, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
}
