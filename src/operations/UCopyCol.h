// Choice of a title column of the takings grid to copy onto another.
#pragma once
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "shell/AppForm.h"

class TfrmCopyCol : public TAppForm {
  Q_OBJECT
 public:
  explicit TfrmCopyCol(QWidget* parent = nullptr);

  QLabel *Label1, *Label2;
  QComboBox *cmbColSource, *cmbColCible;
  QPushButton *btnOk, *BitBtn2;
  TPanelStatusBar* stBar;

  // Both lists take the titles in grid order; the source selects the first, the target none.
  void SetTitles(const QStringList& titles);
  void cmbColCibleChange();
  void btnOkClick();

 protected:
  void EscapePressed() override { BitBtn2->click(); }
};
