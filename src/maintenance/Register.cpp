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
  TfrmMain::RegisterWindow(WindowKey::Sauvegarde, TfrmMain::ModalOpener<TfrmSaveRestore>(SetSaveMode));
  TfrmMain::RegisterWindow(WindowKey::Restaure, TfrmMain::ModalOpener<TfrmSaveRestore>(SetRestoreMode));
  TfrmMain::RegisterWindow(WindowKey::Reindex, [] { Reindex(ApplicationCheck(), DataPath); });
  TfrmMain::RegisterWindow(WindowKey::Epur, TfrmMain::ModalOpener<TfrmEpur>());
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
