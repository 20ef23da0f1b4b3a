#include "platform/sys/Registry.h"

#include <QDir>
#include <QStandardPaths>

#include "platform/sys/IniFiles.h"

namespace {
// Value names are kept as INI keys; the unnamed default value needs a name of its own.
QString ValueKey(const QString& name) { return name.isEmpty() ? "@" : name; }
}  // namespace

TRegistry::TRegistry() = default;
TRegistry::~TRegistry() = default;

QString TRegistry::StoreFolder() {
  const QString env = qEnvironmentVariable("ZELM_REGISTRY_DIR");
  QString dir = env.isEmpty()
      ? QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/ZELM/registry"
      : env;
  if (!dir.endsWith('/')) dir += '/';
  return dir;
}

QString TRegistry::RootFile(HKEY root) {
  return StoreFolder() + (root == HKEY_LOCAL_MACHINE ? "HKEY_LOCAL_MACHINE.ini" : "HKEY_CURRENT_USER.ini");
}

TIniFile TRegistry::Store() const { return TIniFile(RootFile(RootKey)); }

QString TRegistry::Resolve(const QString& key) const {
  QString k = key;
  k.replace('/', '\\');
  const bool absolute = k.startsWith('\\');
  QStringList parts = k.split('\\', Qt::SkipEmptyParts);
  if (!absolute && open_ && !current_.isEmpty()) parts = current_.split('\\') + parts;
  return parts.join('\\');
}

bool TRegistry::KeyExists(const QString& key) const {
  const QString path = Resolve(key);
  if (path.isEmpty()) return true;
  for (const QString& s : Store().ReadSections())
    if (s.compare(path, Qt::CaseInsensitive) == 0 || s.startsWith(path + "\\", Qt::CaseInsensitive))
      return true;
  return false;
}

bool TRegistry::OpenKey(const QString& key, bool canCreate) {
  const QString path = Resolve(key);
  if (!KeyExists(key)) {
    if (!canCreate) return false;
    QDir().mkpath(StoreFolder());
    TIniFile ini = Store();
    try {
      ini.EnsureSection(path);
    } catch (const Exception&) {
      return false;
    }
  }
  current_ = path;
  open_ = true;
  readOnly_ = false;
  return true;
}

bool TRegistry::OpenKeyReadOnly(const QString& key) {
  if (!KeyExists(key)) return false;
  current_ = Resolve(key);
  open_ = true;
  readOnly_ = true;
  return true;
}

void TRegistry::CloseKey() {
  current_.clear();
  open_ = false;
  readOnly_ = false;
}

QString TRegistry::ReadString(const QString& name) const {
  if (!open_) return QString();
  return Store().ReadString(current_, ValueKey(name), QString());
}

void TRegistry::WriteString(const QString& name, const QString& value) {
  if (!open_ || readOnly_)
    throw ERegistryException("Impossible d'écrire la valeur de registre '" + name + "'");
  QDir().mkpath(StoreFolder());
  TIniFile ini = Store();
  // Quoted, so that blanks at either end survive.
  ini.WriteString(current_, ValueKey(name), "\"" + value + "\"");
}

bool TRegistry::ValueExists(const QString& name) const {
  return open_ && Store().ValueExists(current_, ValueKey(name));
}

