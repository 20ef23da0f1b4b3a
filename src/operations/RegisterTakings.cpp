// The takings windows offered by the main window: "Saisie des Prises" (and its tool button) and
// the per-client entry, whose menu item stays disabled.
#include "operations/RegisterTakings.h"
#include "operations/UDisto.h"
#include "operations/UDisto1.h"
#include "shell/UMain.h"

void RegisterTakingsWindows() {
  TfrmMain::RegisterWindow(WindowKey::Disto1, TfrmMain::ModalOpener<TfrmDisto1>());
  TfrmMain::RegisterWindow(WindowKey::Disto, TfrmMain::ModalOpener<TfrmDisto>());
}
