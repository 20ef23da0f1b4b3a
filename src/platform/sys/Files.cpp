#include "platform/sys/Files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "platform/zipengine/ZipMask.h"

bool IsEngineSideFile(const QString& name) { return ziprec::IsEngineSideFile(name); }

bool MatchesMask(const QString& name, const QString& mask) {
  return !IsEngineSideFile(name) && ziprec::MaskMatch(mask, name);
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
