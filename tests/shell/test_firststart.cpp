// The first start and the check entry with the real structure check and table engine.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QPointer>

#include "platform/sys/Files.h"
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
  for (const char* t : {"CLIENT.DB", "Titre.DB", "Region.db", "Site.DB", "IMPRIMERIE.DB", "Disto.DB", "Ha.DB",
                        "Retour.DB", "VCR.DB", "OrgaD.DB", "TLISTE.DB", "Liste.DB"})
    EXPECT_TRUE(FileExists(app.File("Data/") + t)) << t;

  frm->mnControle->trigger();
  EXPECT_EQ(dlg->Messages(), QStringList({"Contrôle terminé !"}));

  dlg->QueueAnswer(ModalResult::No);
  frm->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

