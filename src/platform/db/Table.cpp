// TTable: a table file as a dataset, over a keyset cursor (KeysetCursor.h).
#include "platform/db/Table.h"

#include <QDir>
#include <QFileInfo>

#include "platform/db/KeysetCursor.h"
#include "platform/db/Filter.h"

using namespace dbe;

// ---- master-detail ----

class TTable::MasterLink : public TDataLink {
 public:
  MasterLink(TTable* detail, TDataSet* master, const QString& fields) : fields_(fields), detail_(detail) {
    SetDataSet(master);
  }
  void ActiveChanged() override { Follow(); }
  void DataSetChanged() override { Follow(); }
  void DataSetScrolled(int) override { Follow(); }
  void DataSetDestroyed() override {}
  QString fields_;

 private:
  void Follow() {
    if (!detail_ || !detail_->Active() || busy_) return;
    busy_ = true;
    try {
      detail_->ApplyMaster();
      detail_->First();
    } catch (...) {
      busy_ = false;
      throw;
    }
    busy_ = false;
  }
  TTable* detail_;
  bool busy_ = false;
};

// ---- TTable ------------------------------------------------------------------------------------

TTable::TTable(const QString& name) : TDataSet(name) {}

TTable::~TTable() {
  master_.reset();
  if (cursor_ && cursor_->f) {
    Engine::Get().Close(cursor_->f);
    cursor_->f = nullptr;
  }
}

void TTable::SetDatabaseName(const QString& folder) {
  if (Active() && folder != databaseName_) CheckInactive();
  databaseName_ = folder;
}

void TTable::SetTableName(const QString& name) {
  if (Active() && name != tableName_) CheckInactive();
  tableName_ = name;
}

void TTable::SetExclusive(bool on) {
  if (Active() && on != exclusive_) CheckInactive();
  exclusive_ = on;
}

void TTable::SetReadOnly(bool on) {
  if (Active() && on != readOnly_) CheckInactive();
  readOnly_ = on;
}

QString TTable::FilePath() const {
  const QString found = Dbi::FindTableFile(databaseName_, tableName_);
  if (!found.isEmpty()) return found;
  QString n = tableName_;
  if (!QFileInfo(n).fileName().contains('.')) n += ".DB";
  return QDir::cleanPath((databaseName_.isEmpty() ? QDir::currentPath() : databaseName_) + "/" + n);
}

bool TTable::Exists() const { return !Dbi::FindTableFile(databaseName_, tableName_).isEmpty(); }

void TTable::ApplyOrder() {
  TableCursor& c = *cursor_;
  const TableMeta& m = c.f->meta;
  std::vector<TableCursor::OrderCol> order;
  auto fromIndex = [&](const IndexMeta& x, int nfields) {
    for (int i = 0; i < nfields && i < int(x.desc.aiKeyFld.size()); ++i) {
      const int fld = x.desc.aiKeyFld[i] - 1;
      order.push_back({fld, x.desc.bCaseInsensitive && m.fields[fld].iFldType == fldZSTRING, x.desc.bDescending});
    }
  };
  if (!indexFieldNames_.trimmed().isEmpty()) {
    std::vector<int> flds;
    for (const QString& n : indexFieldNames_.split(';', Qt::SkipEmptyParts)) {
      const int i = m.FieldIndex(n.trimmed());
      if (i < 0) throw EDatabaseError(QString("%1 : champ « %2 » introuvable").arg(Name.isEmpty() ? tableName_ : Name, n.trimmed()));
      flds.push_back(i);
    }
    const IndexMeta* match = nullptr;
    for (const IndexMeta& x : m.indexes) {
      if (x.desc.aiKeyFld.size() < flds.size()) continue;
      bool same = true;
      for (size_t i = 0; i < flds.size() && same; ++i) same = x.desc.aiKeyFld[i] - 1 == flds[i];
      if (same && (!match || x.desc.aiKeyFld.size() < match->desc.aiKeyFld.size())) match = &x;
    }
    if (match) {
      fromIndex(*match, int(flds.size()));
    } else {
      for (int fld : flds) order.push_back({fld, false, false});
    }
  } else if (!indexName_.trimmed().isEmpty()) {
    const IndexMeta* match = nullptr;
    for (const IndexMeta& x : m.indexes)
      if (!x.desc.bPrimary && (x.desc.szName.compare(indexName_.trimmed(), Qt::CaseInsensitive) == 0 ||
                               (!x.desc.szTagName.isEmpty() &&
                                x.desc.szTagName.compare(indexName_.trimmed(), Qt::CaseInsensitive) == 0)))
        match = &x;
    if (!match) Raise(DBIERR_NOSUCHINDEX, QString("Index : %1\nTable : %2").arg(indexName_, c.f->path));
    fromIndex(*match, int(match->desc.aiKeyFld.size()));
  } else {
    for (const IndexMeta& x : m.indexes)
      if (x.desc.bPrimary) fromIndex(x, int(x.desc.aiKeyFld.size()));
  }
  const bool lastDesc = !order.empty() && order.back().desc;
  order.push_back({-1, false, lastDesc});
  c.order = order;
  c.Changed();
}

void TTable::ApplyMaster() {
  if (!cursor_ || !cursor_->f) return;
  TableCursor& c = *cursor_;
  c.masterSql.clear();
  c.masterBinds.clear();
  c.masterEmpty = false;
  if (master_ && master_->DataSet() && master_->DataSet()->Active()) {
    TDataSet* m = master_->DataSet();
    const QStringList mf = master_->fields_.split(';', Qt::SkipEmptyParts);
    QStringList conds;
    if (m->IsEmpty()) c.masterEmpty = true;
    for (int i = 0; i < mf.size() && i + 1 < int(c.order.size()); ++i) {
      const TableCursor::OrderCol& o = c.order[i];
      const QVariant v = m->FieldByName(mf[i].trimmed())->Value();
      const QVariant sv = ToStorage(c.f->meta.fields[o.field], v);
      if (sv.isNull()) {
        conds << c.ColExpr(o) + " IS NULL";
      } else {
        conds << c.ColExpr(o) + " = ?";
        c.masterBinds << sv;
      }
    }
    c.masterSql = conds.join(" AND ");
  }
  c.Changed();
}

void TTable::SetMasterSource(TDataSet* master, const QString& masterFields) {
  master_.reset();
  if (master) master_ = std::make_unique<MasterLink>(this, master, masterFields);
  if (Active()) {
    CheckBrowseMode();
    ApplyMaster();
    First();
    NotifyDataSetChanged();
  }
}

void TTable::SetIndexName(const QString& name) {
  indexName_ = name;
  indexFieldNames_.clear();
  if (!Active()) return;
  CheckBrowseMode();
  ApplyOrder();
  ApplyMaster();
  Resync();
}

void TTable::SetIndexFieldNames(const QString& fields) {
  indexFieldNames_ = fields;
  indexName_.clear();
  if (!Active()) return;
  CheckBrowseMode();
  ApplyOrder();
  ApplyMaster();
  Resync();
}

std::vector<TDataSet::FieldInfo> TTable::DoOpen() {
  if (tableName_.trimmed().isEmpty()) throw EDatabaseError(QString("%1 : aucun nom de table").arg(Name));
  const QString path = Dbi::FindTableFile(databaseName_, tableName_);
  if (path.isEmpty()) Raise(DBIERR_NOSUCHTABLE, QString("Table : %1").arg(FilePath()));
  cursor_ = std::make_unique<TableCursor>();
  cursor_->t = this;
  cursor_->f = Engine::Get().Open(path, exclusive_ ? Engine::Mode::Exclusive : Engine::Mode::Shared);
  try {
    ApplyOrder();
    ApplyMaster();
  } catch (...) {
    Engine::Get().Close(cursor_->f);
    cursor_.reset();
    throw;
  }
  std::vector<FieldInfo> infos;
  for (const FLDDesc& f : cursor_->f->meta.fields)
    infos.push_back({f.szName, FieldTypeOf(f), f.iFldType == fldZSTRING ? int(f.iUnits1) : 0});
  return infos;
}

void TTable::DoClose() {
  if (cursor_) {
    if (cursor_->f) Engine::Get().Close(cursor_->f);
    cursor_.reset();
  }
}

void TTable::DoFilterChanged() {
  TableCursor& c = *cursor_;
  const QString oldSql = c.filterSql;
  const QList<QVariant> oldBinds = c.filterBinds;
  const bool oldCallback = c.callback;
  c.filterSql.clear();
  c.filterBinds.clear();
  c.callback = HasFilterCallback();
  if (Filtered() && !Filter().trimmed().isEmpty()) {
    const TableMeta& m = c.f->meta;
    auto expr = FilterExpr::Parse(Filter(), [&](const QString& n) {
      FilterExpr::FieldRef r;
      r.index = m.FieldIndex(n);
      if (r.index >= 0) r.type = FieldTypeOf(m.fields[r.index]);
      return r;
    });
    c.filterSql = expr->ToSql([&](int i) { return c.f->Col(i); }, c.filterBinds);
  }
  // Switching a filter that selects nothing on or off changes no row: the rows read stay good.
  if (c.filterSql != oldSql || c.filterBinds != oldBinds || c.callback != oldCallback) c.Changed();
}

void TTable::DoRefresh() { Engine::Get().CheckOthers(cursor_->f); }

void TTable::DoCheckWritable() {
  if (readOnly_) Raise(DBIERR_READONLY, QString("Table : %1").arg(cursor_->f->path));
}

bool TTable::DoFirst(Record& out) { return cursor_->First(out) && (cursor_->Mark(out), true); }
bool TTable::DoLast(Record& out) { return cursor_->Last(out) && (cursor_->Mark(out), true); }
bool TTable::DoNext(const Record& from, Record& out) { return cursor_->Next(from, out) && (cursor_->Mark(out), true); }
bool TTable::DoPrior(const Record& from, Record& out) { return cursor_->Prior(from, out) && (cursor_->Mark(out), true); }
bool TTable::DoReread(Record& rec) {
  if (cursor_->Fresh(rec) && !HasFilterCallback()) return true;  // read at this very state of the file
  return cursor_->ById(rec.id, rec) && (cursor_->Mark(rec), true);
}
bool TTable::DoGoto(int64_t id, Record& out) { return cursor_->ById(id, out) && (cursor_->Mark(out), true); }
int TTable::DoRecordCount() { return cursor_->RecordCount(); }
int TTable::DoRecNo(const Record& rec) { return cursor_->RecNo(rec); }
bool TTable::DoSeek(int index, Record& out) {
  auto rows = cursor_->Rows(index, 1);
  if (rows.empty()) return false;
  out = rows.front();
  return true;
}
std::vector<TDataSet::Record> TTable::DoReadRows(int first, int count) { return cursor_->Rows(first, count); }
