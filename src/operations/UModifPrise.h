// Correction, day by day, of what one client took of one title during one week; the opener
// narrows the takings to them by a filter.
#pragma once
#include <QPushButton>

#include "platform/db/Table.h"
#include "platform/ui/DBGrids.h"
#include "platform/ui/DataSource.h"
#include "shell/AppForm.h"

class TGradient;

class TfrmModifPrise : public TAppForm {
  Q_OBJECT
 public:
  explicit TfrmModifPrise(QWidget* parent = nullptr);
  ~TfrmModifPrise() override;

  TTable Disto;
  TDataSource dsDisto;
  TDBGrid* DBGrid1;
  QPushButton* BitBtn1;
  TGradient* Gradient1;

  void FormCreate();
  // A typed quantity is a whole number, not negative, within the field; else the row stays in edit.
  void DistoBeforePost();

 protected:
  void FormClose() override;
  void EscapePressed() override { Close(); }
};
