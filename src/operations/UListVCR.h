// The payments of one week and one region: each client's amount, typed in the grid and stored
// as soon as it is confirmed, and their total.
#pragma once
#include <QComboBox>
#include <QDate>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>

#include "controls/VxLabel.h"
#include "platform/db/Query.h"
#include "platform/ui/DBCtrls.h"
#include "platform/ui/DataSource.h"
#include "platform/ui/Grids.h"
#include "shell/AppForm.h"

class TfrmListVCR : public TAppForm {
  Q_OBJECT
 public:
  explicit TfrmListVCR(QWidget* parent = nullptr);
  ~TfrmListVCR() override;

  // A digit or a point was typed into an amount cell since the last save attempt or loading.
  bool AmountTyped = false;

  TQuery qRegion, qVCR, qLkpVCR, myQuery;
  TDataSource dsRegion;

  TStringGrid* grdVCR;
  QPushButton* btnMenu;
  QLabel *Label1, *lblDu, *Label2;
  TDBLookupComboBox* cmbRegion;
  QComboBox* cmbWeek;
  TVxLabel* lTot;
  QPushButton* BitBtn1;
  QStatusBar* stBar;

  void FormCreate();
  void FormShow();
  void LoadVCRGrid();
  // Stores the amount of the current cell; false when it was refused (the cursor stays).
  bool SaveAmount();
  void CalcTotal();
  void cmbRegionCloseUp();
  void cmbWeekChange();
  void grdVCRSelectCell(int col, int row, bool& canSelect);
  void grdVCRKeyPress(QChar& key);
  void grdVCRDrawCell(TStringGrid* g, int col, int row, const QRect& rect, TGridDrawState state);

 protected:
  void FormClose() override;
  void EscapePressed() override {}

 private:
  int loadedWeek_ = -1;      // index of cmbWeek the grid shows
  QVariant loadedRegion_;    // key of the region the grid shows
};
