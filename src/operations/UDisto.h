// The per-client takings window: the clients on the left, the shown day's takings of the current
// client beside them, with the passes that create the day's missing rows, import another day and
// delete a day.
#pragma once
#include <QCheckBox>
#include <QDate>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>
#include <functional>

#include "platform/db/Table.h"
#include "platform/ui/DBCtrls.h"
#include "platform/ui/DBGrids.h"
#include "platform/ui/DataSource.h"
#include "operations/OpsCommon.h"
#include "shell/AppForm.h"

class TfrmDisto : public TDayForm {
  Q_OBJECT
 public:
  explicit TfrmDisto(QWidget* parent = nullptr);
  ~TfrmDisto() override;

  QDate CurrentDay;

  TTable Disto, lkpDisto, Client, Titre, Region1;
  TDataSource dsDisto, dsClient, dsTitre, dsRegion1;

  QWidget *pnlButtons, *Panel2;
  QPushButton *btnLoad, *btnDelete, *btnPrint, *btnMenu, *btnFermer;
  QToolButton *btnPrev, *btnNext;
  QLabel *lDay, *pnlDate;
  TDBGrid *grdClient, *grdDisto;
  QLineEdit *rCode, *rNom;
  TDBLookupComboBox* cmbRegion1;
  QCheckBox* chkTout;
  QStatusBar* stBar;
  QMenu* menuDisto;
  QAction *mnLoad, *mnInsert, *mnDelete, *mnPrint;

  void FormCreate();
  void ShowDay();
  void btnPrevClick() override;
  void btnNextClick() override;
  void pnlDateDblClick();
  void grdDistoColEnter();
  void btnLoadClick();
  // Creates the shown day's missing rows (quantity 0, net unit price) of one client, or of every
  // client of the list when the code is empty.
  void LoadNullPrises(const QString& client);
  void mnInsertClick();
  void ImportPrises(const QString& client, const QDate& sourceDay);
  void mnDeleteClick();
  void DeletePrises(const QString& client, const QDate& day);
  void btnMenuClick() override;
  void mnPrintClick();
  void rCodeChange();
  void rNomChange();
  void grdClientTitleClick(TColumn& column);
  void chkToutClick() override;
  void cmbRegion1CloseUp();
  // The current client's code; empty when the list is empty.
  QString CurrentClient();

 protected:
  void FormClose() override;
  bool eventFilter(QObject* o, QEvent* e) override;

 private:
  // Runs a pass: hourglass, bound controls suspended, then back on the quantity of the first row.
  void Pass(const std::function<void()>& body);
  void SetDay(const QDate& d);
  bool allowInsert_ = false;
};
