#include "shell/AppMain.h"

#include <QThread>

#include "platform/ui/Application.h"
#include "platform/ui/Cursor.h"
#include "shell/SessionEnd.h"
#include "shell/UMain.h"
#include "shell/USplash.h"
#include "shell/global.h"

int RunApplication(int argc, char** argv) {
  InitializeFormats();
  TApplication app(argc, argv);
  QApplication::setApplicationName("ZELM");
  Version = "ZELM 2.4";
  CatchEndOfSession();

  auto* splash = new TfrmSplash(nullptr);
  splash->repaint();
  splash->show();
  ProcessMessages();
  QThread::msleep(1500);
  delete splash;
  ProcessMessages();

  auto* main = new TfrmMain(nullptr);  // frees itself when it closes
  // The program ends with the main window, even while the F6 calendar is still open.
  QObject::connect(main, &QObject::destroyed, &app, &QCoreApplication::quit);
  SetSessionWindow(main);
  main->show();
  return app.exec();
}
