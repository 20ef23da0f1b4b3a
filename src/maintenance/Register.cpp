#include "maintenance/Register.h"

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

namespace {
const bool registered = (RegisterMaintenanceWindows(), true);

}  // namespace

void RegisterMaintenanceWindows() {
  TfrmMain::InterruptedRestoreHook = FinishInterruptedRestore;
  TfrmMain::RegisterWindow(WindowKey::Sauvegarde, TfrmMain::ModalOpener<TfrmSaveRestore>(SetSaveMode));
  TfrmMain::RegisterWindow(WindowKey::Restaure, TfrmMain::ModalOpener<TfrmSaveRestore>(SetRestoreMode));
  TfrmMain::RegisterWindow(WindowKey::Reindex, [] { Reindex(ApplicationCheck(), DataPath); });
  TfrmMain::RegisterWindow(WindowKey::Epur, TfrmMain::ModalOpener<TfrmEpur>());
  TfrmMain::RegisterWindow(WindowKey::AutoSave, [] {
    auto* w = new TfrmAutoSave(nullptr);
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
