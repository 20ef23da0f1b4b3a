#include "maintenance/Register.h"

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

TfrmMain::Opener SaveRestoreOpener(bool save) {
  return [save] {
    TfrmSaveRestore* w = nullptr;
    GuardEvent([&] { w = new TfrmSaveRestore(nullptr); });
    if (!w) return;
    save ? SetSaveMode(w) : SetRestoreMode(w);
    Dialogs().RunModal(w);
    delete w;
  };
}

const bool registered = (RegisterMaintenanceWindows(), true);

}  // namespace

void RegisterMaintenanceWindows() {
  TfrmMain::RegisterWindow(WindowKey::Sauvegarde, SaveRestoreOpener(true));
  TfrmMain::RegisterWindow(WindowKey::Restaure, SaveRestoreOpener(false));
  TfrmMain::RegisterWindow(WindowKey::Reindex, [] { Reindex(ApplicationCheck(), DataPath); });
  TfrmMain::RegisterWindow(WindowKey::Epur, [] {
    TfrmEpur* w = nullptr;
    GuardEvent([&] { w = new TfrmEpur(nullptr); });
    if (!w) return;
    Dialogs().RunModal(w);
    delete w;
  });
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
