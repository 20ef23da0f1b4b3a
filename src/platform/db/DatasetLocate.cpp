// Locate and filters of a dataset.
#include "platform/db/Dataset.h"

bool TDataSet::Locate(const QString& keyFields, const QList<QVariant>& keyValues, TLocateOptions options) {
  CheckBrowseMode();
  if (keyFields != locateFields_ || locateIdx_.empty()) {
    // The windows locate on the same fields again and again: resolve them once.
    const QStringList names = keyFields.split(';', Qt::SkipEmptyParts);
    if (names.isEmpty()) throw EDatabaseError("La recherche demande au moins un champ");
    std::vector<int> resolved;
    for (const QString& n : names) resolved.push_back(FieldByName(n)->Index());
    locateIdx_ = resolved;
    locateFields_ = keyFields;
  }
  const std::vector<int>& idx = locateIdx_;
  if (int(idx.size()) != keyValues.size())
    throw EDatabaseError(QString("La recherche sur %1 demande %2 valeurs, et non %3").arg(keyFields).arg(idx.size()).arg(keyValues.size()));
  Record r;
  if (!DoLocate(idx, keyValues, options, r)) return false;
  if (BeforeScroll) BeforeScroll(*this);
  cur_ = r;
  hasCur_ = true;
  bof_ = eof_ = false;
  DoAfterScroll(0);
  return true;
}

bool TDataSet::LocateOne(const QString& keyField, const QVariant& keyValue, TLocateOptions options) {
  if (keyValue.typeId() == QMetaType::QVariantList) return Locate(keyField, keyValue.toList(), options);
  return Locate(keyField, QList<QVariant>{keyValue}, options);
}

bool TDataSet::AcceptRecord(const Record& rec) {
  if (!HasFilterCallback() || inFilterCallback_) return true;
  bool accept = true;
  const Record* saved = filterRec_;
  filterRec_ = &rec;
  inFilterCallback_ = true;
  try {
    OnFilterRecord(*this, accept);
  } catch (...) {
    filterRec_ = saved;
    inFilterCallback_ = false;
    throw;
  }
  filterRec_ = saved;
  inFilterCallback_ = false;
  return accept;
}

void TDataSet::SetFilter(const QString& text) {
  if (text == filterText_) return;
  if (Active() && filtered_) {
    CheckBrowseMode();
    const QString old = filterText_;
    filterText_ = text;
    try {
      DoFilterChanged();
    } catch (...) {
      filterText_ = old;
      DoFilterChanged();
      throw;
    }
    First();
    NotifyDataSetChanged();
  } else {
    filterText_ = text;
  }
}

void TDataSet::SetFiltered(bool on) {
  if (on == filtered_) return;
  if (Active()) {
    CheckBrowseMode();
    filtered_ = on;
    try {
      DoFilterChanged();
    } catch (...) {
      filtered_ = !on;
      DoFilterChanged();
      throw;
    }
    First();
    NotifyDataSetChanged();
  } else {
    filtered_ = on;
  }
}
