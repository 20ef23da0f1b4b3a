// The day-and-titles dialog: a day that has takings, the current client or all clients, and the
// titles to take. The creator reads cmbDay, cmbClient and SelectedTitles after it closes.
#pragma once
#include <QComboBox>
#include <QDate>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <optional>

#include "platform/db/Query.h"
#include "shell/AppForm.h"

class TGradient;

class TfrmGetDay : public TAppForm {
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


// What the operator chose in the day dialog.
struct TDayChoice {
  QDate day;
  QString dayText;  // as the list shows it, "DD/MM/YYYY"
  bool allClients = false;
  // The confirmation asked before the command runs: what ("d'importer", "de supprimer") the
  // chosen day's takings, for whom (scopeText).
  QString Question(const QString& what, const QString& scopeText) const;
};

// Shows the day dialog with its caption and kind text, leaving excludedDay out of its list; the
// choice after OK on a day, nothing after Cancel. SelectedTitles holds the ticked titles.
std::optional<TDayChoice> AskDayChoice(const QString& caption, const QString& kind, const QString& excludedDay = {});

// A check list of titles in columns of the given width, filled top to bottom (the day dialog and
// the zeroing by titles).
QListWidget* MakeTitleColumns(QWidget* parent, const QRect& geometry, int columnWidth);
