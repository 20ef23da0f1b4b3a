// The weekly windows offered by the main window: unsold returns, payments and purchases.
#include "operations/RegisterWeekly.h"
#include "operations/UHa.h"
#include "operations/UListVCR.h"
#include "operations/URetour.h"
#include "shell/UMain.h"

void RegisterWeeklyWindows() {
  TfrmMain::RegisterWindow(WindowKey::Retour, TfrmMain::ModalOpener<TfrmRetour>());
  TfrmMain::RegisterWindow(WindowKey::ListVCR, TfrmMain::ModalOpener<TfrmListVCR>());
  TfrmMain::RegisterWindow(WindowKey::Ha, TfrmMain::ModalOpener<TfrmHa>());
}
