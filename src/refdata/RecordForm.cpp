#include "refdata/RecordForm.h"

#include <QKeyEvent>

#include "platform/sys/Errors.h"
#include "platform/ui/Canvas.h"
#include "shell/global.h"

TRecordForm::TRecordForm(QWidget* parent, TTable& edited, TDataSource& source)
    : TAppForm(parent), edited_(edited), source_(source) {}

bool TRecordForm::Editing() const { return InEditOrInsert(edited_); }

void TRecordForm::UpdateButtons() { FollowEditState(edited_, btnAdd, btnDelete, btnPost, btnCancel); }

void TRecordForm::btnPostClick() {
  if (Editing()) edited_.Post();
}

void TRecordForm::btnCancelClick() {
  if (Editing()) edited_.Cancel();
}

void TRecordForm::btnCloseClick() { Close(); }

void TRecordForm::DropBadInput() {
  bool bad = false;
  for (TDBEdit* e : findChildren<TDBEdit*>())
    if (e->HoldsBadText()) {
      e->DropBadText();
      bad = true;
    }
  if (bad && Editing()) btnCancelClick();
}

void TRecordForm::EscapePressed() {
  GuardEvent([this] {
    DropBadInput();
    if (Editing()) btnCancelClick();
  });
}

void TRecordForm::showEvent(QShowEvent* e) {
  TAppForm::showEvent(e);
  for (TDBEdit* edit : findChildren<TDBEdit*>()) edit->installEventFilter(this);
}

bool TRecordForm::eventFilter(QObject* o, QEvent* e) {
  if (e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape)
    if (auto* edit = qobject_cast<TDBEdit*>(o); edit && edit->HoldsBadText()) {
      EscapePressed();
      return true;
    }
  return TAppForm::eventFilter(o, e);
}

void TRecordForm::BuildTopPanel(int width) {
  Panel3 = new QWidget(this);
  Panel3->setGeometry(0, 0, width, 42);
  GradientBackground(Panel3);
  MyNavigator = new TDBNavigator(Panel3);
  MyNavigator->SetVisibleButtons(nbFirst | nbPrior | nbNext | nbLast);
  MyNavigator->SetDataSource(&source_);
  MyNavigator->setGeometry(4, 6, 124, 30);
  MakeEditButtons(Panel3, 136, 6, 36, btnAdd, btnDelete, btnPost, btnCancel);
  btnClose = GlyphButton(Panel3, "btnClose", QStyle::SP_DialogCloseButton, "Fermer");
  btnClose->move(width - 40, 6);
  // Taking back and leaving must not first run the check of the field being typed.
  btnCancel->setFocusPolicy(Qt::NoFocus);
  btnClose->setFocusPolicy(Qt::NoFocus);
}

void TRecordForm::BuildStatusBar(int y, int width) {
  stBar = new TPanelStatusBar(this, {50, 100, 50});
  stBar->setObjectName("stBar");
  stBar->setGeometry(0, y, width, 22);
}

TDBLookupComboBox* TRecordForm::BuildFilter(QWidget* panel, const QString& label, const QString& boxName,
                                            TDataSource* list, int x, int y, int boxWidth) {
  MakeLabel(panel, label, x, y);
  TDBLookupComboBox* box = LookupBox(panel, boxName, list, x, y + 18, boxWidth);
  SetBold(box);
  box->setEnabled(false);
  SetColors(box, StdColors::Silver());
  chkTout = new QCheckBox("Toutes", panel);
  chkTout->setObjectName("chkTout");
  chkTout->setGeometry(x + boxWidth + 8, y + 20, 70, 20);
  chkTout->setChecked(true);
  return box;
}

void TRecordForm::ToutesClicked(TDBLookupComboBox* box) {
  const bool all = chkTout->isChecked();
  box->setEnabled(!all);
  edited_.SetFiltered(!all);
  SetColors(box, all ? StdColors::Silver() : StdColors::Window());
}

bool TRecordForm::FilterOnChoice(TDBLookupComboBox* box, const QString& field) {
  // An entry whose code is empty is a choice like any other.
  if (!box->HasChoice()) return false;
  edited_.SetFilter(FilterEq(field, box->KeyValue().toString()));
  edited_.First();
  return true;
}

void TRecordForm::RecordKeyPress(QWidget* sender, QChar& key, QWidget* last, QWidget* code,
                                 const std::function<void()>& startNext) {
  if (key != QChar(13)) return;
  key = QChar();
  if (sender != last) {
    focusNextChild();
    return;
  }
  if (Editing()) {
    edited_.Post();
    startNext();
  }
  code->setFocus();
}

void TRecordForm::Refuse(const QString& message, QWidget* field) {
  ShowError(message);
  field->setFocus();
  Abort();
}

void TRecordForm::DrawStripedCell(TDBGrid* grid, const QRect& rect, int dataCol, TColumn& column,
                                  TGridDrawState state) {
  TCanvas* cv = grid->Canvas();
  if (grid->DrawRecNo() % 2 == 0) cv->Brush.Color = RGBColor(0xEAEAEA);
  if (state & gdSelected) {
    cv->Brush.Color = RGBColor(0x5EAEFF);
    cv->Font.Color = StdColors::White();
  }
  grid->DefaultDrawColumnCell(rect, dataCol, column, state);
}

TDBEdit* FieldEdit(QWidget* parent, const QString& name, TDataSource* ds, const QString& field, int x, int y, int w) {
  auto* e = new TDBEdit(parent);
  e->setObjectName(name);
  e->SetDataSource(ds);
  e->SetDataField(field);
  e->setGeometry(x, y, w, 22);
  return e;
}

TDBLookupComboBox* LookupBox(QWidget* parent, const QString& name, TDataSource* list, int x, int y, int w) {
  auto* c = new TDBLookupComboBox(parent);
  c->setObjectName(name);
  c->SetListSource(list);
  c->SetKeyField("Id");
  c->SetListField("Libelle");
  c->setGeometry(x, y, w, 22);
  return c;
}
