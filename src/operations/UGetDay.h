// The day-and-titles dialog: a day that has takings, the current client or all clients, and the
// titles to take. The creator reads cmbDay, cmbClient and SelectedTitles after it closes.
#pragma once
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "platform/db/Query.h"
#include "refdata/RefCommon.h"

class TGradient;

class TfrmGetDay : public TRefForm {
  Q_OBJECT
 public:
  explicit TfrmGetDay(QWidget* parent = nullptr);

  // A day ("DD/MM/YYYY") the day list leaves out; set before showing.
  QString ExcludedDay;

  TGradient* Gradient1;
  QLabel *lKind, *Label2, *lDay, *Label3;
  QComboBox *cmbDay, *cmbClient;
  QListWidget* lstTitle;
  QPushButton *btnSelectAll, *BtnInvertSel, *btnOk, *BitBtn2;
  TPanelStatusBar* stBar;
  TQuery QDate, qTitle;

  void FormShow();
  void cmbDayChange();
  void btnSelectAllClick();
  void BtnInvertSelClick();
  // Fills SelectedTitles with the ticked codes after OK, leaves it empty otherwise.
  void FillSelectedTitles(bool ok);

 protected:
  void showEvent(QShowEvent* e) override;
  void done(int r) override;
  void EscapePressed() override { BitBtn2->click(); }

 private:
  bool shown_ = false;
};
