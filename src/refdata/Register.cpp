#include "refdata/Register.h"

#include "platform/ui/Dialogs.h"
#include "refdata/UClient.h"
#include "refdata/UImprim.h"
#include "refdata/UListe.h"
#include "refdata/UOrgaD.h"
#include "refdata/URegion.h"
#include "refdata/USite.h"
#include "refdata/UTitres.h"
#include "shell/UMain.h"

namespace {
// Creates the window, shows it modally and frees it.
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

const bool registered = (RegisterRefDataWindows(), true);
}  // namespace

void RegisterRefDataWindows() {
  TfrmMain::RegisterWindow(WindowKey::Region, ModalOpener<TfrmRegion>());
  TfrmMain::RegisterWindow(WindowKey::Site, ModalOpener<TfrmSite>());
  TfrmMain::RegisterWindow(WindowKey::Imprim, ModalOpener<TfrmImprim>());
  TfrmMain::RegisterWindow(WindowKey::Client, ModalOpener<TfrmClient>());
  TfrmMain::RegisterWindow(WindowKey::Titres, ModalOpener<TfrmTitres>());
  TfrmMain::RegisterWindow(WindowKey::OrgaD, ModalOpener<TfrmOrgaD>());
  TfrmMain::RegisterWindow(WindowKey::Liste, ModalOpener<TfrmListe>());
}
