#include "schema/DbEngine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

int ProbeTable(const QString& folderOrAlias, const QString& fileName, TableType /*type*/,
               bool exclusive) {
  const QString folder = IsAlias(folderOrAlias) ? AliasDirectory(folderOrAlias) : folderOrAlias;
  return DefaultEngineCalls().ProbeTable(folder, fileName, exclusive);
}

bool IsAlias(const QString& /*name*/) { return false; }

QString AliasDirectory(const QString& alias) { return AddBackslash(alias); }

QString AddBackslash(const QString& path) {
  if (path.isEmpty() || path.endsWith('/') || path.endsWith(':')) return path;
  return path + '/';
}

QString FindTableFile(const QString& folder, const QString& fileName) {
  const QDir dir(folder.isEmpty() ? QStringLiteral(".") : folder);
  const QString bare = QFileInfo(fileName).fileName();
  const bool hasExt = bare.contains('.');
  const QStringList entries = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
  for (const QString& e : entries)
    if (e.compare(bare, Qt::CaseInsensitive) == 0) return dir.filePath(e);
  if (!hasExt)
    for (const QString& e : entries)
      if (e.compare(bare + ".DB", Qt::CaseInsensitive) == 0) return dir.filePath(e);
  return QString();
}

bool DeleteTableAuxFiles(const QString& folderOrAlias, const QString& fileName) {
  const QString folder =
      AddBackslash(IsAlias(folderOrAlias) ? AliasDirectory(folderOrAlias) : folderOrAlias);
  QString bare = QFileInfo(fileName).fileName();
  const int dot = bare.lastIndexOf('.');
  const QString base = (dot < 0 ? bare : bare.left(dot)).toUpper();
  const QDir dir(folder.isEmpty() ? QStringLiteral(".") : folder);
  for (const QString& e : dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name)) {
    const QString up = e.toUpper();
    const int d = up.lastIndexOf('.');
    if (d < 0 || up.left(d) != base) continue;
    const QString ext = up.mid(d + 1);
    if (ext == "DB" || ext == "DBF" || ext == "MB") continue;
    if (ext.endsWith("-JOURNAL") || ext.endsWith("-WAL") || ext.endsWith("-SHM")) continue;
    if (!QFile::remove(dir.filePath(e))) return false;
  }
  return true;
}
