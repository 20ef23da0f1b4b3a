// Issue numbering: the current issue number of every periodical, typed or moved up and down
// by one for all at once.
#pragma once
#include <QPushButton>
#include <QStatusBar>

#include "platform/db/Table.h"
#include "platform/ui/DBGrids.h"
#include "platform/ui/DataSource.h"
#include "shell/AppForm.h"

class TfrmNumTitre : public TAppForm {
  Q_OBJECT
 public:
  explicit TfrmNumTitre(QWidget* parent = nullptr);
  ~TfrmNumTitre() override;

  TTable Titre;
  TDataSource dsTitre;
  TDBGrid* grdTitre;
  QPushButton *btnPlus, *btnMinus, *btnClose;
  QStatusBar* StatusBar1;

  void FormCreate();
  void btnPlusClick();
  void btnMinusClick();

 protected:
  void FormClose() override;

 private:
  void Renumber(int delta);
};
