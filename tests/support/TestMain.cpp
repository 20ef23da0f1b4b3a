// Every test program runs with a QApplication (offscreen) and the scripted dialog service, and
// the text boxes take the keys as in the program.
#include <QApplication>
#include <gtest/gtest.h>

#include "platform/ui/TextBoxKeys.h"
#include "support/TestSupport.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
  QApplication app(argc, argv);
  InstallTextBoxKeyRule(&app);  // as the program's application object does
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
