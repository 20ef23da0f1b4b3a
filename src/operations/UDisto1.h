// The takings window: one day's quantities of every title taken by every client of a region, in
// a clients-by-titles grid with its totals row, and the tools that import, copy, delete and zero
// takings.
#pragma once
#include <QCheckBox>
#include <QDate>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSet>
#include <QToolButton>
#include <functional>

#include "operations/Quantity.h"
#include "rules/TradeRules.h"
#include "platform/db/Query.h"
#include "platform/db/Table.h"
#include "platform/sys/Formats.h"
#include "platform/ui/DBCtrls.h"
#include "platform/ui/DataSource.h"
#include "platform/ui/Grids.h"
#include "operations/OpsCommon.h"
#include "shell/AppForm.h"

class TGradient;
class TVxLabel;

class TfrmDisto1 : public TDayForm {
  Q_OBJECT
 public:
  explicit TfrmDisto1(QWidget* parent = nullptr);
  ~TfrmDisto1() override;

  QDate CurrentDay;       // the day shown
  bool Modified = false;  // a cell is being typed (or a column was copied)
  // The pause of the import between its two messages (tests shorten it).
  int ImportPauseMs = 1000;

  TTable Region, Client, Disto;
  TQuery Titre, qOrgaD, myQuery;
  TDataSource dsRegion;

  QWidget* pnlButtons;
  QToolButton *btnPrev, *btnNext;
  QLabel *lDay, *pnlDate, *Label1;
  QPushButton *btnDsp, *btnPost, *btnCancel, *btnMenu, *btnFermer;
  TDBLookupComboBox* cmbRegion;
  QCheckBox* chkTout;
  TStringGrid *grdDisto, *grdTot;
  TPanelStatusBar* stBar;
  QWidget* pnlMessage;
  TGradient* grdMessage;
  TVxLabel* lMes;
  QMenu* PopMnDisto;
  QAction *mnInsert, *mnCopyCol, *mnDeleteClt, *mnDeleteTitre, *mnPost, *mnCancel, *mnDsp, *mnNext, *mnPrev,
      *mnPrint, *Quitter1;

  // --- loading and display ---
  void FormCreate();
  void ShowDay();
  void DisplayPrises();
  void EmptyGrid();
  void ComputeColumnTotal(int col);
  void btnPrevClick() override;
  void btnNextClick() override;
  void btnDspClick();
  void pnlDateDblClick();
  void cmbRegionCloseUp();
  void chkToutClick() override;
  void grdDistoClick();
  void grdTotClick();
  void grdDistoTopLeftChanged();
  void grdDistoMouseMove(int x, int y);
  void grdTotDblClick();
  void btnMenuClick() override;
  void grdDistoDrawCell(TStringGrid* g, int c, int r, const QRect& rect, TGridDrawState state);
  void grdTotDrawCell(TStringGrid* g, int c, int r, const QRect& rect, TGridDrawState state);

  // --- entry and save ---
  void grdDistoSetEditText(int c, int r, const QString& value);
  void grdDistoSelectCell(int c, int r, bool& canSelect);
  void grdDistoKeyPress(QChar& key);
  void grdDistoKeyDown(int& key, Qt::KeyboardModifiers mods);
  // Escape gave the typed cell its text back: what was typed is no longer to be stored.
  void grdDistoEditCancel(int c, int r);
  void UpdateButtons();
  void btnPostClick();
  // The save; false when it did not complete (a wrong cell), the cells then kept.
  bool Save();
  void btnCancelClick();
  // Before the grid is reloaded or left: asks whether to save the cells not stored yet. False
  // when the window must stay as it is (the save did not complete).
  bool LeavePrompt();
  void mnPrintClick();
  // The list print of a prepared list for a day.
  void PrintList(int noListe, const QDate& day);

  // --- import, copy and delete ---
  void mnInsertClick();
  void ImportPrises(const QString& client, const QDate& sourceDay);
  void mnDeleteCltClick();
  void DeletePrises(const QString& client, const QDate& day);
  void mnDeleteTitreClick();
  void mnCopyColClick();

  // Cells typed or copied and not stored yet.
  int PendingCount() const { return int(pending_.size()); }
  bool IsPending(int c, int r) const { return pending_.contains(Key(c, r)); }
  // The client of a grid row and the title of a grid column ("" for none).
  QString ClientOf(int r) const;
  QString TitleOf(int c) const;
  // The quantities of the grid's cells, as accepted.
  const QuantityCells& Quantities() const { return quantities_; }
  // A text a program puts into a quantity cell, accepted as the operator's would be (without
  // marking the cell as typed).
  void SetCellText(int c, int r, const QString& text);

 protected:
  void FormClose() override;
  void contextMenuEvent(QContextMenuEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  bool eventFilter(QObject* o, QEvent* e) override;

 private:
  friend class BusyScope;
  static qint64 Key(int c, int r) { return (qint64(c) << 32) | unsigned(r); }
  QString RegionKey() const;
  void SetDay(const QDate& d);
  // Selects a cell without the check of the cell left (the save shows a wrong cell).
  void SelectCell(int c, int r);
  // Lets pending events run; while busy, not the operator's input (it waits for the end).
  void Pump();
  void SyncTotColumn();
  void PlaceMessage();

  struct TitleInfo {
    QString id, name;
    trade::TitlePrice price;
  };
  std::vector<TitleInfo> titles_;  // every title, in Nord order
  void ReadTitles();
  QuantityCells quantities_;
  QSet<qint64> pending_;
  QHash<int, QAction*> shortcuts_;  // the popup's items by their key, for the window's key handling
  bool forceSelect_ = false;
  bool syncing_ = false;
  int lastRow_ = -1;
  bool beforePending_ = false;  // the cell being typed waited for the save before the typing
  qint64 typedCell_ = -1;       // the cell beforePending_ speaks of
  QVariant shownRegion_;
};
