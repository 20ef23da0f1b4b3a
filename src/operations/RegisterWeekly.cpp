// The weekly windows offered by the main window: unsold returns, payments and purchases.
#include "operations/RegisterWeekly.h"
#include "operations/UHa.h"
#include "operations/UListVCR.h"
#include "operations/URetour.h"
#include "shell/UMain.h"

void RegisterWeeklyWindows() {
  using W = TfrmMain;
  W::RegisterWindow(WindowKey::Retour, W::ModalOpener<TfrmRetour>(),
                    {"mnTraitements", 2, 1, "mnInvendus", "Saisie des Invendus"});
  W::RegisterWindow(WindowKey::ListVCR, W::ModalOpener<TfrmListVCR>(),
                    {"mnTraitements", 2, 2, "mnVersements", "Saisie des Versements"});
  W::RegisterWindow(WindowKey::Ha, W::ModalOpener<TfrmHa>(), {"mnTraitements", 3, 1, "mnAchats", "Saisie des Achats"});
}
