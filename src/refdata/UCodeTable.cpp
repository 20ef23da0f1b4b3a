#include "refdata/UCodeTable.h"

#include <QVBoxLayout>

#include "platform/ui/Canvas.h"

TfrmCodeTable::TfrmCodeTable(QWidget* parent, const QString& caption, const QString& tableName,
                             const QString& heading)
    : TRefForm(parent), dsTable(&Table) {
  setWindowTitle(caption);
  Table.SetTableName(tableName);
  Table.SetIndexFieldNames("Id");
  InDataPath(Table);

  // Layout: the buttons on top, the grid, the status bar.
  setFixedSize(340, 360);
  Panel3 = new QWidget(this);
  Panel3->setGeometry(0, 0, 340, 40);
  btnAdd = GlyphButton(Panel3, "btnAdd", QStyle::SP_FileDialogNewFolder, "Ajouter");
  btnDelete = GlyphButton(Panel3, "btnDelete", QStyle::SP_TrashIcon, "Supprimer");
  btnPost = GlyphButton(Panel3, "btnPost", QStyle::SP_DialogApplyButton, "Enregistrer");
  btnCancel = GlyphButton(Panel3, "btnCancel", QStyle::SP_DialogCancelButton, "Annuler");
  btnClose = GlyphButton(Panel3, "btnClose", QStyle::SP_DialogCloseButton, "Fermer");
  btnAdd->move(4, 5);
  btnDelete->move(40, 5);
  btnPost->move(76, 5);
  btnCancel->move(112, 5);
  btnClose->move(340 - 38, 5);

  DBGrid1 = new TDBGrid(this);
  DBGrid1->setObjectName("DBGrid1");
  DBGrid1->setGeometry(0, 40, 340, 298);
  QFont f("Verdana");
  f.setPointSize(8);
  DBGrid1->setFont(f);
  DBGrid1->SetColor(RGBColor(0xA8DDFD));
  DBGrid1->SetOptions(dgEditing | dgTitles | dgColumnResize | dgColLines | dgRowLines | dgTabs |
                      dgAlwaysShowSelection | dgConfirmDelete | dgCancelOnExit);
  DBGrid1->AddColumn("Id", "Code", 50);
  DBGrid1->AddColumn("Libelle", heading, 240);
  DBGrid1->SetDataSource(&dsTable);

  StatusBar1 = new QStatusBar(this);
  StatusBar1->setSizeGripEnabled(false);
  StatusBar1->setGeometry(0, 338, 340, 22);

  dsTable.OnStateChange = [this](TDataSource*) { UpdateButtons(); };
  OnClick(btnAdd, this, &TfrmCodeTable::btnAddClick);
  OnClick(btnDelete, this, &TfrmCodeTable::btnDeleteClick);
  OnClick(btnPost, this, &TfrmCodeTable::btnPostClick);
  OnClick(btnCancel, this, &TfrmCodeTable::btnCancelClick);
  OnClick(btnClose, this, &TfrmCodeTable::btnCloseClick);
  CenterOnScreen();
  UpdateButtons();
  FormCreate();
}

TfrmCodeTable::~TfrmCodeTable() {
  DBGrid1->SetDataSource(nullptr);
}

void TfrmCodeTable::FormCreate() { Table.Open(); }

void TfrmCodeTable::UpdateButtons() {
  const bool editing = Table.State() == dsEdit || Table.State() == dsInsert;
  btnPost->setEnabled(editing);
  btnCancel->setEnabled(editing);
  btnAdd->setEnabled(!editing);
  btnDelete->setEnabled(!editing);
}

void TfrmCodeTable::btnAddClick() {
  if (Table.State() == dsEdit || Table.State() == dsInsert) Table.Post();
  Table.Insert();
  DBGrid1->SetSelectedIndex(0);
  DBGrid1->setFocus();
}

void TfrmCodeTable::btnDeleteClick() {
  if (Table.State() == dsEdit || Table.State() == dsInsert) Table.Post();
  Beep();
  if (ConfirmYesNo("Etes-vous sûr de vouloir supprimer cet enregistrement ?")) Table.Delete();
}

void TfrmCodeTable::btnPostClick() {
  if (Table.State() == dsEdit || Table.State() == dsInsert) Table.Post();
}

void TfrmCodeTable::btnCancelClick() {
  if (Table.State() == dsEdit || Table.State() == dsInsert) Table.Cancel();
}

void TfrmCodeTable::btnCloseClick() { Close(); }

// A row still being typed is dropped with the table, not stored.
void TfrmCodeTable::FormClose() { Table.Close(); }
