// The numbered lists: ordered choices of at most fifteen titles for one region, with a heading,
// edited one list at a time.
#pragma once
#include <functional>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSet>
#include <QToolButton>

#include "platform/db/Query.h"
#include "platform/db/Table.h"
#include "platform/ui/DBCtrls.h"
#include "platform/ui/DBGrids.h"
#include "platform/ui/DataSource.h"
#include "platform/ui/Grids.h"
#include "shell/AppForm.h"

#if __has_include("controls/QVNumEdit.h")
#include "controls/QVNumEdit.h"
using TListNumberEdit = TQVNumEdit;
#else
// The list number box until the numeric edit control is there.
class TListNumberEdit : public QLineEdit {
 public:
  using QLineEdit::QLineEdit;
  long double Value() const { return text().trimmed().toDouble(); }
  void SetValue(long double v) { setText(QString::number(double(v))); }
  std::function<void(QObject*, QChar&)> OnKeyPress;
  std::function<void(QObject*)> OnExit;

 protected:
  void keyPressEvent(QKeyEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;
};
#endif

class TfrmListe : public TAppForm {
  Q_OBJECT
 public:
  explicit TfrmListe(QWidget* parent = nullptr);
  ~TfrmListe() override;

  int MaxListTitles = 15;
  // List numbers live in a 16-bit field of the lists table.
  static constexpr int LastListNo = 32767;
  int RowsInList = 0;

  TQuery qTitre, qListe, qRegion;
  TTable TLISTE;
  TDataSource dsTitre, dsListe, dsRegion;

  QLabel* Label1;
  TListNumberEdit* edNoListe;
  QToolButton *btnP, *btnN;
  QLineEdit* edTitre;
  TDBLookupComboBox* cmbRegion;
  TDBGrid* grdTitre;
  TStringGrid* grdListe;
  QPushButton *btnAdd, *btnRetire, *btnRetireAll, *btnSave, *btnCancel, *btnMenu, *btnClose;
  QMenu* PopMenu;
  QAction *mnSave, *mnCancel, *mnNext, *mnPrev, *mnSaveTitle, *mnAdd, *mnRetire, *mnRetireAll, *mnPrint, *mnClose;
  TPanelStatusBar* stBar;

  void FormCreate();
  void LoadListe();
  void ToggleLock();
  void UpdateListButtons();
  void dsTitreDataChange();
  void qTitreFilterRecord(TDataSet& ds, bool& accept);
  void btnAddClick();
  void btnRetireClick();
  void btnRetireAllClick();
  void btnSaveClick();
  void btnCancelClick();
  void grdListeRowMoved(int fromIndex, int toIndex);
  void cmbRegionCloseUp();
  void mnSaveTitleClick();
  void btnNClick();
  void btnPClick();
  void edNoListeExit();
  void btnMenuClick();
  void grdListeDrawColumnCell(TDBGrid* grid, const QRect& rect, int dataCol, TColumn& column, TGridDrawState state);
  void grdListeDrawCell(TStringGrid* grid, int col, int row, const QRect& rect, TGridDrawState state);
  bool Locked() const { return !grdTitre->isEnabled(); }

 protected:
  void FormClose() override;
  void EscapePressed() override;
  bool eventFilter(QObject* o, QEvent* e) override;

 private:
  void SetSaveEnabled(bool on);
  void SaveHeading(int listNo);
  void AfterRemoval();
  // Every row of the list shown removed from the table.
  void DeleteList();
  // One title of the list shown stored at a position, with the heading and the region.
  void AppendListRow(int position, const QString& region, const QString& titleId);
  // Runs a change of the list shown as one transaction; when it fails, the list comes back as it
  // was stored.
  void ChangeList(const std::function<void()>& change);
  int shownList_ = 0;  // the list the grid shows; 0 before the first load
  QString storedHeading_;  // the heading the rows of the list shown hold
  bool leavingNumber_ = false;  // the focus is leaving the list number box
  QSet<QString> listTitles_;
};
