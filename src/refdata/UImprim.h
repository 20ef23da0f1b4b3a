// The window that keeps the printing houses.
#pragma once
#include "refdata/UCodeTable.h"

class TfrmImprim : public TfrmCodeTable {
  Q_OBJECT
 public:
  explicit TfrmImprim(QWidget* parent = nullptr)
      : TfrmCodeTable(parent, "Saisie des Imprimeries", "Imprimerie.db", "Imprimerie") {
    setObjectName("frmImprim");
  }
  TTable& Imprim = Table;
  TDataSource& dsImprim = dsTable;
};
