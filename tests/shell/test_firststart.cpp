// The first start and the check entry with the real structure check and table engine.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QPointer>

#include "platform/sys/Files.h"
#include "schema/AppSchema.h"
#include "schema/Descriptor.h"
#include "shell/UMain.h"
#include "shell/global.h"
#include "support/TestSupport.h"
#include "MainWindowEnv.h"


TEST(FirstStart, AnEmptyFolderGetsTheDataFolderWithEveryTable) {
  MainWindowEnv env(/*realStartChecks=*/true);
  TempDir& app = env.app;
  ScopedDialogs dlg;
  QPointer<TfrmMain> frm = new TfrmMain(nullptr);
  EXPECT_TRUE(dlg->Asked().empty());
  const QStringList tables = DescriptorTables(ApplicationDescriptor());
  EXPECT_FALSE(tables.isEmpty());
  for (const QString& t : tables) EXPECT_TRUE(FileExists(app.File("Data/") + t)) << t.toStdString();

  frm->mnControle->trigger();
  EXPECT_EQ(dlg->Messages(), QStringList({"Contrôle terminé !"}));

  dlg->QueueAnswer(ModalResult::No);
  frm->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

