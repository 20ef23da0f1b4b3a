// The takings windows offered by the main window: "Saisie des Prises" (and its tool button) and
// the per-client entry, whose menu item stays disabled.
#include "operations/RegisterTakings.h"
#include "operations/UDisto.h"
#include "operations/UDisto1.h"
#include "platform/ui/Dialogs.h"
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

const bool registered = (RegisterTakingsWindows(), true);
}  // namespace

void RegisterTakingsWindows() {
  TfrmMain::RegisterWindow(WindowKey::Disto1, ModalOpener<TfrmDisto1>());
  TfrmMain::RegisterWindow(WindowKey::Disto, ModalOpener<TfrmDisto>());
}
