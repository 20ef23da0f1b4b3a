#include "platform/ui/DBCtrls.h"

#include <QAbstractItemView>
#include <QHBoxLayout>
#include <algorithm>
#include <QKeyEvent>
#include <QStyle>
#include <QTimer>
#include <QToolButton>

#include "platform/ui/Canvas.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/EventGuard.h"

namespace {
// The key-press event of a control: Enter, Escape and Backspace as their characters.
bool FireKeyPress(QWidget* w, QKeyEvent* e, const std::function<void(QWidget*, QChar&)>& handler) {
  if (!handler) return false;
  QChar ch = KeyPressChar(e);
  if (ch.isNull()) return false;
  GuardEvent([&] { handler(w, ch); });
  return ch.isNull();
}

}  // namespace

// ---- TDBEdit ----

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

// ---- TDBLookupComboBox ----

TDBLookupComboBox::TDBLookupComboBox(QWidget* parent) : QComboBox(parent) {
  list_.owner = this;
  setEditable(false);
  setInsertPolicy(QComboBox::NoInsert);
  connect(this, &QComboBox::currentIndexChanged, this, [this](int i) {
    if (!setting_) UserChose(i);
  });
  connect(this, &QComboBox::activated, this, [this](int i) {
    dismissing_ = false;
    if (i != -1 && (i >= int(keys_.size()) || keys_[i] != key_)) UserChose(i);
    if (OnCloseUp) GuardEvent([&] { OnCloseUp(this); });
  });
}

void TDBLookupComboBox::hidePopup() {
  const bool shown = view() && view()->window()->isVisible();
  QComboBox::hidePopup();
  if (!shown || dismissing_) return;
  // A choice closes the list first and is reported right after: only a close that no choice
  // followed is a dismissal.
  dismissing_ = true;
  QTimer::singleShot(0, this, [this] {
    if (!dismissing_) return;
    dismissing_ = false;
    if (!isVisible()) return;  // closed with its window
    if (OnListDismissed) GuardEvent([&] { OnListDismissed(this); });
  });
}

TDBLookupComboBox::~TDBLookupComboBox() {
  list_.SetSource(nullptr);
  SetSource(nullptr);
}

void TDBLookupComboBox::SetDataField(const QString& f) {
  dataField_ = f;
  ShowFieldKey();
}

void TDBLookupComboBox::SetColors(const QColor& background, const QColor& text) {
  SetWidgetColors(this, background, text);
}

void TDBLookupComboBox::ReloadList() {
  setting_ = true;
  clear();
  keys_.clear();
  TDataSet* ds = list_.DataSet();
  if (ds && ds->Active() && !keyField_.isEmpty() && !listField_.isEmpty()) {
    TField* kf = ds->FindField(keyField_);
    TField* lf = ds->FindField(listField_);
    if (kf && lf) {
      const auto rows = ds->ReadRows(0, ds->RecordCount());
      for (const auto& row : rows) {
        keys_.push_back(row.value(kf->Index()));
        addItem(row.value(lf->Index()).toString());
      }
    }
  }
  setting_ = false;
  ShowKey();
}

void TDBLookupComboBox::ShowKey() {
  setting_ = true;
  int idx = -1;
  if (!key_.isNull()) {
    const QString k = key_.toString();
    for (int i = 0; i < int(keys_.size()); ++i)
      if (keys_[i].toString() == k) { idx = i; break; }
  }
  setCurrentIndex(idx);
  setting_ = false;
}

void TDBLookupComboBox::SetKeyValue(const QVariant& key) {
  key_ = key;
  ShowKey();
}

void TDBLookupComboBox::ShowFieldKey() {
  if (writing_ || dataField_.isEmpty()) return;
  TDataSet* ds = DataSet();
  TField* f = ds && ds->Active() ? ds->FindField(dataField_) : nullptr;
  key_ = f ? f->Value() : QVariant();
  if (f && f->AsString().isEmpty()) key_ = QVariant();
  ShowKey();
}

void TDBLookupComboBox::RecordChanged(TField* f) {
  TDataSet* ds = DataSet();
  if (!f || (ds && f == ds->FindField(dataField_))) ShowFieldKey();
}

void TDBLookupComboBox::UserChose(int index) {
  if (index < 0 || index >= int(keys_.size())) return;
  key_ = keys_[index];
  if (dataField_.isEmpty()) return;
  TDataSet* ds = DataSet();
  if (!ds || !ds->Active()) return;
  GuardEvent([&] {
    writing_ = true;
    struct Reset { bool& b; ~Reset() { b = false; } } reset{writing_};
    if (ds->State() == dsBrowse) ds->Edit();
    ds->FieldByName(dataField_)->Value = key_;
  });
}

void TDBLookupComboBox::keyPressEvent(QKeyEvent* e) {
  if (FireKeyPress(this, e, OnKeyPress)) return;
  QComboBox::keyPressEvent(e);
}

// ---- TDBNavigator ----

TDBNavigator::TDBNavigator(QWidget* parent) : QWidget(parent) {
  auto* lay = new QHBoxLayout(this);
  lay->setContentsMargins(0, 0, 0, 0);
  lay->setSpacing(0);
  const QStyle::StandardPixmap icons[4] = {QStyle::SP_MediaSkipBackward, QStyle::SP_MediaSeekBackward,
                                           QStyle::SP_MediaSeekForward, QStyle::SP_MediaSkipForward};
  const char* names[4] = {"First", "Prior", "Next", "Last"};
  const char* hints[4] = {"Premier enregistrement", "Enregistrement précédent", "Enregistrement suivant",
                          "Dernier enregistrement"};
  for (int i = 0; i < 4; ++i) {
    auto* b = new QToolButton(this);
    b->setObjectName(names[i]);
    b->setIcon(style()->standardIcon(icons[i]));
    b->setToolTip(QString::fromUtf8(hints[i]));
    b->setAutoRaise(false);
    b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    const TNavigateBtn nb = TNavigateBtn(1u << i);
    connect(b, &QToolButton::clicked, this, [this, nb] { BtnClick(nb); });
    lay->addWidget(b);
    buttons_[i] = b;
  }
  UpdateButtons();
}

TDBNavigator::~TDBNavigator() { SetSource(nullptr); }

void TDBNavigator::SetVisibleButtons(unsigned buttons) {
  for (int i = 0; i < 4; ++i) buttons_[i]->setVisible(buttons & (1u << i));
}

QToolButton* TDBNavigator::Button(TNavigateBtn b) const {
  for (int i = 0; i < 4; ++i)
    if (b == (1u << i)) return buttons_[i];
  return nullptr;
}

void TDBNavigator::BtnClick(TNavigateBtn b) {
  TDataSet* ds = DataSet();
  if (!ds || !ds->Active()) return;
  GuardEvent([&] {
    switch (b) {
      case nbFirst: ds->First(); break;
      case nbPrior: ds->Prior(); break;
      case nbNext: ds->Next(); break;
      case nbLast: ds->Last(); break;
    }
  });
}

void TDBNavigator::UpdateButtons() {
  TDataSet* ds = DataSet();
  const bool active = ds && ds->Active();
  const bool browse = active && ds->State() == dsBrowse;
  const bool bof = !active || ds->Bof(), eof = !active || ds->Eof();
  buttons_[0]->setEnabled(active && !bof);
  buttons_[1]->setEnabled(active && !bof);
  buttons_[2]->setEnabled(active && !eof);
  buttons_[3]->setEnabled(active && !eof);
  (void)browse;
}
