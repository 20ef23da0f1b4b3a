#include "shell/AppMain.h"

#include <QDir>
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
  // data folder wherever its links lead. A data folder that cannot be read is refused too: every
  // window would fail on its tables.
  TInstanceLock lock;
  const QString folder = TfrmMain::ProgramFolder();
  const QString data = folder + "Data";
  auto refused = [&data](TInstanceLock::Result why) {
    if (why == TInstanceLock::Result::Unreadable)
      MessageDlg("Le dossier de données « " + QDir::cleanPath(data) +
                     " » ne peut pas être lu : ZELM ne peut pas s'ouvrir.",
                 MsgDlgType::Error, mbOK);
    else
      MessageDlg("ZELM est déjà ouvert sur ce dossier de données.", MsgDlgType::Warning, mbOK);
    return 1;
  };
  // The program folder is only held: its settings are read by name, listing it is not needed.
  if (lock.Acquire(folder) == TInstanceLock::Result::Busy) return refused(TInstanceLock::Result::Busy);
  if (const auto r = lock.Acquire(data); r != TInstanceLock::Result::Ok) return refused(r);
  Version = "ZELM 2.4";
  CatchEndOfSession();

  auto* splash = new TfrmSplash(nullptr);
  splash->repaint();
  splash->show();
  ProcessMessages();
  KeepOnScreen(splash, 1500);
  delete splash;
  ProcessMessages();

  // A first start makes the data folder while the main window is created: it is held from then
  // on, before its tables are made. Another program folder linked to it that started in between
  // holds it already, and that copy is the one to go on.
  auto held = TInstanceLock::Result::Ok;
  TfrmMain::HoldDataFolderHook = [&](const QString& dataPath) {
    return (held = lock.Acquire(dataPath)) == TInstanceLock::Result::Ok;
  };
  auto* main = new TfrmMain(nullptr);  // frees itself when it closes
  TfrmMain::HoldDataFolderHook = nullptr;
  // The program ends with the main window, even while the F6 calendar is still open.
  QObject::connect(main, &QObject::destroyed, &app, &QCoreApplication::quit);
  if (held != TInstanceLock::Result::Ok) {
    delete main;
    return refused(held);
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
