// The clients window: the points of sale with their delivery order, region, site and rebates.
#pragma once
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "platform/db/Table.h"
#include "platform/ui/DBCtrls.h"
#include "platform/ui/DBGrids.h"
#include "platform/ui/DataSource.h"
#include "refdata/RefCommon.h"

class TfrmClient : public TRefForm {
  Q_OBJECT
 public:
  explicit TfrmClient(QWidget* parent = nullptr);
  ~TfrmClient() override;

  TTable Client, Region, Site, Region1;
  TDataSource dsClient, dsRegion, dsSite, dsRegion1;

  QWidget *Panel3, *Panel1, *Panel2;
  TDBNavigator* MyNavigator;
  QPushButton *btnAdd, *btnDelete, *btnPost, *btnCancel, *btnClose;
  QCheckBox* chkTri;
  QLabel* Label17;
  TDBGrid* DBGrid1;
  QLineEdit *rCode, *rNom;
  TDBLookupComboBox* cmbRegion1;
  QCheckBox* chkTout;
  TDBEdit *edCode, *edOrd, *edRs, *edAdr, *DBEdit5, *DBEdit6;
  TDBLookupComboBox *cmbRegion, *cmbSite;
  QGroupBox* GroupAb;
  TDBEdit *edAb0, *edab1, *edAb2, *edAb3, *edab4, *edab5;
  QPushButton *BitBtn1, *BitBtn2;
  TPanelStatusBar* stBar;

  void FormCreate();
  void FormShow();
  void UpdateButtons();
  void dsClientDataChange();
  void btnAddClick();
  void btnDeleteClick();
  void btnPostClick();
  void btnCancelClick();
  void btnCloseClick();
  void rCodeChange();
  void rNomChange();
  void chkTriClick();
  void chkToutClick();
  void cmbRegion1CloseUp();
  void BitBtn1Click();
  void BitBtn2Click();
  void edCodeKeyPress(QWidget* sender, QChar& key);
  void ClientBeforePost();
  void DBGrid1DrawColumnCell(TDBGrid* grid, const QRect& rect, int dataCol, TColumn& column, TGridDrawState state);

 protected:
  void FormClose() override;
  void showEvent(QShowEvent* e) override;
  bool eventFilter(QObject* o, QEvent* e) override;

 private:
  bool shown_ = false;
};
