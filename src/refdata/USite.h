// The window that keeps the sites.
#pragma once
#include "refdata/UCodeTable.h"

class TfrmSite : public TfrmCodeTable {
  Q_OBJECT
 public:
  explicit TfrmSite(QWidget* parent = nullptr)
      : TfrmCodeTable(parent, "Saisie des Sites", "Site.DB", "Site") {
    setObjectName("frmSite");
  }
  TTable& Site = Table;
  TDataSource& dsSite = dsTable;
};
