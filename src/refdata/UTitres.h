// The titles window: newspapers and periodicals with order, colour, prices, periodicity, site
// and printing house. It keeps the order number copied into the titles-per-region rows.
#pragma once
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "platform/db/Query.h"
#include "platform/db/Table.h"
#include "platform/ui/DBCtrls.h"
#include "platform/ui/DBGrids.h"
#include "platform/ui/DataSource.h"
#include "refdata/RefCommon.h"

class TfrmTitres : public TRefForm {
  Q_OBJECT
 public:
  explicit TfrmTitres(QWidget* parent = nullptr);
  ~TfrmTitres() override;

  TTable Titre, Site, Imprim, Imprim1;
  TQuery myQuery;
  TDataSource dsTitre, dsSite, dsImprim, dsImprim1;

  QWidget *Panel3, *Panel1, *Panel2;
  TDBNavigator* MyNavigator;
  QPushButton *btnAdd, *btnDelete, *btnPost, *btnCancel, *btnClose;
  TDBGrid* grdTitre;
  TDBLookupComboBox* cmbImp;
  QCheckBox* chkTout;
  TDBEdit *edCode, *edOrd, *edTitre, *edDiminutif, *edColor, *edPha, *edPrix;
  QComboBox* cmbPeriode;
  TDBLookupComboBox *cmbSite, *cmbImprim;
  QPushButton* btnAv;
  TShapeCircle* myShape;
  TPanelStatusBar* stBar;

  void FormCreate();
  void UpdateButtons();
  void dsTitreDataChange();
  void TitreAfterScroll();
  void cmbPeriodeChange();
  void btnAddClick();
  void btnDeleteClick();
  void btnPostClick();
  void btnCancelClick();
  void btnCloseClick();
  void btnAvClick();
  void chkToutClick();
  void cmbImpCloseUp();
  void edCodeKeyPress(QWidget* sender, QChar& key);
  void TitreBeforePost();
  void TitreAfterPost();
  void grdTitreDrawColumnCell(TDBGrid* grid, const QRect& rect, int dataCol, TColumn& column, TGridDrawState state);

 protected:
  void FormClose() override;
  bool eventFilter(QObject* o, QEvent* e) override;

 private:
  void NewTitle(bool append);
};
