#include "platform/db/Dataset.h"

#include <algorithm>
#include <cmath>

#include "platform/db/EngineCore.h"
#include "platform/db/ValueText.h"

TDataSet::TDataSet(const QString& name) : Name(name) {}

TDataSet::~TDataSet() {
  std::vector<TDataLink*> links = links_;
  links_.clear();
  for (TDataLink* l : links) {
    l->ds_ = nullptr;
    l->DataSetDestroyed();
  }
}

void TDataSet::AddLink(TDataLink* link) {
  if (!link || std::find(links_.begin(), links_.end(), link) != links_.end()) return;
  if (link->ds_ && link->ds_ != this) link->ds_->RemoveLink(link);
  links_.push_back(link);
  link->ds_ = this;
}

void TDataSet::RemoveLink(TDataLink* link) {
  auto it = std::find(links_.begin(), links_.end(), link);
  if (it != links_.end()) links_.erase(it);
  if (link && link->ds_ == this) link->ds_ = nullptr;
}

QString TDataSet::NameInErrors() const { return Name.isEmpty() ? QString("dataset") : Name; }

void TDataSet::CheckActive() const {
  if (state_ == dsInactive) throw EDatabaseError(QString("Opération impossible sur une table fermée (%1)").arg(NameInErrors()));
}

void TDataSet::CheckInactive() const {
  if (state_ != dsInactive) throw EDatabaseError(QString("Opération impossible sur une table ouverte (%1)").arg(NameInErrors()));
}

TField* TDataSet::Fields(int index) const {
  if (index < 0 || index >= int(fields_.size()))
    throw EDatabaseError(QString("Numéro de champ %1 hors limites (%2)").arg(index).arg(NameInErrors()));
  return fields_[index].get();
}

TField* TDataSet::FindField(const QString& name) const {
  // The windows ask for the same few fields for every cell: remember how each name resolved.
  if (TField* known = fieldByName_.value(name)) return known;
  TField* found = nullptr;
  for (auto& f : fields_)
    if (f->FieldName().compare(name, Qt::CaseInsensitive) == 0) {
      found = f.get();
      break;
    }
  const QString n = name.trimmed();
  if (!found && n.size() != name.size())
    for (auto& f : fields_)
      if (f->FieldName().compare(n, Qt::CaseInsensitive) == 0) {
        found = f.get();
        break;
      }
  if (found) {
    if (fieldByName_.size() >= 256) fieldByName_.clear();
    fieldByName_.insert(name, found);
  }
  return found;
}

TField* TDataSet::FieldByName(const QString& name) const {
  TField* f = FindField(name);
  if (!f) throw EDatabaseError(QString("%1 : champ « %2 » introuvable").arg(NameInErrors(), name));
  return f;
}

QStringList TDataSet::FieldNames() const {
  QStringList l;
  for (auto& f : fields_) l << f->FieldName();
  return l;
}

QVariant TDataSet::FieldValue(int index) const {
  if (filterRec_) return filterRec_->values.value(index);
  if (state_ == dsEdit || state_ == dsInsert) return buf_.values.value(index);
  if (state_ == dsBrowse && hasCur_) return cur_.values.value(index);
  return QVariant();
}

QVariant TDataSet::NormalizeValue(int field, const QVariant& v) const {
  if (v.isNull() || !v.isValid()) return QVariant();
  const FieldInfo& fi = infos_[field];
  const bool text = v.typeId() == QMetaType::QString;
  auto notA = [&](const char* what) {
    return EConvertError(QString("« %1 » n'est pas %2 correct pour le champ « %3 »").arg(v.toString().left(40), what, fi.name));
  };
  switch (fi.type) {
    case ftString: {
      const QString s = dbe::FitText(v.toString(), fi.size);
      return s.isEmpty() ? QVariant() : QVariant(s);
    }
    case ftSmallint: case ftInteger: case ftAutoInc: {
      // A text or a number that is no whole number is no value of the field (not a silent 0).
      qlonglong n = 0;
      if (text) {
        if (v.toString().trimmed().isEmpty()) return QVariant();
        const auto i = TryStrToInt(v.toString());
        if (!i) throw notA("un nombre entier");
        n = *i;
      } else if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float) {
        const double d = v.toDouble();
        if (!std::isfinite(d)) throw notA("un nombre entier");
        n = dbe::RoundWhole(d);
      } else {
        bool ok = false;
        n = v.toLongLong(&ok);
        if (!ok) throw notA("un nombre entier");
      }
      const dbe::WholeRange range = fi.type == ftSmallint ? dbe::kInt16Range : dbe::kInt32Range;
      if (!range.Holds(n))
        throw EDBEngineError(DBIERR_OUTOFRANGE, dbe::NotHeld(QString::number(n), fi.name, dbe::WholeRule(range)));
      return QVariant(int(n));
    }
    case ftBoolean: {
      if (text) {
        if (v.toString().trimmed().isEmpty()) return QVariant();
        const auto b = TextToBool(v.toString());
        if (!b) throw notA("une valeur logique");
        return QVariant(*b);
      }
      if ((v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float) && std::isnan(v.toDouble()))
        throw notA("une valeur logique");
      return QVariant(v.toBool());
    }
    case ftFloat: case ftCurrency: {
      double d = 0;
      if (text) {
        if (v.toString().trimmed().isEmpty()) return QVariant();
        const auto f = TryStrToFloat(v.toString());
        if (!f) throw notA("un nombre");
        d = *f;
      } else {
        bool ok = false;
        d = v.toDouble(&ok);
        if (!ok) throw notA("un nombre");
      }
      const bool money = fi.type == ftCurrency;
      if (!std::isfinite(d) || (money && !dbe::MoneyInRange(d)))
        throw EDBEngineError(DBIERR_OUTOFRANGE, dbe::NotHeld(QString::number(d, 'g', 17), fi.name,
                                                             std::isfinite(d) ? dbe::MoneyRangeRule() : dbe::FiniteRule()));
      return money ? QVariant(dbe::RoundMoney(d)) : QVariant(d);
    }
    case ftDate: {
      QDate d;
      if (v.typeId() == QMetaType::QDateTime) {
        d = v.toDateTime().date();
      } else if (text) {
        if (v.toString().trimmed().isEmpty()) return QVariant();
        auto t = TryStrToDate(v.toString());
        if (!t) throw EConvertError(QString("« %1 » n'est pas une date correcte").arg(v.toString().left(40)));
        d = *t;
      } else if (v.typeId() == QMetaType::QDate) {
        d = v.toDate();
      } else {
        throw notA("une date");
      }
      if (!d.isValid()) return QVariant();
      // The stored text holds the years 1 to 9999.
      if (d.year() < 1 || d.year() > 9999)
        throw EDBEngineError(DBIERR_OUTOFRANGE, QString("%1 n'est pas une valeur correcte pour le champ « %2 ». "
                                                        "Les dates permises vont du 01/01/0001 au 31/12/9999.")
                                                    .arg(d.toString(Qt::ISODate), fi.name));
      return d;
    }
    case ftDateTime: return v.toDateTime();
    default: return v;
  }
}

void TDataSet::SetFieldValue(int index, const QVariant& v) {
  if (state_ != dsEdit && state_ != dsInsert)
    throw EDatabaseError(QString("%1 : la table n'est pas en modification ni en ajout").arg(NameInErrors()));
  TField* f = fields_[index].get();
  if (f->ReadOnly || infos_[index].type == ftAutoInc)
    throw EDatabaseError(QString("Le champ « %1 » ne peut pas être modifié").arg(f->FieldName()));
  buf_.values[index] = NormalizeValue(index, v);
  changed_[index] = true;
  modified_ = true;
  NotifyRecord(f);
}

// ---- notifications ----

void TDataSet::NotifyState() {
  if (disableCount_ > 0) return;
  if (OnStateChange) OnStateChange(*this);
  for (TDataLink* l : std::vector<TDataLink*>(links_))
    if (std::find(links_.begin(), links_.end(), l) != links_.end()) l->StateChanged();
}

void TDataSet::NotifyRecord(TField* f) {
  if (disableCount_ > 0) {
    pendingChange_ = true;
    return;
  }
  if (OnDataChange) OnDataChange(*this, f);
  for (TDataLink* l : std::vector<TDataLink*>(links_))
    if (std::find(links_.begin(), links_.end(), l) != links_.end()) l->RecordChanged(f);
}

void TDataSet::NotifyScrolled(int distance) {
  if (disableCount_ > 0) {
    pendingChange_ = true;
    return;
  }
  if (OnDataChange) OnDataChange(*this, nullptr);
  for (TDataLink* l : std::vector<TDataLink*>(links_))
    if (std::find(links_.begin(), links_.end(), l) != links_.end()) l->DataSetScrolled(distance);
}

void TDataSet::NotifyDataSetChanged() {
  if (disableCount_ > 0) {
    pendingChange_ = true;
    return;
  }
  if (OnDataChange) OnDataChange(*this, nullptr);
  for (TDataLink* l : std::vector<TDataLink*>(links_))
    if (std::find(links_.begin(), links_.end(), l) != links_.end()) l->DataSetChanged();
}

void TDataSet::SetState(TDataSetState s) {
  if (state_ == s) return;
  const bool activeChanged = (state_ == dsInactive) != (s == dsInactive);
  state_ = s;
  if (activeChanged && disableCount_ == 0)
    for (TDataLink* l : std::vector<TDataLink*>(links_))
      if (std::find(links_.begin(), links_.end(), l) != links_.end()) l->ActiveChanged();
  NotifyState();
}

void TDataSet::DisableControls() {
  if (disableCount_++ == 0) {
    stateAtDisable_ = state_;
    pendingChange_ = false;
  }
}

void TDataSet::EnableControls() {
  if (disableCount_ == 0) return;
  if (--disableCount_ > 0) return;
  if (stateAtDisable_ != state_) {
    if ((stateAtDisable_ == dsInactive) != (state_ == dsInactive))
      for (TDataLink* l : std::vector<TDataLink*>(links_))
        if (std::find(links_.begin(), links_.end(), l) != links_.end()) l->ActiveChanged();
    NotifyState();
  }
  if (state_ != dsInactive) NotifyDataSetChanged();
  pendingChange_ = false;
}

void TDataSet::DoAfterScroll(int distance) {
  NotifyScrolled(distance);
  if (AfterScroll) AfterScroll(*this);
}

// ---- open and close ----

void TDataSet::Open() {
  if (Active()) return;
  if (BeforeOpen) BeforeOpen(*this);
  std::vector<FieldInfo> infos = DoOpen();
  bool same = infos.size() == infos_.size() && infos.size() == fields_.size();
  for (size_t i = 0; same && i < infos.size(); ++i)
    same = infos[i].name == infos_[i].name && infos[i].type == infos_[i].type && infos[i].size == infos_[i].size;
  infos_ = infos;
  locateFields_.clear();
  locateIdx_.clear();
  if (!same) {
    fieldByName_.clear();
    fields_.clear();
    for (size_t i = 0; i < infos_.size(); ++i)
      fields_.push_back(std::make_unique<TField>(this, int(i), infos_[i].name, infos_[i].type, infos_[i].size));
  }
  changed_.assign(infos_.size(), false);
  modified_ = false;
  try {
    if (filtered_) DoFilterChanged();
    hasCur_ = DoFirst(cur_);
  } catch (...) {
    DoClose();
    throw;
  }
  bof_ = true;
  eof_ = !hasCur_;
  SetState(dsBrowse);
  NotifyDataSetChanged();
  if (AfterOpen) AfterOpen(*this);
  if (hasCur_ && AfterScroll) AfterScroll(*this);
}

void TDataSet::Close() {
  if (!Active()) return;
  if (BeforeClose) BeforeClose(*this);
  SetState(dsInactive);
  hasCur_ = false;
  bof_ = eof_ = true;
  modified_ = false;
  cur_ = Record();
  buf_ = Record();
  DoClose();
  if (AfterClose) AfterClose(*this);
}

// ---- navigation ----

void TDataSet::First() {
  CheckBrowseMode();
  if (BeforeScroll) BeforeScroll(*this);
  Record r;
  hasCur_ = DoFirst(r);
  if (hasCur_) cur_ = r;
  bof_ = true;
  eof_ = !hasCur_;
  DoAfterScroll(0);
}

void TDataSet::Last() {
  CheckBrowseMode();
  if (BeforeScroll) BeforeScroll(*this);
  Record r;
  hasCur_ = DoLast(r);
  if (hasCur_) cur_ = r;
  eof_ = true;
  bof_ = !hasCur_;
  DoAfterScroll(0);
}

int TDataSet::MoveBy(int distance) {
  CheckBrowseMode();
  if (distance == 0) return 0;
  if ((distance > 0 && eof_) || (distance < 0 && bof_)) return 0;
  if (BeforeScroll) BeforeScroll(*this);
  int moved = 0;
  if (!hasCur_) {
    eof_ = bof_ = true;
  } else if (distance > 0) {
    bof_ = false;
    while (moved < distance) {
      Record r;
      if (!DoNext(cur_, r)) {
        eof_ = true;
        break;
      }
      cur_ = r;
      moved++;
    }
  } else {
    eof_ = false;
    while (moved > distance) {
      Record r;
      if (!DoPrior(cur_, r)) {
        bof_ = true;
        break;
      }
      cur_ = r;
      moved--;
    }
  }
  DoAfterScroll(moved);
  return moved;
}

void TDataSet::Next() { MoveBy(1); }
void TDataSet::Prior() { MoveBy(-1); }

bool TDataSet::IsEmpty() {
  if (state_ == dsInsert) return false;
  return !hasCur_;
}

int TDataSet::RecordCount() {
  CheckActive();
  return DoRecordCount();
}

int TDataSet::RecNo() {
  CheckActive();
  if (state_ == dsInsert || !hasCur_) return 0;
  return DoRecNo(cur_);
}

void TDataSet::SetRecNo(int recNo) {
  CheckBrowseMode();
  Record r;
  if (recNo < 1 || !DoSeek(recNo - 1, r)) return;
  if (BeforeScroll) BeforeScroll(*this);
  cur_ = r;
  hasCur_ = true;
  bof_ = eof_ = false;
  DoAfterScroll(0);
}

std::vector<QList<QVariant>> TDataSet::ReadRows(int first, int count) {
  CheckActive();
  std::vector<QList<QVariant>> out;
  if (count <= 0 || first < 0) return out;
  for (Record& r : DoReadRows(first, count)) out.push_back(std::move(r.values));
  return out;
}

void TDataSet::Refresh() {
  CheckBrowseMode();
  DoRefresh();
  Resync();
}

void TDataSet::Resync() {
  if (!Active()) return;
  if (hasCur_) {
    Record r = cur_;
    if (DoReread(r)) {
      cur_ = r;
    } else {
      Record n;
      if (DoNext(cur_, n)) {
        cur_ = n;
      } else if (DoPrior(cur_, n)) {
        cur_ = n;
      } else {
        hasCur_ = false;
      }
    }
  } else {
    hasCur_ = DoFirst(cur_);
  }
  bof_ = false;
  eof_ = !hasCur_;
  if (!hasCur_) bof_ = true;
  NotifyDataSetChanged();
}

// ---- editing ----

// ---- bookmarks ----

TBookmark TDataSet::GetBookmark() {
  CheckActive();
  TBookmark b;
  if (hasCur_ && state_ != dsInsert) {
    b.id = cur_.id;
    b.valid = true;
  }
  return b;
}

void TDataSet::GotoBookmark(const TBookmark& bm) {
  CheckBrowseMode();
  if (!bm.valid) return;
  Record r;
  if (!DoGoto(bm.id, r)) throw EDBEngineError(DBIERR_KEYDELETED);
  if (BeforeScroll) BeforeScroll(*this);
  cur_ = r;
  hasCur_ = true;
  bof_ = eof_ = false;
  DoAfterScroll(0);
}

bool TDataSet::BookmarkValid(const TBookmark& bm) {
  if (!Active() || !bm.valid) return false;
  Record r;
  return DoGoto(bm.id, r);
}
