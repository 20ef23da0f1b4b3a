// The main window of the composed program (started in an empty program folder, so the data folder
// is made as at a first start) with each of its menus opened, and the splash, about, calendar and
// progress windows, drawn into FOLDER as main.png, menu_fichier.png, menu_traitements.png,
// menu_outils.png, menu_aide.png, splash.png, about.png, calendar.png and progress.png.
//   shots_shell FOLDER
#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QTemporaryDir>

#include "app/Composition.h"
#include "platform/sys/Clock.h"
#include "platform/ui/Dialogs.h"
#include "shell/UCalendar.h"
#include "shell/UMain.h"
#include "shell/UProgress.h"
#include "shell/USplash.h"
#include "shell/USplashEx.h"
#include "shell/global.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    fprintf(stderr, "usage: shots_shell FOLDER\n");
    return 2;
  }
  const QString dir = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(dir);
  Version = "ZELM 2.4";
  SetClock(QDateTime(QDate(2026, 12, 7), QTime(9, 30)));
  ScriptedDialogs dlg;
  SetDialogs(&dlg);
  ComposeApplication();

  {
    TfrmSplash splash;
    splash.show();
    TfrmSplashEx about;
    about.show();
    TfrmCalendar cal;
    cal.show();
    TfrmProgress progress;
    progress.MyGauge->setValue(42);
    progress.show();
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
    splash.grab().save(dir + "/splash.png");
    about.grab().save(dir + "/about.png");
    cal.grab().save(dir + "/calendar.png");
    progress.grab().save(dir + "/progress.png");
  }

  QTemporaryDir program;
  TfrmMain::ExeNameOverride = program.filePath("zelm");
  qputenv("ZELM_REGISTRY_DIR", program.filePath("registry").toUtf8());
  auto* frm = new TfrmMain(nullptr);
  frm->setWindowState(Qt::WindowNoState);
  frm->resize(1024, 700);
  frm->show();
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
  frm->grab().save(dir + "/main.png");
  const std::pair<QMenu*, const char*> menus[] = {{frm->mnFichier, "fichier"},
                                                  {frm->mnTraitements, "traitements"},
                                                  {frm->mnOutils, "outils"},
                                                  {frm->mnAideMenu, "aide"}};
  for (const auto& [menu, name] : menus) {
    menu->popup(frm->MainMenu->mapToGlobal(frm->MainMenu->actionGeometry(menu->menuAction()).bottomLeft()));
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
    menu->grab().save(dir + "/menu_" + name + ".png");
    menu->hide();
  }
  dlg.QueueAnswer(ModalResult::No);
  frm->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  SetDialogs(nullptr);
  for (const char* n : {"main", "splash", "about", "calendar", "progress"}) printf("%s/%s.png\n", argv[1], n);
  return 0;
}
