#include "shell/SessionEnd.h"

#include <QApplication>
#include <QDialog>
#include <QGuiApplication>
#include <QPointer>
#include <QSessionManager>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/ui/Dialogs.h"
#include "shell/UMain.h"

namespace {

int g_sockets[2] = {-1, -1};  // [0] written by the handler, [1] read by the event loop
QPointer<TfrmMain> g_main;
bool g_pending = false;  // a signal came before the main window

void OnSignal(int sig) {
  const int saved = errno;
  const char byte = char(sig);
  [[maybe_unused]] const ssize_t n = write(g_sockets[0], &byte, 1);
  errno = saved;
}

void EndNow() {
  if (g_main) {
    g_main->EndSession();
    return;
  }
  g_pending = true;
  // The start goes on without anyone there: its boxes are not waited for, the one open now
  // included, so that the main window comes and ends the session.
  static UnattendedDialogs unattended;
  SetDialogs(&unattended);
  if (QWidget* box = QApplication::activeModalWidget()) {
    box->close();
    if (auto* d = qobject_cast<QDialog*>(box); d && d->isVisible()) d->done(QDialog::Rejected);
  }
}

// The session manager's "die" (and any other request to quit the application) comes as a Quit
// event to the application; it would close the windows as a click on their close boxes does,
// asking its questions of nobody. It runs the end of the session instead; the program's own
// quit, once the main window is gone, passes.
class QuitRequests : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (e->type() != QEvent::Quit || watched != QCoreApplication::instance() || !g_main) return false;
    if (!g_main->Ending()) EndNow();
    return true;
  }
};

}  // namespace

void CatchEndOfSession() {
  if (g_sockets[0] >= 0 || !QCoreApplication::instance()) return;
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_sockets) != 0) return;
  fcntl(g_sockets[0], F_SETFL, fcntl(g_sockets[0], F_GETFL) | O_NONBLOCK);
  auto* notifier = new QSocketNotifier(g_sockets[1], QSocketNotifier::Read, QCoreApplication::instance());
  QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
    char buf[16];
    while (read(g_sockets[1], buf, sizeof buf) == ssize_t(sizeof buf)) {
    }
    EndNow();
  });
  struct sigaction sa = {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  for (int sig : {SIGTERM, SIGHUP, SIGINT}) sigaction(sig, &sa, nullptr);
  // The desktop's logout: the same sequence, so that no question holds the session up.
  if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
    QObject::connect(gui, &QGuiApplication::commitDataRequest, gui, [](QSessionManager&) { EndNow(); });
  QCoreApplication::instance()->installEventFilter(new QuitRequests(QCoreApplication::instance()));
}

void SetSessionWindow(TfrmMain* main) {
  g_main = main;
  if (main && g_pending) {
    g_pending = false;
    main->EndSession();
  }
}

namespace {
int g_holds = 0;
}  // namespace

TEndOfSessionHold::TEndOfSessionHold() { ++g_holds; }
TEndOfSessionHold::~TEndOfSessionHold() { --g_holds; }
bool EndOfSessionHeld() { return g_holds > 0; }
