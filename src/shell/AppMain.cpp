#include "shell/AppMain.h"

#include <QEventLoop>
#include <QPointer>
#include <QTimer>
#include <QWindow>
#include <functional>

#include "platform/ui/Application.h"
#include "platform/ui/Cursor.h"
#include "platform/ui/Dialogs.h"
#include "shell/InstanceLock.h"
#include "shell/SessionEnd.h"
#include "shell/UMain.h"
#include "shell/USplash.h"
#include "shell/global.h"

namespace {
// Runs the event loop without input for a while: the window is painted whenever it is exposed.
void RunPaintsOnly(int ms, const std::function<bool()>& done = nullptr) {
  QEventLoop loop;
  QTimer end;
  end.setSingleShot(true);
  QObject::connect(&end, &QTimer::timeout, &loop, &QEventLoop::quit);
  end.start(ms);
  QTimer poll;
  if (done) {
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
      if (done()) loop.quit();
    });
    poll.start(10);
  }
  loop.exec(QEventLoop::ExcludeUserInputEvents);
}

// Under a window manager a window is mapped, and can be painted, only some time after show():
// the splash's time on screen starts once it is there, and a sleeping loop would leave it
// unpainted, so the time runs in the event loop (without input).
void KeepOnScreen(QWidget* splash, int ms) {
  QWindow* w = splash->windowHandle();
  RunPaintsOnly(1000, [w] { return !w || w->isExposed(); });
  splash->repaint();
  RunPaintsOnly(ms);
}
}  // namespace

int RunApplication(int argc, char** argv) {
  InitializeFormats();
  TApplication app(argc, argv);
  QApplication::setApplicationName("ZELM");
  // Before anything of the folder is read or changed: a second copy leaves it as it is. The
  // program folder is held (its settings, and the data folder a first start makes there) and the
  // data folder wherever its links lead.
  TInstanceLock lock;
  const QString folder = TfrmMain::ProgramFolder();
  auto alreadyOpen = [] {
    MessageDlg("ZELM est déjà ouvert sur ce dossier de données.", MsgDlgType::Warning, mbOK);
    return 1;
  };
  if (!lock.Acquire(folder) || !lock.Acquire(folder + "Data")) return alreadyOpen();
  Version = "ZELM 2.4";
  CatchEndOfSession();

  auto* splash = new TfrmSplash(nullptr);
  splash->repaint();
  splash->show();
  ProcessMessages();
  KeepOnScreen(splash, 1500);
  delete splash;
  ProcessMessages();

  auto* main = new TfrmMain(nullptr);  // frees itself when it closes
  // The program ends with the main window, even while the F6 calendar is still open.
  QObject::connect(main, &QObject::destroyed, &app, &QCoreApplication::quit);
  // A first start has just made the data folder: from now on it is held too. Another program
  // folder linked to it that started in between holds it already, and that copy is the one to go on.
  if (!lock.Acquire(folder + "Data")) {
    delete main;
    return alreadyOpen();
  }
  QPointer<TfrmMain> guard(main);
  SetSessionWindow(main);  // a signal that came during the start ends the session now
  if (guard && guard->Ending()) {
    // Its closing has run; a window that was never shown is not freed by closing it.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    delete guard.data();
    return 0;
  }
  main->show();
  return app.exec();
}
