// The application object's own event loop: errors raised by handlers stop at the loop.
#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QEvent>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "platform/sys/Errors.h"
#include "platform/ui/Application.h"
#include "support/TestSupport.h"

namespace {
class Thrower : public QObject {
 public:
  int kind = 0;
  bool event(QEvent* e) override {
    if (e->type() != QEvent::User) return QObject::event(e);
    if (kind == 0) Abort();
    if (kind == 1) throw Exception("Le fichier est occupé");
    throw std::runtime_error("plain");
  }
};
}  // namespace

TEST(ApplicationLoop, AbortIsSilentAndOtherErrorsReachTheErrorBox) {
  ScopedDialogs dlg;
  Thrower t;
  for (int kind : {0, 1, 2}) {
    t.kind = kind;
    QCoreApplication::postEvent(&t, new QEvent(QEvent::User));
    QCoreApplication::processEvents();
  }
  bool after = false;
  QTimer::singleShot(0, [] { throw Exception("depuis une minuterie"); });
  QTimer::singleShot(5, [&] { after = true; QCoreApplication::quit(); });
  QCoreApplication::exec();  // the loop goes on after the error
  EXPECT_TRUE(after);
  EXPECT_EQ(dlg->Messages(), QStringList({"Le fichier est occupé", "plain", "depuis une minuterie"}));
  for (const auto& a : dlg->Asked()) EXPECT_EQ(a.type, MsgDlgType::Error);
}

TEST(ApplicationLoop, QtsOwnDialogsSpeakFrench) {
  QFileDialog chooser(nullptr, "Ouvrir");
  chooser.setOption(QFileDialog::DontUseNativeDialog);
  auto* lookIn = chooser.findChild<QLabel*>("lookInLabel");
  ASSERT_NE(lookIn, nullptr);
  EXPECT_EQ(lookIn->text(), "Voir dans :");
  auto* buttons = chooser.findChild<QDialogButtonBox*>("buttonBox");
  ASSERT_NE(buttons, nullptr);
  EXPECT_EQ(buttons->button(QDialogButtonBox::Cancel)->text(), "Annuler");
}

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  TApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
