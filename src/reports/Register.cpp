#include "reports/Register.h"

#include "reports/UPrint.h"
#include "shell/UMain.h"

void RegisterReportWindows() {
  TfrmMain::RegisterWindow(WindowKey::Print, [] { OpenPrintChooser(); },
                           {"mnFichier", 4, 1, "mnImprimer", "&Imprimer", 110});
}
