// Spanning across test floppies and numbered parts on a fixed drive, and joining them back.
#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

#include "ZipTestSupport.h"
#include "platform/sys/Drives.h"

namespace {

QString MakeData(const TempDir& t, int files, int size) {
  const QString data = t.File("data/");
  for (int i = 0; i < files; ++i) WriteFile(data + QString("T%1.DB").arg(i), RandomBytes(size, 100 + i));
  WriteFile(data + "NOTES.TXT", TextBytes(5000, 99));
  return data;
}

void ExpectSameFiles(const QString& a, const QString& b) {
  const QStringList names = QDir(a).entryList(QDir::Files);
  EXPECT_EQ(QDir(b).entryList(QDir::Files), names);
  for (const QString& n : names) EXPECT_EQ(ReadFile(b + n), ReadFile(a + n)) << n.toStdString();
}

}  // namespace

TEST(ZipSpan, ThreeFloppiesLabelledAndRestoredExactly) {
  TempDir t;
  const QString data = MakeData(t, 5, 700000);  // 3.5 MB that does not compress
  ScopedDialogs dlg;
  RemovableDiskDouble floppy('A', t.File("floppies"));
  floppy.Insert(floppy.NewDisk());
  // The operator puts the first disk back, then a blank one at each request.
  floppy.ScriptChanges({0, RemovableDiskDouble::kBlank, RemovableDiskDouble::kBlank});

  auto z = NewZip(false);
  Recorder rec;
  rec.Attach(*z);
  z->SetZipFileName("A:/ZELM.zip");
  z->AddOptions << AddDiskSpan;
  z->FSpecArgs << data + "*.*";
  z->Add();
  EXPECT_EQ(z->SuccessCount, 6);
  ASSERT_EQ(floppy.DiskCount(), 3);
  for (int d = 0; d < 3; ++d) {
    EXPECT_EQ(floppy.Label(d), QString("PKBACK# 00%1").arg(d + 1));
    EXPECT_LE(floppy.Used(d), floppy.Capacity());
    EXPECT_TRUE(QFileInfo::exists(floppy.DiskFolder(d) + "/ZELM.zip"));
  }
  EXPECT_EQ(ReadFile(floppy.DiskFolder(0) + "/ZELM.zip").left(8), QByteArray("PK\x07\x08PK\x03\x04", 8));
  EXPECT_TRUE(dlg->Messages().contains("Insérer le volume n°2 sur 3\ndans le lecteur: A:/"));
  EXPECT_EQ(floppy.PendingChanges(), 0);
  // The listing after the add reads the last disk.
  EXPECT_EQ(z->LastDiskNumber, 2);
  EXPECT_EQ(z->EntryCount(), 6);
  EXPECT_TRUE(rec.HasMessage("Copie en cours: T0.DB"));
  EXPECT_TRUE(rec.HasMessage("Copie en cours: Répertoire central"));  // the operator reads French
  EXPECT_EQ(rec.progress.last(), "E");

  // Restore through the event: the last disk is in, then each disk from the first is asked for.
  auto r = NewZip(false);
  QStringList asked;
  r->OnGetNextDisk = [&](QObject*, int seq, int total, const QString& drive, bool&) {
    asked << QString("%1/%2 %3").arg(seq).arg(total).arg(drive);
    floppy.Insert(seq - 1);
  };
  r->SetZipFileName(floppy.DiskFolder(2) + "/ZELM.zip");  // as a folder dialog names it
  ASSERT_EQ(r->EntryCount(), 6);
  r->ExtrBaseDir = t.File("restored/");
  r->FSpecArgs << "*.*";
  r->Extract();
  EXPECT_EQ(r->SuccessCount, 6);
  ExpectSameFiles(data, t.File("restored/"));
  EXPECT_EQ(asked.first(), "1/3 A");
  EXPECT_TRUE(asked.contains("3/3 A"));

  // And through the message boxes, the first disk inserted when the last is asked for.
  dlg->Clear();
  floppy.Insert(0);
  floppy.ScriptChanges({2, 0, 1, 2});
  auto b = NewZip(false);
  b->TempDir = t.File("tmp/");
  QDir().mkpath(t.File("tmp"));
  floppy.Insert(2);
  b->SetZipFileName("A:/ZELM.zip");
  floppy.Insert(0);
  b->ExtrBaseDir = t.File("restored2/");
  b->FSpecArgs << "*.*";
  b->Extract();
  EXPECT_EQ(b->SuccessCount, 6);
  ExpectSameFiles(data, t.File("restored2/"));
  EXPECT_EQ(dlg->Messages().value(0), "Insérer le dernier disque\ndans le lecteur: A:/");
  EXPECT_TRUE(dlg->Messages().contains("Insérer le volume n°1 sur 3\ndans le lecteur: A:/"));
  EXPECT_TRUE(QDir(t.File("tmp")).entryList(QDir::Files).isEmpty());  // the joined copy is gone
}

TEST(ZipSpan, FloppyRefusalsEndTheOperation) {
  TempDir t;
  const QString data = MakeData(t, 1, 1000);
  ScopedDialogs dlg;
  RemovableDiskDouble floppy('A', t.File("floppies"));
  floppy.Insert(floppy.NewDisk());

  // Unattended never prompts.
  auto u = NewZip(true);
  u->SetZipFileName("A:/ZELM.zip");
  u->AddOptions << AddDiskSpan;
  u->FSpecArgs << data + "*.*";
  u->Add();
  EXPECT_EQ(u->SuccessCount, 0);
  EXPECT_EQ(u->ErrCode, 11025);

  // Cancel at the disk request: 11007 without a box.
  auto z = NewZip(false);
  z->SetZipFileName("A:/ZELM.zip");
  z->AddOptions << AddDiskSpan;
  dlg->QueueAnswer(ModalResult::Cancel);
  z->FSpecArgs << data + "*.*";
  z->Add();
  EXPECT_EQ(z->SuccessCount, 0);
  EXPECT_EQ(z->ErrCode, 11007);
  EXPECT_EQ(dlg->Messages().size(), 1);  // the prompt only

  // A disk without room for the minimum is refused with Retry/Cancel.
  dlg->Clear();
  WriteFile(floppy.DiskFolder(0) + "/filler.bin", QByteArray(int(floppy.Capacity()) - 30000, 'x'));
  dlg->QueueAnswer(ModalResult::OK);
  dlg->QueueAnswer(ModalResult::Cancel);
  z->FSpecArgs << data + "*.*";
  z->Add();
  EXPECT_EQ(z->ErrCode, 11007);
  EXPECT_TRUE(dlg->Messages().contains("Espace disque insuffisant sur le disque sélectionné"));
  EXPECT_FALSE(QFileInfo::exists(floppy.DiskFolder(0) + "/ZELM.zip"));
}

TEST(ZipSpan, EraseOptionClearsAnUnformattedOrUsedDisk) {
  TempDir t;
  const QString data = MakeData(t, 1, 2000);
  ScopedDialogs dlg;
  RemovableDiskDouble floppy('A', t.File("floppies"));
  floppy.Insert(floppy.NewDisk(false));  // never formatted
  auto z = NewZip(false);
  z->SetZipFileName("A:/ZELM.zip");
  z->AddOptions << AddDiskSpanErase;
  floppy.ScriptChanges({0});
  z->FSpecArgs << data + "*.*";
  z->Add();
  EXPECT_EQ(z->SuccessCount, 2);
  EXPECT_EQ(floppy.Label(0), "PKBACK# 001");
  EXPECT_TRUE(dlg->Messages().contains("Erase A:/"));

  // A used disk: its old files go when the erase is confirmed, and stay when it is not.
  WriteFile(floppy.DiskFolder(0) + "/vieux/ancien.txt", "old");
  dlg->Clear();
  floppy.ScriptChanges({0});
  dlg->QueueAnswer(ModalResult::OK);   // the disk request
  dlg->QueueAnswer(ModalResult::No);   // "Erase A:/"
  z->FSpecArgs << data + "*.*";
  z->Add();
  EXPECT_EQ(z->ErrCode, 11007);
  EXPECT_TRUE(QFileInfo::exists(floppy.DiskFolder(0) + "/vieux/ancien.txt"));
  floppy.ScriptChanges({0});
  z->FSpecArgs << data + "*.*";
  z->Add();
  EXPECT_EQ(z->SuccessCount, 2);
  EXPECT_FALSE(QFileInfo::exists(floppy.DiskFolder(0) + "/vieux"));
  EXPECT_EQ(QDir(floppy.DiskFolder(0)).entryList(QDir::Files), QStringList{"ZELM.zip"});
}

TEST(ZipSpan, FixedDrivePartsWithinMaxVolumeSize) {
  TempDir t;
  const QString data = MakeData(t, 3, 110000);
  ScopedDialogs dlg;
  QDir().mkpath(t.File("backup"));
  auto z = NewZip(false);
  z->SetZipFileName(t.File("backup/ZELM.zip"));
  z->AddOptions << AddDiskSpan;
  z->MaxVolumeSize = 100000;
  z->KeepFreeOnDisk1 = 1000;
  z->FSpecArgs << data + "*.*";
  z->Add();
  EXPECT_EQ(z->SuccessCount, 4);
  EXPECT_TRUE(dlg->Messages().isEmpty());  // no prompt on a fixed drive
  const QStringList parts = QDir(t.File("backup")).entryList(QDir::Files);
  EXPECT_EQ(parts, (QStringList{"ZELM001.zip", "ZELM002.zip", "ZELM003.zip", "ZELM004.zip"}));
  for (const QString& p : parts) EXPECT_LE(QFileInfo(t.File("backup/") + p).size(), 100000);
  EXPECT_LE(QFileInfo(t.File("backup/ZELM001.zip")).size(), 99000);
  EXPECT_EQ(z->ZipFileName(), t.File("backup/ZELM004.zip"));
  EXPECT_EQ(z->EntryCount(), 4);

  z->ExtrBaseDir = t.File("out/");
  z->FSpecArgs << "*.*";
  z->Extract();
  EXPECT_EQ(z->SuccessCount, 4);
  ExpectSameFiles(data, t.File("out/"));

  // Reading from the first part's name is refused.
  auto f = NewZip(true);
  f->SetZipFileName(t.File("backup/ZELM001.zip"));
  EXPECT_TRUE(f->ZipFileName().isEmpty());
  EXPECT_EQ(f->ErrCode, 11045);

  // Writing over the parts: "No" cannot bring another disk on a fixed drive.
  dlg->QueueAnswer(ModalResult::No);
  z->SetZipFileName(t.File("backup/ZELM.zip"));
  z->FSpecArgs << data + "*.*";
  z->Add();
  EXPECT_EQ(z->SuccessCount, 0);
  EXPECT_EQ(z->ErrCode, 11007);
  EXPECT_TRUE(dlg->Messages().value(0).startsWith("Un fichier "));

  // A part smaller than one header, or than the minimum free space, can never succeed.
  auto s = NewZip(true);
  QDir().mkpath(t.File("tiny"));
  s->SetZipFileName(t.File("tiny/S.zip"));
  s->AddOptions << AddDiskSpan;
  s->MaxVolumeSize = 30;
  s->MinFreeVolumeSize = 0;
  s->FSpecArgs << data + "*.*";
  s->Add();
  EXPECT_EQ(s->SuccessCount, 0);
  EXPECT_EQ(s->ErrCode, 11032);
  s->MaxVolumeSize = 50000;
  s->MinFreeVolumeSize = 65536;
  s->SetZipFileName(t.File("tiny/T.zip"));
  s->FSpecArgs << data + "*.*";
  s->Add();
  EXPECT_EQ(s->ErrCode, 11032);
}

TEST(ZipSpan, StreamedArchivesWithDataDescriptorsSplitAndJoin) {
  if (!HaveTool("zip")) GTEST_SKIP() << "zip missing";
  TempDir t;
  const QString data = MakeData(t, 2, 60000);
  // Written to a pipe, zip leaves sizes out of the local headers and adds signed descriptors.
  ASSERT_EQ(RunTool("sh", {"-c", "zip -q - T0.DB T1.DB NOTES.TXT | cat > ../stream.zip"}, data).code, 0);
  ASSERT_GE(ReadFile(t.File("stream.zip")).count(QByteArray("PK\x07\x08", 4)), 3);
  QDir().mkpath(t.File("parts"));
  auto z = NewZip(true);
  z->MaxVolumeSize = 50000;
  z->MinFreeVolumeSize = 0;
  EXPECT_EQ(z->WriteSpan(t.File("stream.zip"), t.File("parts/S.zip")), 0);
  const QStringList parts = QDir(t.File("parts")).entryList(QDir::Files);
  ASSERT_GE(parts.size(), 3);
  z->SetZipFileName(t.File("parts/") + parts.last());
  ASSERT_EQ(z->EntryCount(), 3);
  QString joined = t.File("joined.zip");
  EXPECT_EQ(z->ReadSpan(z->ZipFileName(), joined), 0);
  if (HaveTool("unzip")) {
    EXPECT_EQ(RunTool("unzip", {"-tq", joined}).code, 0);
  }
  z->ExtrBaseDir = t.File("out/");
  z->FSpecArgs << "*.*";
  z->Extract();
  EXPECT_EQ(z->SuccessCount, 3);
  ExpectSameFiles(data, t.File("out/"));
}

TEST(ZipDrives, LettersLabelsAndSpace) {
  TempDir t;
  MapDrive('C', t.File("c"), dtFixed);
  QDir().mkpath(t.File("c"));
  EXPECT_EQ(GetDriveType("C:/"), dtFixed);
  EXPECT_EQ(GetDriveType("Q:/"), dtNoRootDir);
  EXPECT_EQ(DrivePath("C:/ZELM.zip"), t.File("c/ZELM.zip"));
  EXPECT_EQ(ExtractFileDrive(t.File("c/x/y.zip")), "C:");
  EXPECT_EQ(ToDriveName(t.File("c/x/y.zip")), "C:/x/y.zip");
  EXPECT_TRUE(SetVolumeLabel("C:", "DONNEES"));
  QString label;
  quint32 serial = 0;
  int err = 0;
  EXPECT_TRUE(GetVolumeInformation("C:/", label, serial, err));
  EXPECT_EQ(label, "DONNEES");
  qint64 freeBytes = 0, total = 0;
  EXPECT_TRUE(GetDiskFreeSpace("C:/", freeBytes, total));
  EXPECT_GT(total, 0);
  UnmapDrive('C');

  RemovableDiskDouble b('B', t.File("b"), 10000);
  EXPECT_FALSE(GetVolumeInformation("B:", label, serial, err));
  EXPECT_EQ(err, kErrNotReady);
  b.Insert(b.NewDisk(false));
  EXPECT_FALSE(GetVolumeInformation("B:", label, serial, err));
  EXPECT_EQ(err, kErrGeneralFailure);
  EXPECT_TRUE(SetVolumeLabel("B:", "PKBACK# 001"));
  WriteFile(DrivePath("B:/f.bin"), QByteArray(1000, 'x'));
  EXPECT_TRUE(GetDiskFreeSpace("B:/", freeBytes, total));
  EXPECT_EQ(total, 10000);
  EXPECT_EQ(freeBytes, 10000 - 1024);
  EXPECT_TRUE(LogicalDrives() & 2u);
}

// An archive with zip64 records (another tool's) is split into a set that joins back whole, or
// refused with nothing left behind.
TEST(ZipSpan, AnArchiveWithZip64RecordsSplitsSoundlyOrNotAtAll) {
  if (!HaveTool("zip") || !HaveTool("unzip")) GTEST_SKIP() << "zip or unzip missing";
  TempDir t;
  const QString data = MakeData(t, 2, 60000);
  ASSERT_EQ(RunTool("zip", {"-q", "-fz", t.File("z64.zip"), "T0.DB", "T1.DB"}, data).code, 0);
  QDir().mkpath(t.File("parts"));
  auto z = NewZip(true);
  z->MaxVolumeSize = 50000;
  z->MinFreeVolumeSize = 0;
  const int result = z->WriteSpan(t.File("z64.zip"), t.File("parts/S.zip"));
  const QStringList parts = QDir(t.File("parts")).entryList(QDir::Files | QDir::Hidden);
  if (result != 0) {
    EXPECT_EQ(parts, QStringList());
    return;
  }
  ASSERT_FALSE(parts.isEmpty());
  z->SetZipFileName(t.File("parts/") + parts.last());
  QString joined = t.File("joined.zip");
  ASSERT_EQ(z->ReadSpan(z->ZipFileName(), joined), 0);
  EXPECT_EQ(RunTool("unzip", {"-tq", joined}).code, 0);
}
