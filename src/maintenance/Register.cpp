#include "maintenance/Register.h"

#include <QApplication>

#include "maintenance/MaintCommon.h"

#include "maintenance/UAutoSave.h"
#include "maintenance/UEpur.h"
#include "maintenance/UReindex.h"
#include "maintenance/USaveRestore.h"
#include "platform/ui/Cursor.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/EventGuard.h"
#include "schema/AppSchema.h"
#include "shell/UMain.h"
#include "shell/global.h"

void RegisterMaintenanceWindows() {
  TfrmMain::InterruptedRestoreHook = [](const QString&) { RemoveRestoreLeftovers(); };
  TfrmMain::BackupLeftoversHook = TfrmAutoSave::RemoveLeftovers;
  using W = TfrmMain;
  W::RegisterWindow(WindowKey::Sauvegarde, W::ModalOpener<TfrmSaveRestore>(SetSaveMode),
                    {"mnOutils", 1, 1, "mnSauvegarder", "Sauvegarder", 115});
  W::RegisterWindow(WindowKey::Restaure, W::ModalOpener<TfrmSaveRestore>(SetRestoreMode),
                    {"mnOutils", 1, 2, "mnRestaurer", "Restaurer"});
  W::RegisterWindow(WindowKey::Reindex, [] { Reindex(ApplicationCheck(), DataPath); },
                    {"mnOutils", 2, 1, "mnReindexation", "Réindexation", 113});
  W::RegisterWindow(WindowKey::Epur, W::ModalOpener<TfrmEpur>(),
                    {"mnOutils", 3, 1, "mnEpuration", "Epuration des fichiers", 111});
  TfrmMain::RegisterWindow(WindowKey::AutoSave, [] {
    // Its owner is the main window, which it stands in the middle of.
    TfrmMain* owner = nullptr;
    for (QWidget* t : QApplication::topLevelWidgets())
      if (auto* m = qobject_cast<TfrmMain*>(t); m && (!owner || (m->isVisible() && !owner->isVisible()))) owner = m;
    auto* w = new TfrmAutoSave(owner);
    w->show();
    try {
      w->DoAutoSave();
    } catch (...) {
      delete w;
      ProcessMessages();
      throw;
    }
    ProcessMessages();
    delete w;
    ProcessMessages();
  });
}
