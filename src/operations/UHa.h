// The purchases of one day: how many copies of each title were bought and at which unit price,
// with the totals of the day and of its week.
#pragma once
#include <QDate>
#include <QLabel>
#include <QPushButton>

#include "controls/Gradient.h"
#include "controls/VxLabel.h"
#include "platform/db/Query.h"
#include "platform/db/Table.h"
#include "platform/ui/DBGrids.h"
#include "platform/ui/DataSource.h"
#include "shell/AppForm.h"

class TfrmHa : public TAppForm {
  Q_OBJECT
 public:
  explicit TfrmHa(QWidget* parent = nullptr);
  ~TfrmHa() override;

  QDate Day;  // the day shown

  TTable HA, lkpHa, Titre;
  TQuery myQuery;
  TDataSource dsHa;

  TGradient *Gradient1, *Gradient2;
  TDBGrid* DBGrid1;
  QLabel *pnlDate, *lDay;
  QPushButton *btnPrev, *btnNext, *btnInsert, *btnDelete, *btnClose;
  TVxLabel *lTotaux, *lJour, *lTotDay, *lDu, *lAu, *lTotWeek;
  TPanelStatusBar* stBar;

  void FormCreate();
  void ShowDay(const QDate& day);
  void CalcTotals();
  void UpdateButtons();
  int ProposedQuantity(const QString& title);
  void btnPrevClick();
  void btnNextClick();
  void pnlDateClick();
  void btnInsertClick();
  void btnDeleteClick();
  void HABeforePost();

 protected:
  void FormClose() override;
  bool eventFilter(QObject* o, QEvent* e) override;

 private:
  bool inserting_ = false;  // "&Insérer" adds rows; the grid may not
};
