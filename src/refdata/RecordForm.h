// What the clients and titles windows share: one edited table with a navigator and the Add,
// Delete, Post, Cancel and Close buttons on top, a read-only list on the left filtered through a
// lookup box and its "Toutes" box, the record's bound controls on the right, and a status bar
// with three panels.
#pragma once
#include <QCheckBox>
#include <QPushButton>
#include <functional>

#include "platform/db/Table.h"
#include "platform/ui/DBCtrls.h"
#include "platform/ui/DBGrids.h"
#include "platform/ui/DataSource.h"
#include "shell/AppForm.h"

class TRecordForm : public TAppForm {
  Q_OBJECT
 public:
  // The table and its source are members of the derived window: nothing here touches them before
  // the derived window has built them.
  TRecordForm(QWidget* parent, TTable& edited, TDataSource& source);

  QWidget *Panel3 = nullptr, *Panel1 = nullptr, *Panel2 = nullptr;
  TDBNavigator* MyNavigator = nullptr;
  QPushButton *btnAdd = nullptr, *btnDelete = nullptr, *btnPost = nullptr, *btnCancel = nullptr,
              *btnClose = nullptr;
  QCheckBox* chkTout = nullptr;
  TPanelStatusBar* stBar = nullptr;

  // Post and Cancel while the table is in edit or insert state, Add and Delete otherwise.
  void UpdateButtons();
  void btnPostClick();
  virtual void btnCancelClick();
  void btnCloseClick();

 protected:
  bool Editing() const;
  // Text in a bound edit that is not a value of its field cannot be stored: it is dropped with
  // the record's changes, so that the operator is never held in the window by it.
  void DropBadInput();
  // Escape takes back the record being typed, as Cancel does; in a box holding text that is not
  // a value, at once (the box would only take back its text).
  void EscapePressed() override;
  void showEvent(QShowEvent* e) override;
  bool eventFilter(QObject* o, QEvent* e) override;
  // The top panel, a window wide, with its gradient, navigator and buttons (Close at the right end).
  void BuildTopPanel(int width);
  void BuildStatusBar(int y, int width);

  // The filter under the list: a label, the lookup box (bold, disabled and silver) and "Toutes"
  // (ticked) to its right.
  TDBLookupComboBox* BuildFilter(QWidget* panel, const QString& label, const QString& boxName, TDataSource* list,
                                 int x, int y, int boxWidth);
  // "Toutes" ticked: the box disabled and silver, the table unfiltered; unticked: the reverse.
  void ToutesClicked(TDBLookupComboBox* box);
  // A choice in the box filters the table on its code and moves to the first record; with no
  // choice nothing changes.
  bool FilterOnChoice(TDBLookupComboBox* box, const QString& field);

  // Enter in a record control moves to the next control; in the last one it stores the record
  // and starts the next (when editing) and goes back to the code.
  void RecordKeyPress(QWidget* sender, QChar& key, QWidget* last, QWidget* code, const std::function<void()>& startNext);

  // A failed check: the message, the focus on its field, and the store cancelled silently.
  [[noreturn]] static void Refuse(const QString& message, QWidget* field);
  // Alternate rows light grey, the selected row white on blue.
  static void DrawStripedCell(TDBGrid* grid, const QRect& rect, int dataCol, TColumn& column, TGridDrawState state);

 private:
  TTable& edited_;
  TDataSource& source_;
};

// A bound edit and a lookup box (keyed by Id, showing Libelle) placed on a panel.
TDBEdit* FieldEdit(QWidget* parent, const QString& name, TDataSource* ds, const QString& field, int x, int y, int w);
TDBLookupComboBox* LookupBox(QWidget* parent, const QString& name, TDataSource* list, int x, int y, int w);
