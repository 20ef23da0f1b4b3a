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
  TfrmMain::RegisterWindow(WindowKey::Region, TfrmMain::ModalOpener<TfrmRegion>());
  TfrmMain::RegisterWindow(WindowKey::Site, TfrmMain::ModalOpener<TfrmSite>());
  TfrmMain::RegisterWindow(WindowKey::Imprim, TfrmMain::ModalOpener<TfrmImprim>());
  TfrmMain::RegisterWindow(WindowKey::Client, TfrmMain::ModalOpener<TfrmClient>());
  TfrmMain::RegisterWindow(WindowKey::Titres, TfrmMain::ModalOpener<TfrmTitres>());
  TfrmMain::RegisterWindow(WindowKey::OrgaD, TfrmMain::ModalOpener<TfrmOrgaD>());
  TfrmMain::RegisterWindow(WindowKey::Liste, TfrmMain::ModalOpener<TfrmListe>());
}
