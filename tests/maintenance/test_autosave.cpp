// The backup at exit: ten archives per weekday, the oldest overwritten, nothing else touched.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QScreen>
#include <QTimer>

#include "MaintFixture.h"
#include "maintenance/Register.h"
#include "maintenance/UAutoSave.h"
#include "platform/sys/Clock.h"
#include "shell/UMain.h"
#include "shell/global.h"

namespace {
const QDateTime kMonday(QDate(2026, 12, 7), QTime(19, 0));

struct ClockGuard {
  explicit ClockGuard(const QDateTime& t) { SetClock(t); }
  ~ClockGuard() { SetClock(QDateTime()); }
};
}  // namespace

TEST_F(MaintTest, TwelveBackupsOnOneWeekdayRotateOverTenArchives) {
  FillSample();
  ClockGuard clock(kMonday);
  const QString folder = DataPath + "Lundi/";
  // Names that only look like the rotation's stay as they are.
  QDir().mkpath(folder);
  const QStringList others{"ZELM_10.zip", "ZELM_A.zip", "ZELM_5.zip.bak", "ZELM.zip", "notes.txt"};
  for (const QString& n : others) WriteFile(folder + n, n.toUtf8());
  const auto othersBefore = Snapshot(folder);

  const QStringList expected{"ZELM_0.zip", "ZELM_1.zip", "ZELM_2.zip", "ZELM_3.zip", "ZELM_4.zip", "ZELM_5.zip",
                             "ZELM_6.zip", "ZELM_7.zip", "ZELM_8.zip", "ZELM_9.zip", "ZELM_0.zip", "ZELM_1.zip"};
  for (int i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(i);
    TfrmAutoSave w;
    w.show();
    EXPECT_EQ(TfrmAutoSave::ChooseArchive(folder), folder + expected[i]);
    ASSERT_TRUE(w.DoAutoSave());
    EXPECT_EQ(w.Label1->text(), "Sauvegarde en cours ...");
    // One minute between backups, as the file system would date them.
    SetMTime(folder + expected[i], kMonday.addSecs(60 * i));
  }
  EXPECT_EQ(UnzipNames(folder + "ZELM_1.zip").size(), UnzipNames(folder + "ZELM_5.zip").size());
  EXPECT_EQ(QFileInfo(folder + "ZELM_0.zip").lastModified(), kMonday.addSecs(600));
  EXPECT_EQ(QFileInfo(folder + "ZELM_1.zip").lastModified(), kMonday.addSecs(660));
  auto after = Snapshot(folder);
  for (const QString& n : others) EXPECT_EQ(after.value(n), othersBefore.value(n)) << n.toStdString();
  EXPECT_EQ(after.size(), others.size() + 10);  // no temporary file left
  // The overwritten archives went to the trash.
  EXPECT_TRUE(QFileInfo::exists(TrashFolder() + "ZELM_0.zip"));

  // A number deleted by hand is written again next.
  QFile::remove(folder + "ZELM_4.zip");
  TfrmAutoSave w;
  ASSERT_TRUE(w.DoAutoSave());
  EXPECT_TRUE(QFileInfo::exists(folder + "ZELM_4.zip"));
  EXPECT_EQ(QFileInfo(folder + "ZELM_2.zip").lastModified(), kMonday.addSecs(120));
}

TEST_F(MaintTest, AWeekdayFolderThatCannotBeMadeIsReported) {
  ClockGuard clock(kMonday);
  WriteFile(DataPath + "Lundi", "un fichier à la place du dossier");
  TfrmAutoSave w;
  EXPECT_FALSE(w.DoAutoSave());
  EXPECT_EQ(dlg->Messages(), QStringList{"Impossible de créer le répertoire : " + DataPath + "Lundi/\r"});
}

TEST_F(MaintTest, ClosingTheMainWindowWithYesWritesTheWeekdayArchive) {
  FillSample();
  RegisterMaintenanceWindows();
  ClockGuard clock(QDateTime(QDate(2026, 12, 9), QTime(19, 0)));  // a Wednesday
  TfrmMain::ExeNameOverride = dir.Path() + "zelm";
  auto* main = new TfrmMain(nullptr);
  main->show();
  QApplication::processEvents();
  dlg->Clear();
  dlg->QueueAnswer(ModalResult::Yes);
  // While the backup runs: the window belongs to the main window and sits in its middle.
  QWidget* owner = nullptr;
  QPoint centre, ownerCentre;
  QTimer look;
  QObject::connect(&look, &QTimer::timeout, [&] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* a = qobject_cast<TfrmAutoSave*>(w); a && a->isVisible()) {
        owner = a->parentWidget();
        centre = a->frameGeometry().center();
        ownerCentre = main->frameGeometry().center();
      }
  });
  look.start(0);
  main->close();
  look.stop();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  TfrmMain::ExeNameOverride.clear();
  EXPECT_EQ(dlg->Messages(), QStringList{"Voulez-vous faire une sauvegarde ?"});
  EXPECT_EQ(UnzipNames(DataPath + "Mercredi/ZELM_0.zip").size(),
            QDir(DataPath).entryList(QDir::Files).size());
  for (QWidget* w : QApplication::topLevelWidgets()) EXPECT_EQ(qobject_cast<TfrmAutoSave*>(w), nullptr);
  EXPECT_EQ(owner, main);
  EXPECT_LE((centre - ownerCentre).manhattanLength(), 2) << centre.x() << "," << centre.y();
}

TEST_F(MaintTest, TheStartDeletesWhatABackupKilledWhileWritingLeftAndNothingElse) {
  RegisterMaintenanceWindows();
  const QStringList leftovers{"Lundi/.ZELM_0.zip.1a2b3c4d.part", "Samedi/.ZELM_9.zip.0000ffff.part.Xy12Zt"};
  const QStringList kept{"Lundi/ZELM_0.zip", "Lundi/.autre", "Lundi/.ZELM_10.zip.1a2b3c4d.part",
                         "Lundi/.ZELM_0.zip.1a2b3c4d.partiel", "Lundi/.zelm_0.zip.1a2b3c4d.part",
                         ".ZELM_0.zip.1a2b3c4d.part", "Archives/.ZELM_0.zip.1a2b3c4d.part"};
  for (const QString& n : leftovers + kept) WriteFile(DataPath + n, "x");
  TfrmMain::ExeNameOverride = dir.Path() + "zelm";
  auto* main = new TfrmMain(nullptr);
  for (const QString& n : leftovers) EXPECT_FALSE(QFileInfo::exists(DataPath + n)) << n.toStdString();
  for (const QString& n : kept) EXPECT_TRUE(QFileInfo::exists(DataPath + n)) << n.toStdString();
  dlg->QueueAnswer(ModalResult::No);
  main->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  TfrmMain::ExeNameOverride.clear();
}

TEST_F(MaintTest, TheBackupWindowOpensInTheMiddleOfItsOwner) {
  QWidget owner;
  owner.setGeometry(300, 200, 640, 480);
  owner.show();
  TfrmAutoSave w(&owner);
  w.show();
  QApplication::processEvents();
  EXPECT_TRUE(w.isWindow());
  EXPECT_LE((w.frameGeometry().center() - owner.frameGeometry().center()).manhattanLength(), 2)
      << w.x() << "," << w.y();
  // Without an owner, in the middle of the screen.
  TfrmAutoSave alone;
  alone.show();
  QApplication::processEvents();
  const QRect screen = alone.screen()->availableGeometry();
  EXPECT_LE((alone.frameGeometry().center() - screen.center()).manhattanLength(), 2) << alone.x() << "," << alone.y();
}
