// The program itself, started by the end-of-session tests in a program folder of theirs: once its
// main window is up it opens the clients window, types a client as a person would and says
// "READY" on its output; then it waits for the signal the test sends.
//   session_child FOLDER [complete|incomplete|asking|early]
// "asking" stores the client and then asks whether to delete it: the signal comes while the
// question is open; "early" is ready while the splash is up.
#include <QApplication>
#include <QTest>
#include <QTimer>
#include <cstdio>

#include "refdata/UClient.h"
#include "shell/AppMain.h"
#include "shell/UMain.h"

namespace {
bool g_complete = true;
bool g_asking = false;
bool g_early = false;  // ready as soon as the splash is up

void SayReady() {
  std::printf("READY\n");
  std::fflush(stdout);
}

void TypeClient() {
  TfrmClient* w = nullptr;
  for (QWidget* t : QApplication::topLevelWidgets())
    if (auto* c = qobject_cast<TfrmClient*>(t); c && c->isVisible()) w = c;
  if (!w) {
    QTimer::singleShot(50, TypeClient);
    return;
  }
  QTest::mouseClick(w->btnAdd, Qt::LeftButton);
  w->edRs->setFocus();
  QTest::keyClicks(w->edRs, "durand");
  if (g_complete) {
    w->cmbRegion->setFocus();
    QTest::keyClick(w->cmbRegion, Qt::Key_Down);
    w->cmbSite->setFocus();
    QTest::keyClick(w->cmbSite, Qt::Key_Down);
  }
  w->edAdr->setFocus();
  QTest::keyClicks(w->edAdr, "rue des roses");
  if (g_asking) {
    QTest::mouseClick(w->btnPost, Qt::LeftButton);
    QTimer::singleShot(300, SayReady);
    QTest::mouseClick(w->btnDelete, Qt::LeftButton);  // the question stays open
    return;
  }
  SayReady();
}

void WaitForTheMainWindow() {
  for (QWidget* t : QApplication::topLevelWidgets())
    if (qobject_cast<TfrmMain*>(t) && t->isVisible()) {
      QTimer::singleShot(0, [] {
        QTimer::singleShot(0, TypeClient);
        TfrmMain::OpenWindow(WindowKey::Client);  // modal: returns when the window is closed
      });
      return;
    }
  QTimer::singleShot(50, WaitForTheMainWindow);
}

void Drive() {
  if (g_early) QTimer::singleShot(0, SayReady);  // runs in the splash's first pending messages
  else QTimer::singleShot(0, WaitForTheMainWindow);
}
}  // namespace

Q_COREAPP_STARTUP_FUNCTION(Drive)

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  TfrmMain::ExeNameOverride = QString::fromLocal8Bit(argv[1]) + "/zelm";
  g_complete = argc < 3 || QByteArray(argv[2]) != "incomplete";
  g_asking = argc >= 3 && QByteArray(argv[2]) == "asking";
  g_early = argc >= 3 && QByteArray(argv[2]) == "early";
  int n = 1;  // the application sees no arguments of ours
  return RunApplication(n, argv);
}
