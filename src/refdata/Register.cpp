#include "refdata/Register.h"

#include "refdata/UClient.h"
#include "refdata/UImprim.h"
#include "refdata/UListe.h"
#include "refdata/UOrgaD.h"
#include "refdata/URegion.h"
#include "refdata/USite.h"
#include "refdata/UTitres.h"
#include "shell/UMain.h"

void RegisterRefDataWindows() {
  using W = TfrmMain;
  W::RegisterWindow(WindowKey::Client, W::ModalOpener<TfrmClient>(), {"mnFichier", 1, 1, "mnClients", "&Clients", 105});
  W::RegisterWindow(WindowKey::Titres, W::ModalOpener<TfrmTitres>(), {"mnFichier", 1, 2, "mnTitres", "Titres", 107});
  W::RegisterWindow(WindowKey::Liste, W::ModalOpener<TfrmListe>(),
                    {"mnFichier", 2, 1, "mnListes", "Gestion des Listes"});
  W::RegisterWindow(WindowKey::OrgaD, W::ModalOpener<TfrmOrgaD>(),
                    {"mnFichier", 2, 2, "mnOrgaD", "Distribution des titres par Region"});
  // The code tables.
  W::RegisterWindow(WindowKey::Region, W::ModalOpener<TfrmRegion>(), {"mnFichier", 3, 1, "mnRegions", "Régions"});
  W::RegisterWindow(WindowKey::Site, W::ModalOpener<TfrmSite>(), {"mnFichier", 3, 2, "mnSites", "Sites"});
  W::RegisterWindow(WindowKey::Imprim, W::ModalOpener<TfrmImprim>(),
                    {"mnFichier", 3, 3, "mnImprimeries", "Imprimeries"});
}
