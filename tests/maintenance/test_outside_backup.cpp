// A backup whose archive cannot be written (a full disk, a file size limit): the operator is
// told, the earlier archive stays and no temporary file is left.
#include <QDir>
#include <QPushButton>
#include <QTest>
#include <csignal>
#include <sys/resource.h>

#include "MaintFixture.h"
#include "maintenance/MaintCommon.h"
#include "maintenance/USaveRestore.h"
#include "shell/global.h"

namespace {

// The process may write no file beyond a few kilobytes while it lives: every write past that
// fails as on a full disk.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    old_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit l = saved_;
    l.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &l);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, old_);
  }

 private:
  rlimit saved_{};
  void (*old_)(int) = nullptr;
};

}  // namespace

TEST_F(MaintTest, ABackupThatCannotBeWrittenSaysSoAndKeepsTheEarlierArchive) {
  FillSample();
  const QString out = dir.Path() + "sauve/";
  QDir().mkpath(out);
  WriteFile(out + "ZELM.zip", "ancienne");
  TfrmSaveRestore f;
  SetSaveMode(&f);
  f.show();
  dlg->QueueFileName(out);
  {
    FileSizeLimit full(8192);
    QTest::mouseClick(f.btnSave, Qt::LeftButton);
  }
  ASSERT_EQ(dlg->Messages().size(), 1) << dlg->Messages().join(" | ").toStdString();
  EXPECT_TRUE(dlg->Messages()[0].startsWith("La sauvegarde n'a pas pu être écrite entièrement dans " + out + "ZELM.zip"))
      << dlg->Messages()[0].toStdString();
  EXPECT_TRUE(dlg->Messages()[0].endsWith("l'archive précédente est conservée."));
  // The cause in French, as the archive library words it.
  EXPECT_TRUE(dlg->Messages()[0].contains("(Erreur d'écriture de l'archive: fichier trop grand)"))
      << dlg->Messages()[0].toStdString();
  EXPECT_EQ(ReadFile(out + "ZELM.zip"), "ancienne");
  EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::Hidden), QStringList{"ZELM.zip"});
  EXPECT_TRUE(f.btnSave->isEnabled());
  EXPECT_TRUE(f.btnClose->isEnabled());
}

TEST_F(MaintTest, WhatAKilledBackupLeftBesideItsArchiveIsCleanedUp) {
  FillSample();
  const QString out = dir.Path() + "sauve/";
  QDir().mkpath(out);
  WriteFile(out + ".ZELM.zip.0badf00d.part", QByteArray(8192, 'x'));
  WriteFile(out + ".ZELM.zip.0badf00d.part.g1k0ki", QByteArray(8192, 'x'));  // the library's own temporary
  WriteFile(out + ".AUTRE.zip.0badf00d.part", "not ours");
  TZipArchiver zip;
  zip.Unattended = true;
  ASSERT_TRUE(WriteTablesArchive(zip, DataPath, out + "ZELM.zip", false));
  EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::Hidden), (QStringList{".AUTRE.zip.0badf00d.part", "ZELM.zip"}));
}
