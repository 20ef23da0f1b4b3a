// The titles window: newspapers and periodicals with order, colour, prices, periodicity, site
// and printing house. It keeps the order number copied into the titles-per-region rows.
#pragma once
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "platform/db/Query.h"
#include "refdata/RecordForm.h"

class TfrmTitres : public TRecordForm {
  Q_OBJECT
 public:
  explicit TfrmTitres(QWidget* parent = nullptr);
  ~TfrmTitres() override;

  // A stored title and the copy of its order number in the regions' distribution are written
  // in one transaction: InPost runs inside the store, after the row is written, and a failure
  // there takes the row back.
  class TTitreTable : public TTable {
   public:
    std::function<void()> InPost;

   protected:
    void DoPost(Record& rec, bool inserting, const std::vector<bool>& changed) override;
  };
  TTitreTable Titre;
  TTable Site, Imprim, Imprim1;
  TQuery myQuery;
  TDataSource dsTitre, dsSite, dsImprim, dsImprim1;

  TDBGrid* grdTitre;
  TDBLookupComboBox* cmbImp;
  TDBEdit *edCode, *edOrd, *edTitre, *edDiminutif, *edColor, *edPha, *edPrix;
  QComboBox* cmbPeriode;
  TDBLookupComboBox *cmbSite, *cmbImprim;
  QPushButton* btnAv;
  TShapeCircle* myShape;

  void FormCreate();
  void dsTitreDataChange();
  void TitreAfterScroll();
  void cmbPeriodeChange();
  void btnAddClick();
  void btnDeleteClick();
  void btnCancelClick();
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
