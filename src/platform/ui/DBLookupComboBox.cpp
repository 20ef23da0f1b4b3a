#include "platform/ui/DBCtrls.h"

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QTimer>

#include "platform/ui/Canvas.h"
#include "platform/ui/EventGuard.h"

// The lookup box: a field's key chosen among the rows of another dataset.

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
