// The takings windows offered by the main window: "Saisie des Prises" (and its tool button) and
// the per-client entry, whose menu item stays disabled.
#include "operations/RegisterTakings.h"
#include "operations/UDisto.h"
#include "operations/UDisto1.h"
#include "shell/UMain.h"

void RegisterTakingsWindows() {
  using W = TfrmMain;
  W::RegisterWindow(WindowKey::Disto1, W::ModalOpener<TfrmDisto1>(),
                    {"mnTraitements", 1, 1, "mnPrises", "Saisie des Prises"});
  W::RegisterWindow(WindowKey::Disto, W::ModalOpener<TfrmDisto>(),
                    {"mnTraitements", 1, 2, "mnPrisesClient", "Saisie des prises par client", 0, {}, false});
}
