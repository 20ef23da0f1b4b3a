// Drive letters over folders: what the archive code asks of a drive (type, volume label, space),
// and a removable test double that stands for a floppy drive with a box of disks.
//
// The program's letters come from the registry store, key kDriveSettingsKey of the current user:
// value "A" names the folder of drive A: (for instance the mount point of a removable medium);
// the optional "A.Type" ("amovible" or "fixe") overrides the type read from the mount's device,
// and "A.Taille" limits the drive to that many bytes (a test drive smaller than its file system).
// A volume label written on a drive is kept on the medium itself (kVolumeFile at its root), so a
// set of disks written today is read back after a restart. "A:" always exists: with no folder
// mapped to it, it is a floppy drive without a disk (not ready).
#pragma once
#include <QChar>
#include <QString>
#include <QStringList>
#include <deque>
#include <initializer_list>
#include <vector>

// Drive types, with the platform's codes.
enum DriveType : int {
  dtUnknown = 0, dtNoRootDir = 1, dtRemovable = 2, dtFixed = 3, dtRemote = 4, dtCDRom = 5, dtRamDisk = 6
};

// Volume errors as the platform numbers them.
constexpr int kErrNotReady = 21;
constexpr int kErrGeneralFailure = 31;  // an unformatted disk

inline const QString kDriveSettingsKey = "Software\\ZELM\\Lecteurs";
inline const QString kVolumeFile = ".zelm-volume";

// (Re)reads the letters of the registry store; letters mapped by MapDrive or a test double stay.
// The first use of the drive layer reads them once.
void LoadDriveSettings();
// The type of the device a folder is mounted from: removable (its block device says so, or it
// hangs on a USB bus), network, CD, RAM disk, else fixed.
DriveType DeviceDriveType(const QString& folder);

// Maps "X:" to a folder. A path that does not begin with a letter is on the local file system,
// a fixed drive whose root is "/".
void MapDrive(QChar letter, const QString& folder, DriveType type);
void UnmapDrive(QChar letter);
// Bit n set when letter 'A' + n is mapped.
unsigned LogicalDrives();
// Type of the drive of `root` ("A:", "A:/", "/..."): dtNoRootDir for a letter that is not mapped.
DriveType GetDriveType(const QString& root);
// "A:" for "A:/x" or for a path inside the folder mapped to A:; "" for other paths.
QString ExtractFileDrive(const QString& path);
// "A:/rel" for a path inside the folder mapped to A: (so that it follows disk changes); other
// names unchanged.
QString ToDriveName(const QString& path);
// The file system path of a name that may start with a drive letter.
QString DrivePath(const QString& path);
// Volume label and serial number; false with `error` set when the drive cannot be read.
bool GetVolumeInformation(const QString& root, QString& label, quint32& serial, int& error);
bool SetVolumeLabel(const QString& root, const QString& label);
// Space free to the caller and total size; false when the drive cannot be read.
bool GetDiskFreeSpace(const QString& root, qint64& freeBytes, qint64& totalBytes);
// The operator is about to be asked to change the disk in the drive of `root`.
void DiskPrompt(const QString& root);
// Deletion that can be undone: the file goes to the desktop trash.
bool MoveToTrash(const QString& path);

// A removable drive holding one of a box of disks, each a folder of limited capacity with its
// own label. Disk changes can be scripted: each prompt for a disk performs the next change.
class RemovableDiskDouble {
 public:
  static constexpr qint64 kFloppy144 = 1457664;  // bytes usable on a 1.44 MB disk
  static constexpr int kBlank = -1;               // scripted change: a new blank disk

  RemovableDiskDouble(QChar letter, const QString& baseFolder, qint64 capacity = kFloppy144);
  ~RemovableDiskDouble();
  RemovableDiskDouble(const RemovableDiskDouble&) = delete;
  RemovableDiskDouble& operator=(const RemovableDiskDouble&) = delete;

  int NewDisk(bool formatted = true);  // a blank disk, not inserted; returns its index
  void Insert(int disk);
  void Eject();
  int Current() const { return current_; }
  int DiskCount() const { return static_cast<int>(disks_.size()); }
  QString DiskFolder(int disk) const;
  QString Label(int disk) const;
  qint64 Used(int disk) const;  // bytes taken, files rounded up to 512-byte clusters
  qint64 Capacity() const { return capacity_; }
  QChar Letter() const { return letter_; }

  void ScriptChanges(std::initializer_list<int> changes);
  int PendingChanges() const { return static_cast<int>(script_.size()); }
  int Prompts() const { return prompts_; }

  // Used by the drive layer.
  bool ReadVolume(QString& label, quint32& serial, int& error) const;
  bool WriteLabel(const QString& label);
  bool Space(qint64& freeBytes, qint64& totalBytes) const;
  void OnPrompt();

 private:
  struct Disk {
    QString folder;
    QString label;
    bool formatted = true;
  };
  QChar letter_;
  QString base_;
  qint64 capacity_;
  std::vector<Disk> disks_;
  int current_ = -1;
  std::deque<int> script_;
  int prompts_ = 0;
};
