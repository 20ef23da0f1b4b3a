#include "schema/DbEngine.h"

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
  return Dbi::FindTableFile(folder, fileName);
}

int DeleteTableAuxFiles(const QString& folderOrAlias, const QString& fileName) {
  return Dbi::DeleteTableAuxFiles(
      IsAlias(folderOrAlias) ? AliasDirectory(folderOrAlias) : folderOrAlias, fileName);
}
