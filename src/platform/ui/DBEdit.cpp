#include "platform/ui/DBCtrls.h"

#include <algorithm>
#include <QKeyEvent>

#include "platform/ui/Canvas.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/EventGuard.h"

// The bound edit box: shows its field and stores what is typed.

TDBEdit::TDBEdit(QWidget* parent) : QLineEdit(parent) {
  connect(this, &QLineEdit::textEdited, this, [this](const QString& t) { Edited(t); });
}

TDBEdit::~TDBEdit() { SetSource(nullptr); }

void TDBEdit::SetDataField(const QString& f) {
  dataField_ = f;
  Reload();
}

TField* TDBEdit::Field() const {
  TDataSet* ds = DataSet();
  if (!ds || !ds->Active() || dataField_.isEmpty()) return nullptr;
  return ds->FindField(dataField_);
}

void TDBEdit::SetMaxLength(int n) {
  maxLength_ = n;
}

// The limit holds what is typed (see Edited); a stored value longer than it is still shown whole.
int TDBEdit::Limit() const {
  TField* f = Field();
  int n = maxLength_;
  if (n <= 0 && f && f->DataType() == ftString && f->Size() > 0) n = f->Size();
  return n;
}

void TDBEdit::SetColors(const QColor& background, const QColor& text) { SetWidgetColors(this, background, text); }

void TDBEdit::Reload() {
  if (writing_) return;
  TField* f = Field();
  pending_ = false;
  // The field's display text (money with two decimals) until the operator is in the box.
  const QString t = !f ? QString() : hasFocus() ? f->AsString() : f->DisplayText();
  if (text() != t) setText(t);
  lastText_ = t;
}

void TDBEdit::RecordChanged(TField* f) {
  if (!f || f == Field()) Reload();
}

void TDBEdit::StateChanged() {
  TDataSet* ds = DataSet();
  if (ds && ds->State() == dsBrowse) Reload();
}

void TDBEdit::Edited(const QString& typed) {
  const int limit = Limit();
  if (limit > 0 && typed.size() > limit && typed.size() > lastText_.size()) {
    const int pos = cursorPosition() - (typed.size() - lastText_.size());
    setText(lastText_);
    setCursorPosition(std::max(0, pos));
    return;
  }
  QString t = typed;
  if (charCase_ == TEditCharCase::ecUpperCase) t = typed.toUpper();
  else if (charCase_ == TEditCharCase::ecLowerCase) t = typed.toLower();
  if (t != typed) {
    const int pos = cursorPosition();
    setText(t);
    setCursorPosition(pos);
  }
  lastText_ = t;
  reported_ = false;
  TDataSet* ds = DataSet();
  TField* f = Field();
  if (!ds || !f) return;
  GuardEvent([&] {
    writing_ = true;
    struct Reset { bool& b; ~Reset() { b = false; } } reset{writing_};
    if (ds->State() == dsBrowse) ds->Edit();
    pending_ = !StoreTyped(f, t);
  });
}

bool TDBEdit::Write(bool report) {
  if (!pending_) return true;
  TField* f = Field();
  if (!f) return true;
  writing_ = true;
  bool ok = true;
  try {
    f->AsString = text();
    pending_ = false;
  } catch (const Exception&) {
    ok = false;
  }
  writing_ = false;
  if (!ok && report) {
    MessageDlg("'" + text() + "' n'est pas une valeur correcte", MsgDlgType::Error, mbOK);
    reported_ = true;
  }
  return ok;
}

// A text already refused when the box was left stops the store without a second message.
void TDBEdit::UpdateData() {
  if (!pending_ || Write(false)) return;
  if (reported_) {
    reported_ = false;
    Abort();
  }
  throw EConvertError("'" + text() + "' n'est pas une valeur correcte");
}

bool TDBEdit::HoldsBadText() {
  if (!pending_) return false;
  return !Write(false);
}

// Back to the value the box showed when the operator entered it.
void TDBEdit::DropBadText() {
  if (!HoldsBadText()) return;
  pending_ = false;
  reported_ = false;
  TField* f = Field();
  TDataSet* ds = DataSet();
  if (f && ds && (ds->State() == dsEdit || ds->State() == dsInsert) && f->AsString() != entryText_)
    GuardEvent([&] { f->AsString = entryText_; });
  const QString t = f ? f->AsString() : QString();
  setText(t);
  lastText_ = t;
}

void TDBEdit::keyPressEvent(QKeyEvent* e) {
  if (FireKeyPress(this, e, OnKeyPress)) return;
  if (e->key() == Qt::Key_Escape && HoldsBadText()) {
    // The text that was refused when the box was left goes too, not only what was typed since.
    DropBadText();
    selectAll();
    return;
  }
  if (e->key() == Qt::Key_Escape) {
    // Escape takes back what was typed in this box since it was entered.
    TDataSet* ds = DataSet();
    TField* f = Field();
    if (ds && f && (ds->State() == dsEdit || ds->State() == dsInsert) && text() != entryText_) {
      GuardEvent([&] {
        f->AsString = entryText_;
        pending_ = false;
        setText(entryText_);
        lastText_ = entryText_;
        selectAll();
      });
      return;
    }
  }
  QLineEdit::keyPressEvent(e);
}

void TDBEdit::focusInEvent(QFocusEvent* e) {
  QLineEdit::focusInEvent(e);
  if (!pending_) {
    TField* f = Field();
    if (f && text() != f->AsString()) {
      setText(f->AsString());
      lastText_ = text();
    }
  }
  // Back after a refused text, the box is still where the operator entered it.
  if (!pending_) entryText_ = text();
}

void TDBEdit::focusOutEvent(QFocusEvent* e) {
  QLineEdit::focusOutEvent(e);
  if (!Write(true)) {
    setFocus();
    return;
  }
  Reload();
  if (OnExit) GuardEvent([&] { OnExit(this); });
}
