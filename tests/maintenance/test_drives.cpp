// Drive letters from the registry store, removable drives and labels kept on the medium.
#include <QDir>
#include <QFileInfo>

#include "MaintFixture.h"
#include "platform/sys/Drives.h"
#include "platform/sys/Registry.h"

namespace {
void SetDriveSetting(const QString& name, const QString& value) {
  TRegistry reg;
  reg.RootKey = HKEY_CURRENT_USER;
  ASSERT_TRUE(reg.OpenKey(kDriveSettingsKey, true));
  reg.WriteString(name, value);
  reg.CloseKey();
}
}  // namespace

TEST_F(MaintTest, LettersComeFromTheRegistryStore) {
  const QString floppy = dir.Path() + "media/disquette";
  const QString other = dir.Path() + "donnees";
  QDir().mkpath(floppy);
  QDir().mkpath(other);
  SetDriveSetting("A", floppy);
  SetDriveSetting("A.Type", "amovible");
  SetDriveSetting("A.Taille", "1457664");
  SetDriveSetting("F", other);
  LoadDriveSettings();

  EXPECT_EQ(GetDriveType("A:"), dtRemovable);
  EXPECT_EQ(GetDriveType("F:/"), DeviceDriveType(other));
  EXPECT_NE(DeviceDriveType(other), dtNoRootDir);
  EXPECT_TRUE(LogicalDrives() & (1u << ('F' - 'A')));
  EXPECT_EQ(ExtractFileDrive(floppy + "/ZELM.zip"), "A:");
  EXPECT_EQ(ToDriveName(floppy + "/ZELM.zip"), "A:/ZELM.zip");
  EXPECT_EQ(DrivePath("A:/ZELM.zip"), floppy + "/ZELM.zip");

  qint64 freeBytes = 0, total = 0;
  WriteFile(floppy + "/f.bin", QByteArray(1000, 'x'));
  ASSERT_TRUE(GetDiskFreeSpace("A:", freeBytes, total));
  EXPECT_EQ(total, 1457664);
  EXPECT_EQ(freeBytes, 1457664 - 1024);

  // The label lives on the medium: read back after the program starts again, serial kept.
  EXPECT_TRUE(SetVolumeLabel("A:", "PKBACK# 001"));
  QString label;
  quint32 serial = 0, serial2 = 0;
  int err = 0;
  ASSERT_TRUE(GetVolumeInformation("A:/", label, serial, err));
  LoadDriveSettings();
  ASSERT_TRUE(GetVolumeInformation("A:/", label, serial2, err));
  EXPECT_EQ(label, "PKBACK# 001");
  EXPECT_EQ(serial2, serial);
  EXPECT_TRUE(QFileInfo::exists(floppy + "/" + kVolumeFile));
  EXPECT_TRUE(SetVolumeLabel("A:", "PKBACK# 002"));
  ASSERT_TRUE(GetVolumeInformation("A:/", label, serial2, err));
  EXPECT_EQ(label, "PKBACK# 002");
  EXPECT_EQ(serial2, serial);

  // The medium taken out: the drive is not ready.
  QDir(floppy).removeRecursively();
  EXPECT_FALSE(GetVolumeInformation("A:/", label, serial, err));
  EXPECT_EQ(err, kErrNotReady);
  EXPECT_FALSE(GetDiskFreeSpace("A:", freeBytes, total));
  EXPECT_FALSE(SetVolumeLabel("A:", "X"));
}

TEST_F(MaintTest, AnUnmappedFloppyDriveIsNotReady) {
  LoadDriveSettings();
  EXPECT_EQ(GetDriveType("A:"), dtRemovable);
  EXPECT_TRUE(LogicalDrives() & 1u);
  QString label;
  quint32 serial = 0;
  int err = 0;
  EXPECT_FALSE(GetVolumeInformation("A:/", label, serial, err));
  EXPECT_EQ(err, kErrNotReady);
  qint64 freeBytes = 0, total = 0;
  EXPECT_FALSE(GetDiskFreeSpace("A:", freeBytes, total));
  EXPECT_EQ(GetDriveType("G:"), dtNoRootDir);
  EXPECT_FALSE(QFileInfo::exists(DrivePath("A:/ZELM.zip")));
}

TEST_F(MaintTest, TypeOfAMountsDevice) {
  EXPECT_NE(DeviceDriveType("/"), dtNoRootDir);
  EXPECT_EQ(DeviceDriveType("/proc"), dtFixed);   // no block device behind it
}

TEST_F(MaintTest, TheSettingAsTheReadmeShowsIt) {
  const QString floppy = dir.Path() + "media/DISQUETTE";
  QDir().mkpath(floppy);
  WriteFile(dir.Path() + "registry/HKEY_CURRENT_USER.ini",
            ("[Software\\ZELM\\Lecteurs]\nA=" + floppy + "\nA.Type=amovible\nA.Taille=1457664\n").toUtf8());
  LoadDriveSettings();
  EXPECT_EQ(GetDriveType("A:"), dtRemovable);
  EXPECT_EQ(DrivePath("A:/ZELM.zip"), floppy + "/ZELM.zip");
  qint64 freeBytes = 0, total = 0;
  ASSERT_TRUE(GetDiskFreeSpace("A:", freeBytes, total));
  EXPECT_EQ(total, 1457664);
}
