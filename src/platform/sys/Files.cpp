#include "platform/sys/Files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

bool Match(const QString& n, int i, const QString& m, int j) {
  while (j < m.size()) {
    const QChar c = m[j];
    if (c == '*') {
      while (j < m.size() && m[j] == '*') ++j;
      if (j == m.size()) return true;
      for (int k = i; k <= n.size(); ++k)
        if (Match(n, k, m, j)) return true;
      return false;
    }
    if (i >= n.size()) return false;
    if (c != '?' && c != n[i]) return false;
    ++i;
    ++j;
  }
  return i == n.size();
}

}  // namespace

bool IsEngineSideFile(const QString& name) {
  return name.endsWith("-journal", Qt::CaseInsensitive) || name.endsWith("-wal", Qt::CaseInsensitive) ||
         name.endsWith("-shm", Qt::CaseInsensitive);
}

bool MatchesMask(const QString& name, const QString& mask) {
  if (IsEngineSideFile(name)) return false;
  const QString n = name.toCaseFolded();
  const QString m = mask.toCaseFolded();
  if (Match(n, 0, m, 0)) return true;
  // "NAME.*" also finds "NAME": the extension of a DOS mask may be empty.
  if (m.endsWith(".*") && !n.contains('.')) return Match(n, 0, m.left(m.size() - 2), 0);
  return false;
}

QStringList FindFiles(const QString& folder, const QString& mask) {
  QDir dir(folder);
  QStringList out;
  const auto entries = dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
  for (const QString& e : entries)
    if (MatchesMask(e, mask)) out << e;
  std::sort(out.begin(), out.end(), [](const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) < 0;
  });
  return out;
}

bool FileExists(const QString& path) {
  const QFileInfo fi(path);
  return fi.exists() && !fi.isDir();
}

bool DirectoryExists(const QString& path) { return QFileInfo(path).isDir(); }

bool CreateDir(const QString& path) { return QDir().mkdir(path); }

bool ForceDirectories(const QString& path) { return QDir().mkpath(path); }

bool DeleteFile(const QString& path) {
  if (DirectoryExists(path)) return false;
  return QFile::remove(path);
}

bool IsReadOnly(const QString& path) {
  const QFileInfo fi(path);
  return fi.exists() && !(fi.permissions() & QFileDevice::WriteOwner);
}

bool SetReadOnly(const QString& path, bool readOnly) {
  QFile::Permissions p = QFileInfo(path).permissions();
  if (readOnly) p &= ~(QFileDevice::WriteOwner | QFileDevice::WriteUser | QFileDevice::WriteGroup | QFileDevice::WriteOther);
  else p |= QFileDevice::WriteOwner | QFileDevice::WriteUser;
  return QFile::setPermissions(path, p);
}

QString ExtractFileName(const QString& path) {
  const int i = std::max(path.lastIndexOf('/'), path.lastIndexOf('\\'));
  return path.mid(i + 1);
}

QString ExtractFilePath(const QString& path) {
  const int i = std::max(path.lastIndexOf('/'), path.lastIndexOf('\\'));
  return path.left(i + 1);
}

QString IncludeTrailingPathDelimiter(const QString& path) {
  return path.endsWith('/') ? path : path + '/';
}
