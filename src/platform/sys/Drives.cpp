#include "platform/sys/Drives.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

#include <map>

namespace {

struct Mapping {
  QString folder;
  DriveType type = dtFixed;
  QString label;
  RemovableDiskDouble* disks = nullptr;
};

std::map<QChar, Mapping>& Table() {
  static std::map<QChar, Mapping> t;
  return t;
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

}  // namespace

void MapDrive(QChar letter, const QString& folder, DriveType type) {
  Mapping m;
  m.folder = Clean(folder);
  m.type = type;
  Table()[letter.toUpper()] = m;
}

void UnmapDrive(QChar letter) { Table().erase(letter.toUpper()); }

unsigned LogicalDrives() {
  unsigned mask = 0;
  for (const auto& [l, m] : Table()) mask |= 1u << (l.unicode() - 'A');
  return mask;
}

DriveType GetDriveType(const QString& root) {
  const QChar l = LetterOf(root);
  if (l.isNull()) return root.startsWith('/') || root.startsWith('\\') ? dtFixed : dtNoRootDir;
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
  if (!m) return path;  // a plain path, or a letter nobody mapped (a path that does not exist)
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
  label = m->label;
  serial = static_cast<quint32>(qHash(m->folder));
  return true;
}

bool SetVolumeLabel(const QString& root, const QString& label) {
  const QChar l = LetterOf(root);
  auto it = l.isNull() ? Table().end() : Table().find(l);
  if (it == Table().end()) return false;
  if (it->second.disks) return it->second.disks->WriteLabel(label);
  it->second.label = label.left(11);
  return true;
}

bool GetDiskFreeSpace(const QString& root, qint64& freeBytes, qint64& totalBytes) {
  freeBytes = totalBytes = -1;
  QString folder;
  if (LetterOf(root).isNull()) {
    folder = root.isEmpty() ? QString("/") : Clean(root);
  } else {
    const Mapping* m = Find(root);
    if (!m) return false;
    if (m->disks) return m->disks->Space(freeBytes, totalBytes);
    folder = m->folder;
  }
  QStorageInfo si(folder);
  if (!si.isValid() || !si.isReady()) return false;
  freeBytes = si.bytesAvailable();
  totalBytes = si.bytesTotal();
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
