// The weekly windows offered by the main window: unsold returns, payments and purchases.
#include "operations/UHa.h"
#include "operations/UListVCR.h"
#include "operations/URetour.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/EventGuard.h"
#include "shell/UMain.h"

namespace {
template <class W>
TfrmMain::Opener ModalOpener() {
  return [] {
    W* w = nullptr;
    GuardEvent([&] { w = new W(nullptr); });
    if (!w) return;
    Dialogs().RunModal(w);
    delete w;
  };
}

const bool registered = (TfrmMain::RegisterWindow(WindowKey::Retour, ModalOpener<TfrmRetour>()),
                         TfrmMain::RegisterWindow(WindowKey::ListVCR, ModalOpener<TfrmListVCR>()),
                         TfrmMain::RegisterWindow(WindowKey::Ha, ModalOpener<TfrmHa>()), true);
}  // namespace

// Referenced by the tests, so that this object is linked with them as with the program.
bool WeeklyWindowsRegistered() { return registered; }
