#include "app/Composition.h"

#include "maintenance/Register.h"
#include "operations/RegisterTakings.h"
#include "operations/RegisterWeekly.h"
#include "refdata/Register.h"
#include "reports/Register.h"

void ComposeApplication() {
  RegisterRefDataWindows();      // clients, titles, lists, titles per region, code tables
  RegisterTakingsWindows();      // takings, per-client takings
  RegisterWeeklyWindows();       // returns, payments, purchases
  RegisterReportWindows();       // report chooser
  RegisterMaintenanceWindows();  // backup, restore, reindexing, purge, backup at exit, restore finished at start
}
