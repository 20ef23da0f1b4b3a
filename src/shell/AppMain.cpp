#include "shell/AppMain.h"

#include <QApplication>
#include <QMainWindow>

int RunApplication(int argc, char** argv) {
  QApplication app(argc, argv);
  QMainWindow w;
  w.setWindowTitle("Distribution de journaux - ZELM 2.4");
  w.showMaximized();
  return app.exec();
}
