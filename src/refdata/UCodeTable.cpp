#include "refdata/UCodeTable.h"

#include <QVBoxLayout>

#include "platform/ui/Canvas.h"

TfrmCodeTable::TfrmCodeTable(QWidget* parent, const QString& caption, const QString& tableName,
                             const QString& heading)
    : TAppForm(parent), dsTable(&Table) {
  setWindowTitle(caption);
  Table.SetTableName(tableName);
  Table.SetIndexFieldNames("Id");
  InDataPath(Table);

  // Layout: the buttons on top, the grid, the status bar.
  setFixedSize(340, 360);
  Panel3 = new QWidget(this);
  Panel3->setGeometry(0, 0, 340, 40);
  MakeEditButtons(Panel3, 4, 5, 36, btnAdd, btnDelete, btnPost, btnCancel);
  btnClose = GlyphButton(Panel3, "btnClose", QStyle::SP_DialogCloseButton, "Fermer");
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

void TfrmCodeTable::FormCreate() { OpenNamed(Table); }

void TfrmCodeTable::UpdateButtons() { FollowEditState(Table, btnAdd, btnDelete, btnPost, btnCancel); }

void TfrmCodeTable::btnAddClick() {
  if (InEditOrInsert(Table)) Table.Post();
  Table.Insert();
  DBGrid1->SetSelectedIndex(0);
  DBGrid1->setFocus();
}

void TfrmCodeTable::btnDeleteClick() {
  if (InEditOrInsert(Table)) Table.Post();
  Beep();
  if (ConfirmYesNo("Etes-vous sûr de vouloir supprimer cet enregistrement ?") && !Table.IsEmpty()) Table.Delete();
}

void TfrmCodeTable::btnPostClick() {
  if (InEditOrInsert(Table)) Table.Post();
}

void TfrmCodeTable::btnCancelClick() {
  if (InEditOrInsert(Table)) Table.Cancel();
}

void TfrmCodeTable::btnCloseClick() { Close(); }

// A row still being typed is dropped with the table, not stored.
void TfrmCodeTable::FormClose() { Table.Close(); }
