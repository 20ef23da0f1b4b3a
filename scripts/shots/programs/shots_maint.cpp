// Pictures of the maintenance windows for a person to look at (scripts/shots/maint.sh), and the
// program closed with "Oui" to the backup question, which must leave the weekday's archive.
//   shots_maint <folder for the pictures>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QProgressBar>
#include <QProcess>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>

#include "maintenance/MaintCommon.h"
#include "maintenance/Register.h"
#include "maintenance/UAutoSave.h"
#include "maintenance/UEpur.h"
#include "maintenance/UReindex.h"
#include "maintenance/URestorFiles.h"
#include "maintenance/USaveRestore.h"
#include "platform/db/Table.h"
#include "platform/sys/Clock.h"
#include "platform/ui/Cursor.h"
#include "platform/ui/Dialogs.h"
#include "schema/AppSchema.h"
#include "shell/UMain.h"
#include "shell/UProgress.h"
#include "shell/global.h"
#include "support/AppData.h"

namespace {
QString shots;

void Shot(QWidget* w, const QString& name) {
  ProcessMessages();
  w->grab().save(shots + name + ".png");
  std::printf("%s%s.png\n", qPrintable(shots), qPrintable(name));
  // Under a window manager, the screen too: the window with its frame, where it was placed.
  if (qEnvironmentVariableIsSet("ZELM_SHOT_SCREEN") && w->isWindow() && w->isVisible()) {
    w->raise();
    w->activateWindow();
    for (int i = 0; i < 20; ++i) {
      ProcessMessages();
      QThread::msleep(20);
    }
    QProcess::execute("import", {"-window", "root", shots + name + "_ecran.png"});
    std::printf("%s%s_ecran.png\n", qPrintable(shots), qPrintable(name));
  }
}

using testdata::AddRow;
}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  shots = QDir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString("shots")).absolutePath() + "/";
  QDir().mkpath(shots);
  const QString root = QDir::tempPath() + "/zelm-maint-shots/";
  QDir(root).removeRecursively();
  qputenv("XDG_DATA_HOME", (root + "xdg").toUtf8());
  QDir().mkpath(root + "xdg");
  qputenv("ZELM_REGISTRY_DIR", (root + "registry").toUtf8());
  InitializeFormats();
  for (auto& d : Droits) d = "2";
  testdata::MakeAppFolder(root);
  for (int c = 1; c <= 40; ++c)
    for (int d = 0; d < 60; ++d)
      AddRow("Disto.DB", {QDate(2005, 2, 1).addDays(d), QString("%1").arg(c, 4, 10, QChar('0')), "0001", 3, 1.2});
  ScriptedDialogs dlg;
  SetDialogs(&dlg);
  SetClock(QDateTime(QDate(2026, 12, 7), QTime(18, 30)));

  {
    TfrmSaveRestore f;
    SetSaveMode(&f);
    f.show();
    Shot(&f, "maint_sauvegarde");
    bool taken = false;
    f.ZipArchiver1->OnProgress = [&](QObject*, ProgressType t, const QString& n, qint64 s) {
      f.ZipArchiver1Progress(t, n, s);
      if (t == ProgressUpdate && !taken && f.ProgressBar1->value() > 2000) {
        taken = true;
        Shot(&f, "maint_sauvegarde_en_cours");
      }
    };
    QDir().mkpath(root + "sauve");
    dlg.QueueFileName(root + "sauve");
    f.btnSave->click();
    SetRestoreMode(&f);
    Shot(&f, "maint_restaure");
  }
  {
    TZipArchiver zip;
    zip.Unattended = true;
    for (const char* n : {"ZELM_0.zip", "ZELM_1.zip", "ZELM_2.zip"}) WriteTablesArchive(zip, DataPath, root + "sauve/" + n, false);
    TfrmRestorFiles f;
    f.show();
    f.SetDirectory(root + "sauve/");
    f.myListView->setCurrentItem(f.myListView->topLevelItem(0));
    Shot(&f, "maint_restaurer_fichiers");
  }
  {
    QTimer::singleShot(0, [] {
      if (frmProgress) {
        frmProgress->MyGauge->setValue(frmProgress->MyGauge->maximum() / 3);
        Shot(frmProgress, "maint_reindexation");
      }
    });
    Reindex(ApplicationCheck(), DataPath);
  }
  {
    TfrmEpur f;
    f.show();
    f.edDDeb->setText("01/03/2005");
    f.edDFin->setText("31/03/2005");
    Shot(&f, "maint_epuration");
    f.pnlProgress->show();
    f.ProgressBar1->setRange(0, 100);
    f.ProgressBar1->setValue(40);
    Shot(&f, "maint_epuration_package");
    f.pnlProgress->hide();
    // What shows while the first deletion runs: the boxes gone, the progress panel up.
    QTimer::singleShot(0, &f, [&f] { Shot(&f, "maint_epuration_suppression"); });
    dlg.QueueAnswer(ModalResult::Yes);
    dlg.QueueAnswer(ModalResult::OK);
    f.BitBtn1->click();
  }
  {
    QWidget owner;
    owner.setWindowTitle("Fenêtre principale");
    owner.setGeometry(260, 180, 700, 500);
    owner.show();
    TfrmAutoSave w(&owner);
    w.show();
    w.Label1->setText("Sauvegarde en cours ...");
    w.ProgressBar1->setRange(0, 10001);
    w.ProgressBar1->setValue(4000);
    Shot(&w, "maint_sauvegarde_auto");
  }

  // The program closed with "Oui": the weekday's archive is written.
  RegisterMaintenanceWindows();
  TfrmMain::ExeNameOverride = root + "zelm";
  auto* main = new TfrmMain(nullptr);
  main->show();
  ProcessMessages();
  dlg.QueueAnswer(ModalResult::Yes);
  // The backup at exit where it opens: in the middle of the main window.
  QTimer look;
  bool seen = false;
  QObject::connect(&look, &QTimer::timeout, [&] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* a = qobject_cast<TfrmAutoSave*>(w); a && a->isVisible() && !seen) {
        seen = true;
        Shot(a, "maint_sauvegarde_sortie");
      }
  });
  look.start(0);
  main->close();
  look.stop();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  const QString archive = DataPath + "Lundi/ZELM_0.zip";
  const bool ok = QFileInfo(archive).size() > 0;
  std::printf("%s at exit: %s\n", ok ? "archive written" : "NO ARCHIVE", qPrintable(archive));
  std::printf("questions: %s\n", qPrintable(dlg.Messages().join(" | ")));
  SetDialogs(nullptr);
  return ok ? 0 : 1;
}
