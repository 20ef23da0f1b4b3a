// The end of the session (SIGTERM, logout) while a long operation processes messages as it goes:
// its window and the program close only once it is over, never under it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>

#include "platform/sys/Clock.h"
#include "shell/SessionEnd.h"
#include "shell/UMain.h"
#include "shell/global.h"
#include "support/TestSupport.h"
#include "MainWindowEnv.h"

namespace {
void Wait(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}
}  // namespace

TEST(OutsideSessionTest, TheEndOfTheSessionWaitsForALongOperation) {
  MainWindowEnv env;
  {
    ScopedDialogs dlg;
    QPointer<TfrmMain> main = new TfrmMain(nullptr);
    main->show();
    auto* op = new QDialog(main);  // the window of the operation, modal
    QPointer<QDialog> window = op;
    bool bothOpenWhileBusy = false, over = false;
    QTimer::singleShot(0, op, [&] {
      {
        TEndOfSessionHold busy;
        main->EndSession();
        for (int i = 0; i < 20; ++i) Wait(10);  // the work, processing messages
        bothOpenWhileBusy = window && window->isVisible() && main && main->isVisible();
        // A message the work shows at its end ("terminé") is not waited for.
        QMessageBox box(QMessageBox::Information, "Information", "Epuration terminée !", QMessageBox::Ok, window);
        box.exec();
      }
      over = true;
    });
    op->exec();
    EXPECT_TRUE(bothOpenWhileBusy);
    EXPECT_TRUE(over);
    // Then the session ends as usual.
    for (int i = 0; i < 100 && main && main->isVisible(); ++i) Wait(10);
    EXPECT_TRUE(!main || !main->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    delete main.data();
  }
}
