#include "platform/sys/Drives.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QStorageInfo>

#include <map>

#include "platform/sys/Registry.h"

namespace {

struct Mapping {
  QString folder;
  DriveType type = dtFixed;
  RemovableDiskDouble* disks = nullptr;
  bool fromSettings = false;
  qint64 capacity = -1;  // -1: the file system's own size
};

std::map<QChar, Mapping>& RawTable() {
  static std::map<QChar, Mapping> t;
  return t;
}

void ReadSettings();

std::map<QChar, Mapping>& Table() {
  static bool loaded = false;
  if (!loaded) {
    loaded = true;
    ReadSettings();
  }
  return RawTable();
}

QChar LetterOf(const QString& s) {
  if (s.size() >= 2 && s[1] == ':' && s[0].isLetter() && s[0].unicode() < 128) return s[0].toUpper();
  return QChar();
}

QString Clean(const QString& p) {
  QString s = p;
  s.replace('\\', '/');
  return QDir::cleanPath(s);
}

QString FolderOf(const Mapping& m) {
  if (m.disks) return m.disks->Current() >= 0 ? m.disks->DiskFolder(m.disks->Current()) : QString();
  return m.folder;
}

const Mapping* Find(const QString& root) {
  const QChar l = LetterOf(root);
  if (l.isNull()) return nullptr;
  auto it = Table().find(l);
  return it == Table().end() ? nullptr : &it->second;
}

// A: is the floppy drive of every machine the program was written for; unmapped, it has no disk.
bool IsBareFloppy(const QString& root) { return LetterOf(root) == QChar('A') && !Find(root); }

// The mapped drive whose folder (any disk's folder, for a removable drive) holds a plain path:
// its letter and the rest of the path from that folder ("" for the folder itself).
bool FindDriveOfFolder(const QString& path, QChar& letter, QString& rest) {
  const QString p = Clean(QFileInfo(path).absoluteFilePath());
  for (const auto& [l, m] : Table()) {
    QStringList folders;
    if (m.disks) {
      for (int i = 0; i < m.disks->DiskCount(); ++i) folders << m.disks->DiskFolder(i);
    } else {
      folders << m.folder;
    }
    for (const QString& f : folders)
      if (!f.isEmpty() && (p == f || p.startsWith(f + "/"))) {
        letter = l;
        rest = p.mid(f.size());
        return true;
      }
  }
  return false;
}

void ReadSettings() {
  auto& t = RawTable();
  for (auto it = t.begin(); it != t.end();) it = it->second.fromSettings ? t.erase(it) : std::next(it);
  TRegistry reg;
  reg.RootKey = HKEY_CURRENT_USER;
  try {
    if (!reg.OpenKeyReadOnly(kDriveSettingsKey)) return;
    for (char c = 'A'; c <= 'Z'; ++c) {
      const QString letter(c);
      const QString folder = reg.ReadString(letter).trimmed();
      if (folder.isEmpty() || t.count(QChar(c))) continue;
      Mapping m;
      m.fromSettings = true;
      m.folder = Clean(QDir::isAbsolutePath(folder) ? folder : QDir::home().absoluteFilePath(folder));
      const QString type = reg.ReadString(letter + ".Type").trimmed().toLower();
      if (type.startsWith("amov") || type.startsWith("remov")) m.type = dtRemovable;
      else if (type.startsWith("fix")) m.type = dtFixed;
      else if (QFileInfo(m.folder).isDir()) m.type = DeviceDriveType(m.folder);
      else m.type = (c == 'A' || c == 'B') ? dtRemovable : dtFixed;  // no medium in it now
      bool ok = false;
      const qint64 size = reg.ReadString(letter + ".Taille").trimmed().toLongLong(&ok);
      if (ok && size > 0) m.capacity = size;
      t[QChar(c)] = m;
    }
  } catch (const Exception&) {
    // An unreadable store leaves the program without letters, as on a machine without drives.
  }
}

// Bytes a folder's files take on a disk of 512-byte clusters.
qint64 UsedBytes(const QString& folder) {
  qint64 used = 0;
  QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    it.next();
    used += (it.fileInfo().size() + 511) / 512 * 512;
  }
  return used;
}

// The label and serial kept at the root of a medium: "label" on the first line, the serial in
// hexadecimal on the second.
bool ReadVolumeFile(const QString& folder, QString& label, quint32& serial) {
  QFile f(folder + "/" + kVolumeFile);
  if (!f.open(QIODevice::ReadOnly)) return false;
  const QList<QByteArray> lines = f.read(4096).split('\n');
  label = QString::fromUtf8(lines.value(0)).left(11);
  bool ok = false;
  serial = lines.value(1).trimmed().toUInt(&ok, 16);
  if (!ok) serial = static_cast<quint32>(qHash(folder));
  return true;
}

// The file system's own label of the device a folder is mounted from, when it has one.
QString DeviceLabel(const QString& folder) {
  const QStorageInfo si(folder);
  if (!si.isValid() || !si.device().startsWith("/dev/")) return QString();
  const QString dev = QFileInfo(QString::fromLocal8Bit(si.device())).canonicalFilePath();
  QDirIterator it("/dev/disk/by-label", QDir::Files | QDir::System | QDir::NoDotAndDotDot);
  while (it.hasNext()) {
    it.next();
    if (it.fileInfo().canonicalFilePath() != dev) continue;
    QString name = it.fileName();
    for (int i; (i = name.indexOf("\\x")) >= 0;) name.replace(i, 4, QChar(name.mid(i + 2, 2).toInt(nullptr, 16)));
    return name.left(11);
  }
  return QString();
}

}  // namespace

void LoadDriveSettings() {
  Table();  // the first read, when not done yet
  ReadSettings();
}

DriveType DeviceDriveType(const QString& folder) {
  const QStorageInfo si(folder);
  if (!si.isValid()) return dtNoRootDir;
  const QByteArray fs = si.fileSystemType().toLower();
  if (fs.startsWith("nfs") || fs.startsWith("cifs") || fs.startsWith("smb") || fs.contains("sshfs") || fs == "9p")
    return dtRemote;
  if (fs == "iso9660" || fs == "udf") return dtCDRom;
  if (fs == "tmpfs" || fs == "ramfs") return dtRamDisk;
  const QString dev = QString::fromLocal8Bit(si.device());
  if (!dev.startsWith("/dev/")) return dtFixed;
  const QString name = QFileInfo(QFileInfo(dev).canonicalFilePath()).fileName();
  QString sys = QFileInfo("/sys/class/block/" + name).canonicalFilePath();
  if (sys.isEmpty()) return dtFixed;
  if (QFileInfo::exists(sys + "/partition")) sys = QFileInfo(sys).path();  // the whole disk
  QFile removable(sys + "/removable");
  if (removable.open(QIODevice::ReadOnly) && removable.read(1) == "1") return dtRemovable;
  if (sys.contains("/usb")) return dtRemovable;  // USB sticks and card readers that say they are fixed
  return dtFixed;
}

void MapDrive(QChar letter, const QString& folder, DriveType type) {
  Mapping m;
  m.folder = Clean(folder);
  m.type = type;
  Table()[letter.toUpper()] = m;
}

void UnmapDrive(QChar letter) { Table().erase(letter.toUpper()); }

unsigned LogicalDrives() {
  unsigned mask = 1u;  // A:
  for (const auto& [l, m] : Table()) mask |= 1u << (l.unicode() - 'A');
  return mask;
}

DriveType GetDriveType(const QString& root) {
  const QChar l = LetterOf(root);
  if (l.isNull()) return root.startsWith('/') || root.startsWith('\\') ? dtFixed : dtNoRootDir;
  if (IsBareFloppy(root)) return dtRemovable;
  const Mapping* m = Find(root);
  return m ? m->type : dtNoRootDir;
}

QString ExtractFileDrive(const QString& path) {
  const QChar l = LetterOf(path);
  if (!l.isNull()) return QString(l) + ":";
  QChar letter;
  QString rest;
  return FindDriveOfFolder(path, letter, rest) ? QString(letter) + ":" : QString();
}

QString ToDriveName(const QString& path) {
  if (!LetterOf(path).isNull()) return path;
  QChar letter;
  QString rest;
  if (!FindDriveOfFolder(path, letter, rest)) return path;
  return QString(letter) + ":" + (rest.isEmpty() ? "/" : rest);
}

QString DrivePath(const QString& path) {
  const Mapping* m = Find(path);
  if (!m) {
    if (LetterOf(path).isNull()) return path;  // a plain path
    QString rest = path.mid(2);
    rest.replace('\\', '/');
    return QString("/nonexistent-drive-") + path[0] + rest;  // a letter without a folder
  }
  QString rest = path.mid(2);
  rest.replace('\\', '/');
  const QString folder = FolderOf(*m);
  if (folder.isEmpty()) return QString("/nonexistent-drive-") + path[0] + rest;
  if (rest.isEmpty() || rest == "/") return folder + "/";
  return folder + (rest.startsWith('/') ? rest : "/" + rest);
}

bool GetVolumeInformation(const QString& root, QString& label, quint32& serial, int& error) {
  label.clear();
  serial = 0;
  error = 0;
  if (LetterOf(root).isNull()) {
    if (!QFileInfo::exists(root.isEmpty() ? QString("/") : Clean(root))) {
      error = 3;
      return false;
    }
    return true;
  }
  if (IsBareFloppy(root)) {
    error = kErrNotReady;
    return false;
  }
  const Mapping* m = Find(root);
  if (!m) {
    error = 15;
    return false;
  }
  if (m->disks) return m->disks->ReadVolume(label, serial, error);
  if (!QFileInfo(m->folder).isDir()) {
    error = kErrNotReady;
    return false;
  }
  if (!ReadVolumeFile(m->folder, label, serial)) {
    label = DeviceLabel(m->folder);
    serial = static_cast<quint32>(qHash(m->folder));
  }
  return true;
}

bool SetVolumeLabel(const QString& root, const QString& label) {
  const QChar l = LetterOf(root);
  auto it = l.isNull() ? Table().end() : Table().find(l);
  if (it == Table().end()) return false;
  if (it->second.disks) return it->second.disks->WriteLabel(label);
  const QString folder = it->second.folder;
  if (!QFileInfo(folder).isDir()) return false;
  // A new label keeps the medium's serial number; a medium labelled for the first time gets one.
  QString old;
  quint32 serial = 0;
  if (!ReadVolumeFile(folder, old, serial)) serial = QRandomGenerator::global()->generate();
  QSaveFile f(folder + "/" + kVolumeFile);
  if (!f.open(QIODevice::WriteOnly)) return false;
  f.write(label.left(11).toUtf8() + "\n" + QByteArray::number(serial, 16) + "\n");
  return f.commit();
}

bool GetDiskFreeSpace(const QString& root, qint64& freeBytes, qint64& totalBytes) {
  freeBytes = totalBytes = -1;
  QString folder;
  qint64 capacity = -1;
  if (LetterOf(root).isNull()) {
    folder = root.isEmpty() ? QString("/") : Clean(root);
  } else {
    const Mapping* m = Find(root);
    if (!m) return false;
    if (m->disks) return m->disks->Space(freeBytes, totalBytes);
    folder = m->folder;
    capacity = m->capacity;
    if (!QFileInfo(folder).isDir()) return false;  // no medium in the drive
  }
  QStorageInfo si(folder);
  if (!si.isValid() || !si.isReady()) return false;
  freeBytes = si.bytesAvailable();
  totalBytes = si.bytesTotal();
  if (capacity > 0) {
    totalBytes = capacity;
    freeBytes = std::min(freeBytes, std::max<qint64>(0, capacity - UsedBytes(folder)));
  }
  return true;
}

void DiskPrompt(const QString& root) {
  const Mapping* m = Find(root);
  if (m && m->disks) m->disks->OnPrompt();
}

bool MoveToTrash(const QString& path) { return QFile::moveToTrash(path); }

// ---- removable double ----

RemovableDiskDouble::RemovableDiskDouble(QChar letter, const QString& baseFolder, qint64 capacity)
    : letter_(letter.toUpper()), base_(Clean(baseFolder)), capacity_(capacity) {
  QDir().mkpath(base_);
  Mapping m;
  m.type = dtRemovable;
  m.disks = this;
  Table()[letter_] = m;
}

RemovableDiskDouble::~RemovableDiskDouble() {
  auto it = Table().find(letter_);
  if (it != Table().end() && it->second.disks == this) Table().erase(it);
}

int RemovableDiskDouble::NewDisk(bool formatted) {
  Disk d;
  d.folder = base_ + QString("/disk%1").arg(disks_.size() + 1, 2, 10, QChar('0'));
  d.formatted = formatted;
  QDir().mkpath(d.folder);
  disks_.push_back(d);
  return static_cast<int>(disks_.size()) - 1;
}

void RemovableDiskDouble::Insert(int disk) { current_ = (disk >= 0 && disk < DiskCount()) ? disk : -1; }
void RemovableDiskDouble::Eject() { current_ = -1; }

QString RemovableDiskDouble::DiskFolder(int disk) const {
  return disk >= 0 && disk < DiskCount() ? disks_[disk].folder : QString();
}
QString RemovableDiskDouble::Label(int disk) const {
  return disk >= 0 && disk < DiskCount() ? disks_[disk].label : QString();
}

qint64 RemovableDiskDouble::Used(int disk) const {
  qint64 used = 0;
  QDirIterator it(DiskFolder(disk), QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    it.next();
    used += (it.fileInfo().size() + 511) / 512 * 512;
  }
  return used;
}

void RemovableDiskDouble::ScriptChanges(std::initializer_list<int> changes) {
  for (int c : changes) script_.push_back(c);
}

bool RemovableDiskDouble::ReadVolume(QString& label, quint32& serial, int& error) const {
  if (current_ < 0) {
    error = kErrNotReady;
    return false;
  }
  if (!disks_[current_].formatted) {
    error = kErrGeneralFailure;
    return false;
  }
  label = disks_[current_].label;
  serial = 0x1000u + static_cast<quint32>(current_);
  error = 0;
  return true;
}

bool RemovableDiskDouble::WriteLabel(const QString& label) {
  if (current_ < 0) return false;
  disks_[current_].label = label.left(11);
  disks_[current_].formatted = true;
  return true;
}

bool RemovableDiskDouble::Space(qint64& freeBytes, qint64& totalBytes) const {
  if (current_ < 0 || !disks_[current_].formatted) return false;
  totalBytes = capacity_;
  freeBytes = std::max<qint64>(0, capacity_ - Used(current_));
  return true;
}

void RemovableDiskDouble::OnPrompt() {
  ++prompts_;
  if (script_.empty()) return;
  const int c = script_.front();
  script_.pop_front();
  Insert(c == kBlank ? NewDisk() : c);
}
