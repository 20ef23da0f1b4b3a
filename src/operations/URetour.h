// The weekly unsold returns: for the clients of one region, the copies of each title taken
// during the week (Saturday to Friday, read from the takings) beside the copies returned unsold
// (typed), the amount each client owes, and the region's totals.
#pragma once
#include <array>
#include <QAction>
#include <QDate>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStringList>
#include <vector>

#include "rules/Returns.h"
#include "rules/TradeRules.h"
#include "platform/db/Query.h"
#include "platform/db/Table.h"
#include "platform/sys/Formats.h"
#include "platform/ui/DBCtrls.h"
#include "platform/ui/DataSource.h"
#include "platform/ui/Grids.h"
#include "shell/AppForm.h"

class TfrmRetour : public TAppForm {
  Q_OBJECT
 public:
  explicit TfrmRetour(QWidget* parent = nullptr);
  ~TfrmRetour() override;

  // Window state.
  QDate CurrentWeek;       // the Saturday of the week shown
  bool Modified = false;   // an unsold cell was typed into and not saved
  bool CellEdited = false; // typed into since the row amount was last computed
  bool GridLoaded = false; // the last loading listed at least one client

  TTable Region, Client, Disto, Retour, lkpRetour;
  TQuery Titre, myQuery;
  TDataSource dsRegion;

  QWidget* pnlButtons;
  QLabel *lblDu, *Label1;
  QLineEdit* dWeek;
  QPushButton *btnCalendar, *btnPrev, *btnNext, *btnLoad, *btnDelete, *btnPost, *btnCancel, *btnMenu, *btnFermer;
  TDBLookupComboBox* cmbRegion;
  TStringGrid *grdRetour, *grdTot, *grdTot1;
  TPanelStatusBar* stBar;
  QMenu* menuRetour;
  QAction *mnLoad, *mnDelete, *mnPost, *mnCancel, *mnModifPrise, *mnNextWeek, *mnPrev, *mnCalendar, *mnTotClient,
      *mnTotR, *mnTotG, *mnPrint, *Fermer1;

  // The grid and both totals lines for the week in dWeek and the region in cmbRegion.
  void LoadGrid();
  // Copies of a title a client took from the Saturday to the Friday.
  qint64 GetWeekPrise(const QString& client, const QString& title, const QDate& week);
  // The row's amount (copies sold times their unit price), written into column 2.
  Currency CalcClientAmount(int row);
  // The title's current net price for the client: its price less the client's rebate.
  Currency GetPU(const QString& client, const QString& title);
  // The week's totals of one client (its code) or of every client ("*").
  void ShowTotals(const QString& client);
  void UpdateButtons();
  // Checks every cell, then writes the week's rows in one transaction; false when nothing was
  // written (a cell refused, or the write failed and was undone).
  bool Save();
  void DeleteWeek();

  void btnPrevClick();
  void btnNextClick();
  void btnCalendarClick();
  void cmbRegionCloseUp();
  void btnPostClick();
  void btnCancelClick();
  void mnDeleteClick();
  void btnLoadClick();
  void grdRetourDblClick();
  void mnTotClientClick();
  void mnTotGClick();
  void mnTotRClick();
  void mnPrintClick();
  void btnMenuClick();
  void menuRetourPopup();
  void grdRetourClick();
  void grdRetourEditCancel();
  void grdRetourSetEditText(int col, int row, const QString& value);
  void grdRetourKeyUp(int key);
  void grdRetourTopLeftChanged();
  void grdTotClick();
  void grdRetourMouseMove(int x, int y);
  void grdRetourDrawCell(TStringGrid* g, int col, int row, const QRect& rect, TGridDrawState state);
  void grdTot1DrawCell(TStringGrid* g, int col, int row, const QRect& rect, TGridDrawState state);

  // The week shown (dWeek read back).
  QDate Week() const;
  void SetWeek(const QDate& saturday);

 protected:
  void FormClose() override;
  void contextMenuEvent(QContextMenuEvent* e) override;
  bool eventFilter(QObject* o, QEvent* e) override;

 private:
  // Asked before the grid is reloaded or left while typed cells are unsaved; false when the
  // operator wanted them saved and the save did not complete (stay where we are).
  bool LeavePrompt();
  void ChangeWeek(const QDate& saturday);
  // To the next unsold cell (Enter, Tab), or the previous one (Shift+Tab).
  void MoveToUnsold(bool back);
  QString RegionKey() const;
  struct TitleInfo {
    QString id, name;
    trade::TitlePrice price;
  };
  void ReadTitles();
  // The clients' rebates added to those read before: a region's ("" for every client), or one client's.
  void ReadRebates(const QString& region, const QString& client = {});
  Currency NetPrice(const QString& client, int title) const;
  void UpdateDeleteButton();

  std::vector<TitleInfo> titles_;
  QHash<QString, trade::Rebates> rebates_;
  QHash<QString, trade::WeekTaking> weekCells_;  // by TakingKey, of the loading
  QHash<QString, int> stored_;           // by TakingKey: Qte stored for the week shown
  QString loadedRegion_;                 // the region the grid shows
  bool syncing_ = false;
  bool enterDown_ = false;  // an Enter was pressed in the grid, its release not seen yet
  int editedRow_ = -1;                   // the row of the last typed cell
  bool modifiedBeforeEdit_ = false;      // Modified before the cell being typed was opened, for Escape
};

