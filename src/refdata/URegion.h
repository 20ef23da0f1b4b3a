// The window that keeps the regions (delivery routes).
#pragma once
#include "refdata/UCodeTable.h"

class TfrmRegion : public TfrmCodeTable {
  Q_OBJECT
 public:
  explicit TfrmRegion(QWidget* parent = nullptr)
      : TfrmCodeTable(parent, "Saisie des Regions", "Region.db", "Région") {
    setObjectName("frmRegion");
  }
  TTable& Region = Table;
  TDataSource& dsRegion = dsTable;
};
