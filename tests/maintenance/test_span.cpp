// A backup to a mapped removable test drive of 1.44 MB spans disks; after the program starts
// again, the set restores the tables byte for byte.
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTreeWidget>

#include "MaintFixture.h"
#include "maintenance/URestorFiles.h"
#include "maintenance/USaveRestore.h"
#include "platform/sys/Drives.h"
#include "platform/sys/Registry.h"
#include "schema/AppSchema.h"
#include "shell/global.h"

namespace {

// A box of disks for the drive's mount point: putting a disk in moves its files to the mount
// point, taking it out moves them back into the box. The disks and the one in the drive are
// folders, so a second process finds them as the first left them.
class DiskBox {
 public:
  DiskBox(const QString& mount, const QString& box) : mount_(mount), box_(box) { QDir().mkpath(box_); }
  int Count() const { return QDir(box_).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(); }
  QString Disk(int n) const { return box_ + QString("/disk%1").arg(n + 1); }
  int Current() const {
    const QString c = ReadFile(box_ + "/in-drive");
    return c.isEmpty() ? -1 : c.toInt();
  }
  void Eject() {
    const int cur = Current();
    if (cur >= 0) Move(mount_, Disk(cur));
    QDir(mount_).removeRecursively();  // no medium: the mount point is gone
    QFile::remove(box_ + "/in-drive");
  }
  void Insert(int n) {
    Eject();
    QDir().mkpath(Disk(n));
    QDir().mkpath(mount_);
    Move(Disk(n), mount_);
    WriteFile(box_ + "/in-drive", QByteArray::number(n));
  }
  int prompts = 0;

 private:
  static void Move(const QString& from, const QString& to) {
    QDir().mkpath(to);
    for (const QString& n : QDir(from).entryList(QDir::Files | QDir::Hidden | QDir::System))
      QFile::rename(from + "/" + n, to + "/" + n);
  }
  QString mount_, box_;
};

// The operator at the drive: every request for a disk puts that disk in, then answers OK.
class Operator : public ScriptedDialogs {
 public:
  explicit Operator(DiskBox& box) : box_(box) {}
  ModalResult MessageBox(const QString& text, MsgDlgType type, MsgDlgButtons buttons, const QString& caption) override {
    static const QRegularExpression volume("(?:n°|volume )(\\d+)");
    const auto m = volume.match(text);
    if (m.hasMatch()) {
      ++box_.prompts;
      box_.Insert(m.captured(1).toInt() - 1);
    } else if (text.startsWith("Insérer le dernier disque")) {
      ++box_.prompts;
      box_.Insert(box_.Count() - 1);
    }
    return ScriptedDialogs::MessageBox(text, type, buttons, caption);
  }
 private:
  DiskBox& box_;
};

void MapFloppy(const QString& mount) {
  TRegistry reg;
  reg.RootKey = HKEY_CURRENT_USER;
  ASSERT_TRUE(reg.OpenKey(kDriveSettingsKey, true));
  reg.WriteString("A", mount);
  reg.WriteString("A.Type", "amovible");
  reg.WriteString("A.Taille", "1457664");
  reg.CloseKey();
  LoadDriveSettings();
}

QByteArray Noise(int n, unsigned seed) {
  QByteArray b(n, Qt::Uninitialized);
  for (int i = 0; i < n; ++i) {
    seed = seed * 1103515245u + 12345u;
    b[i] = char(seed >> 16);
  }
  return b;
}

}  // namespace

TEST_F(MaintTest, SpannedBackupOnATestFloppyRestoresAfterARestart) {
  FillSample();
  WriteFile(DataPath + "Liste.MB", Noise(3'200'000, 7));  // a memo file that does not compress
  const QString mount = dir.Path() + "media/floppy";
  DiskBox box(mount, dir.Path() + "boite");
  box.Insert(0);
  MapFloppy(mount);
  Operator op(box);
  SetDialogs(&op);
  {
    TfrmSaveRestore f;
    SetSaveMode(&f);
    f.show();
    op.QueueFileName(mount);
    QTest::mouseClick(f.btnSave, Qt::LeftButton);
  }
  SetDialogs(&*dlg);
  EXPECT_EQ(op.Messages().value(0), "Insérer une disquette dans le lecteur SVP.");
  box.Eject();
  ASSERT_EQ(box.Count(), 3) << op.Messages().join(" | ").toStdString();
  for (int d = 0; d < 3; ++d) {
    EXPECT_EQ(ReadFile(box.Disk(d) + "/" + kVolumeFile).left(11), QString("PKBACK# 00%1").arg(d + 1).toUtf8());
    EXPECT_LE(QFileInfo(box.Disk(d) + "/ZELM.zip").size(), 1457664);
  }
  // What the restore must bring back, then the data changed.
  QDir().mkpath(dir.Path() + "attendu");
  for (const QString& n : QDir(DataPath).entryList(QDir::Files))
    QFile::copy(DataPath + n, dir.Path() + "attendu/" + n);
  Exec("DELETE FROM Disto.DB");
  WriteFile(DataPath + "Liste.MB", "court");

  // The program started again: another process with nothing in memory.
  QProcess child;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("ZELM_SPAN_DIR", dir.Path());
  child.setProcessEnvironment(env);
  child.setProcessChannelMode(QProcess::MergedChannels);
  child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=MaintSpanChild.RestoreFromTheDisks"});
  ASSERT_TRUE(child.waitForFinished(120000));
  const QString out = QString::fromUtf8(child.readAll());
  EXPECT_EQ(child.exitCode(), 0) << out.toStdString();
  EXPECT_TRUE(out.contains("[  PASSED  ] 1 test")) << out.toStdString();
}

// Run by the test above in a process of its own.
TEST(MaintSpanChild, RestoreFromTheDisks) {
  const QString base = qEnvironmentVariable("ZELM_SPAN_DIR");
  if (base.isEmpty()) GTEST_SKIP() << "run by SpannedBackupOnATestFloppyRestoresAfterARestart";
  qputenv("XDG_DATA_HOME", (base + "xdg").toUtf8());
  qputenv("ZELM_REGISTRY_DIR", (base + "registry").toUtf8());
  LoadDriveSettings();
  AppPath = base;
  DataPath = base + "Data/";
  InitializeFormats();
  for (auto& d : Droits) d = "2";
  const QString mount = base + "media/floppy";
  DiskBox box(mount, base + "boite");
  ASSERT_EQ(box.Current(), -1);
  Operator op(box);
  SetDialogs(&op);
  {
    TfrmSaveRestore f;
    SetRestoreMode(&f);
    f.show();
    op.QueueAnswer(ModalResult::Yes);
    op.QueueModal([&](QWidget* w) {
      auto* c = static_cast<TfrmRestorFiles*>(w);
      box.Insert(box.Count() - 1);  // the last disk first, then the drive chosen in the window
      c->SetDirectory(mount);
      if (c->myListView->topLevelItemCount() > 0) {
        c->myListView->setCurrentItem(c->myListView->topLevelItem(0));
        QTest::mouseClick(c->btnOk, Qt::LeftButton);
      } else {
        c->FileName = mount + "/ZELM.zip";  // listed once "ZELM??.zip" takes names with fewer characters
      }
      return ModalResult::OK;
    });
    op.QueueAnswer(ModalResult::Yes);
    QTest::mouseClick(f.btnRestore, Qt::LeftButton);
  }
  SetDialogs(nullptr);
  const QStringList messages = op.Messages();
  EXPECT_TRUE(messages.contains("Insérer le volume n°1 sur 3\ndans le lecteur: A:/")) << messages.join(" | ").toStdString();
  const QString expected = base + "attendu/";
  for (const QString& n : QDir(expected).entryList(QDir::Files))
    EXPECT_EQ(ReadFile(DataPath + n), ReadFile(expected + n)) << n.toStdString();
}
