// The weekly windows offered by the main window: unsold returns, payments and purchases.
#include "operations/UHa.h"
#include "operations/UListVCR.h"
#include "operations/URetour.h"
#include "shell/UMain.h"

namespace {
const bool registered = (TfrmMain::RegisterWindow(WindowKey::Retour, TfrmMain::ModalOpener<TfrmRetour>()),
                         TfrmMain::RegisterWindow(WindowKey::ListVCR, TfrmMain::ModalOpener<TfrmListVCR>()),
                         TfrmMain::RegisterWindow(WindowKey::Ha, TfrmMain::ModalOpener<TfrmHa>()), true);
}  // namespace

// Referenced by the tests, so that this object is linked with them as with the program.
bool WeeklyWindowsRegistered() { return registered; }
