// The program itself, started by the end-of-session tests in a program folder of theirs: once its
// main window is up it opens the clients window, types a client as a person would and says
// "READY" on its output; then it waits for the signal the test sends.
//   session_child FOLDER [complete|incomplete|asking|early]
// "asking" stores the client and then asks whether to delete it: the signal comes while the
// question is open; "early" is ready while the splash is up. The logout modes send no signal:
// the child plays the desktop's session manager once the client is typed, "logout" asking the
// program to save its data (commitDataRequest), "logout-die" then telling it to quit at once as a
// session manager does that does not wait, "die" telling it to quit without asking first; with
// "-asking" the question of "asking" is open when it comes. "startbox" is ready when a message
// box is open before the main window is (the test gives it a settings file that brings one);
// "answerbox" prints the text of the first box on its output, after "BOX:", and answers it, or
// "OPENED" when the main window is up without one. "holdtables" says "MAKING" once a first start
// is about to make the tables of the data folder it made, and makes them when a line comes on its
// input; then it goes on as "incomplete".
#include <QApplication>
#include <QMessageBox>
#include <QSessionManager>
#include <QTest>
#include <QTimer>
#include <cstdio>

#include "app/Composition.h"
#include "refdata/Register.h"
#include "refdata/UClient.h"
#include "shell/AppMain.h"
#include "shell/UMain.h"

namespace {
bool g_complete = true;
bool g_asking = false;
bool g_early = false;  // ready as soon as the splash is up
bool g_startBox = false;  // ready once a message box is open during the start
bool g_answerBox = false;  // the first box is printed and answered
QByteArray g_logout;   // "logout", "logout-die", "die" or empty

// What the desktop's session manager does at a logout, through the application's own manager.
void LogOut() {
  auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
  if (g_logout != "die") {
    QSessionManager* manager = app->findChild<QSessionManager*>();
    if (!manager) {
      std::fprintf(stderr, "no session manager\n");
      std::exit(3);
    }
    emit app->commitDataRequest(*manager);
  }
  if (g_logout != "logout") QCoreApplication::quit();
}

void SayReady() {
  std::printf("READY\n");
  std::fflush(stdout);
  if (!g_logout.isEmpty()) QTimer::singleShot(100, LogOut);
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

bool MainWindowUp() {
  for (QWidget* t : QApplication::topLevelWidgets())
    if (qobject_cast<TfrmMain*>(t) && t->isVisible()) return true;
  return false;
}

void WaitForTheMainWindow() {
  if (MainWindowUp()) {
    QTimer::singleShot(0, [] {
      QTimer::singleShot(0, TypeClient);
      TfrmMain::OpenWindow(WindowKey::Client);  // modal: returns when the window is closed
    });
    return;
  }
  QTimer::singleShot(50, WaitForTheMainWindow);
}

void WaitForABox() {
  auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
  if (!box && g_answerBox && MainWindowUp()) {
    std::printf("OPENED\n");
    std::fflush(stdout);
  } else if (!box) {
    QTimer::singleShot(20, WaitForABox);
  } else if (g_answerBox) {
    std::printf("BOX:%s\n", box->text().toUtf8().constData());
    std::fflush(stdout);
    box->accept();
  } else {
    SayReady();
  }
}

void Drive() {
  if (g_startBox || g_answerBox) QTimer::singleShot(0, WaitForABox);
  else if (g_early) QTimer::singleShot(0, SayReady);  // runs in the splash's first pending messages
  else QTimer::singleShot(0, WaitForTheMainWindow);
}
}  // namespace

Q_COREAPP_STARTUP_FUNCTION(Drive)

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  TfrmMain::ExeNameOverride = QString::fromLocal8Bit(argv[1]) + "/zelm";
  const QByteArray mode = argc >= 3 ? QByteArray(argv[2]) : QByteArray();
  g_complete = mode != "incomplete" && mode != "holdtables";
  if (mode == "holdtables")
    TfrmMain::CreateTablesHook = [make = TfrmMain::CreateTablesHook](const QString& dataPath) {
      std::printf("MAKING\n");
      std::fflush(stdout);
      char line[16];
      if (!std::fgets(line, sizeof line, stdin)) std::exit(4);
      make(dataPath);
    };
  g_asking = argc >= 3 && QByteArray(argv[2]).endsWith("asking");
  g_early = argc >= 3 && QByteArray(argv[2]) == "early";
  g_startBox = argc >= 3 && QByteArray(argv[2]) == "startbox";
  g_answerBox = argc >= 3 && QByteArray(argv[2]) == "answerbox";
  if (argc >= 3 && (QByteArray(argv[2]).startsWith("logout") || QByteArray(argv[2]).startsWith("die")))
    g_logout = QByteArray(argv[2]).replace("-asking", "");
  ComposeApplication();
  int n = 1;  // the application sees no arguments of ours
  return RunApplication(n, argv);
}
