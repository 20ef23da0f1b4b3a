#include "reports/Register.h"

#include "reports/UPrint.h"
#include "shell/UMain.h"

namespace {
const bool registered = (RegisterReportWindows(), true);
}  // namespace

void RegisterReportWindows() { TfrmMain::RegisterWindow(WindowKey::Print, [] { OpenPrintChooser(); }); }
