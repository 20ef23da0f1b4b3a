// What killed rebuilds leave beside their tables.
#include "platform/db/EngineCore.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <cstring>
#include <dirent.h>

namespace dbe {

void SweepRebuilds(const QString& folder, const QString& tablePath) {
  // A rebuild builds ".<table>.<8 hex>.tmp" beside the table while it holds the table's
  // exclusive lock; one killed leaves it there, as large as the table. Whoever can take that lock
  // knows the file is nobody's. A new table has no lock yet while it is built: its file goes
  // once it is older than any creation takes.
  static const QRegularExpression name("^\\.(.+)\\.[0-9a-f]{8}\\.tmp(-journal)?$");
  const QDir d(folder);
  // (Names only, no look at each file: this runs at the first open of a folder.)
  QStringList found;
  if (DIR* dir = ::opendir(QFile::encodeName(folder).constData())) {
    while (const dirent* de = ::readdir(dir))
      if (de->d_name[0] == '.' && std::strstr(de->d_name, ".tmp")) found << QFile::decodeName(de->d_name);
    ::closedir(dir);
  }
  for (const QString& e : found) {
    const auto m = name.match(e);
    if (!m.hasMatch()) continue;
    const QString table = d.absoluteFilePath(m.captured(1));
    if (!tablePath.isEmpty()) {
      if (table != tablePath) continue;
      QFile::remove(d.absoluteFilePath(e));  // the caller holds the lock
      continue;
    }
    if (!QFileInfo::exists(table)) {
      if (QFileInfo(d.absoluteFilePath(e)).lastModified().secsTo(QDateTime::currentDateTime()) > 600)
        QFile::remove(d.absoluteFilePath(e));
      continue;
    }
    const int fd = LockFile(table, true);
    if (fd < 0) continue;
    QFile::remove(d.absoluteFilePath(e));
    UnlockFile(fd);
  }
}

}  // namespace dbe
