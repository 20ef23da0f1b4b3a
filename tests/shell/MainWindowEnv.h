// A main window's surroundings for a test: a program folder of its own, its own registry, and
// (unless the real ones are wanted) no table creation and no structure check at start; all put
// back when the test ends, whichever way it ends.
#pragma once
#include <QByteArray>
#include <QString>
#include <functional>

#include "shell/UMain.h"
#include "support/TestSupport.h"

class MainWindowEnv {
 public:
  explicit MainWindowEnv(bool realStartChecks = false)
      : oldRegistry_(qgetenv("ZELM_REGISTRY_DIR")),
        createTables_(TfrmMain::CreateTablesHook),
        databaseCheck_(TfrmMain::DatabaseCheckHook) {
    TfrmMain::ExeNameOverride = app.File("zelm");
    qputenv("ZELM_REGISTRY_DIR", app.File("registry").toUtf8());
    if (!realStartChecks) {
      TfrmMain::CreateTablesHook = nullptr;
      TfrmMain::DatabaseCheckHook = nullptr;
    }
  }
  ~MainWindowEnv() {
    TfrmMain::CreateTablesHook = createTables_;
    TfrmMain::DatabaseCheckHook = databaseCheck_;
    TfrmMain::ExeNameOverride.clear();
    qputenv("ZELM_REGISTRY_DIR", oldRegistry_);
  }
  MainWindowEnv(const MainWindowEnv&) = delete;
  MainWindowEnv& operator=(const MainWindowEnv&) = delete;

  TempDir app;

 private:
  QByteArray oldRegistry_;
  std::function<void(const QString&)> createTables_, databaseCheck_;
};
