// The three code-table windows (regions, sites, printing houses): one editable grid over one
// table with Add, Delete, Post, Cancel and Close. They differ only in caption, table and heading.
#pragma once
#include <QPushButton>
#include <QWidget>

#include "platform/db/Table.h"
#include "platform/ui/DBGrids.h"
#include "platform/ui/DataSource.h"
#include "shell/AppForm.h"

class TfrmCodeTable : public TAppForm {
  Q_OBJECT
 public:
  TfrmCodeTable(QWidget* parent, const QString& caption, const QString& tableName, const QString& heading);
  ~TfrmCodeTable() override;

  TTable Table;
  TDataSource dsTable;
  TDBGrid* DBGrid1;
  QWidget* Panel3;
  QPushButton *btnAdd, *btnDelete, *btnPost, *btnCancel, *btnClose;
  QStatusBar* StatusBar1;

  void FormCreate();
  void btnAddClick();
  void btnDeleteClick();
  void btnPostClick();
  void btnCancelClick();
  void btnCloseClick();
  void UpdateButtons();

 protected:
  void FormClose() override;
};
