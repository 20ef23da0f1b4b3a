// TQuery: runs the local SQL on the connection that holds its tables. A SELECT's rows are read
// at Open into a row store and the tables let go at once, so a query never holds a table another
// part of the program wants; the rows are then browsed, filtered and located in the store.
#include "platform/db/Query.h"

#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <optional>
#include <sqlite3.h>

#include "platform/db/EngineCore.h"
#include "platform/db/Filter.h"
#include "platform/db/RowStore.h"
#include "platform/db/SqlDialect.h"

using namespace dbe;

class QueryEngine {
 public:
  std::unique_ptr<LocalSql> sql;
  QStringList paths;  // per table reference
  std::shared_ptr<FilterExpr> filter;
  std::unique_ptr<RowStore> rows;  // the result of a SELECT
  // How a stored value becomes a field value: the field it comes from, else its computed type.
  std::vector<std::optional<FLDDesc>> origins;
  std::vector<TFieldType> computed;
};

namespace {


QString FirstWord(const QString& text) {
  static const QRegularExpression re("^\\s*([A-Za-z]+)");
  return re.match(text).captured(1).toUpper();
}

}  // namespace

// ---- SQL text ----

void TSQLStrings::Add(const QString& line) {
  lines_ << line;
  if (changed_) changed_();
}

void TSQLStrings::Clear() {
  lines_.clear();
  if (changed_) changed_();
}

void TSQLStrings::SetText(const QString& text) {
  lines_ = text.isEmpty() ? QStringList() : text.split('\n');
  if (changed_) changed_();
}

// ---- TQuery ----

TQuery::TQuery(const QString& name) : TDataSet(name), engine_(std::make_unique<QueryEngine>()) {
  SQL.changed_ = [this] { SqlChanged(); };
}

TQuery::~TQuery() { SQL.changed_ = nullptr; }

void TQuery::SetDatabaseName(const QString& folder) {
  if (folder == databaseName_) return;
  if (Active()) CheckInactive();
  databaseName_ = folder;
  UnPrepare();
}

void TQuery::SqlChanged() {
  Close();
  UnPrepare();
  ParseParams();
}

void TQuery::ParseParams() {
  const QString s = SQL.Text();
  QStringList names;
  QSet<QString> seenNames;  // upper case: a statement of many rows names the same few again
  for (int i = 0; i < s.size(); ++i) {
    const QChar c = s[i];
    if (c == '\'' || c == '"') {
      const int j = s.indexOf(c, i + 1);
      if (j < 0) break;
      i = j;
      continue;
    }
    if (c == ':' && i + 1 < s.size() && (s[i + 1].isLetter() || s[i + 1] == '_')) {
      int j = i + 1;
      while (j < s.size() && (s[j].isLetterOrNumber() || s[j] == '_')) ++j;
      const QString n = s.mid(i + 1, j - i - 1);
      const QString key = n.toUpper();
      if (!seenNames.contains(key)) {
        seenNames.insert(key);
        names << n;
      }
      i = j - 1;
    }
  }
  std::vector<std::unique_ptr<TParam>> params;
  for (const QString& n : names) {
    auto p = std::make_unique<TParam>(n);
    if (TParam* old = FindParam(n)) p->SetValue(old->GetValue());
    params.push_back(std::move(p));
  }
  params_ = std::move(params);
}

TParam* TQuery::FindParam(const QString& name) {
  for (auto& p : params_)
    if (p->Name().compare(name.trimmed(), Qt::CaseInsensitive) == 0) return p.get();
  return nullptr;
}

TParam* TQuery::ParamByName(const QString& name) {
  TParam* p = FindParam(name);
  if (!p) throw EDatabaseError(QString("%1 : paramètre « %2 » introuvable").arg(Name.isEmpty() ? QString("query") : Name, name));
  return p;
}

void TQuery::Prepare() {
  if (prepared_) return;
  auto sql = std::make_unique<LocalSql>(SQL.Text());
  QStringList paths;
  for (const QString& n : sql->TableNames()) {
    const QString p = Dbi::FindTableFile(databaseName_, n);
    if (p.isEmpty()) Raise(DBIERR_NOSUCHTABLE, QString("Table : %1").arg(n));
    paths << p;
  }
  engine_->sql = std::move(sql);
  engine_->paths = paths;
  prepared_ = true;
}

void TQuery::UnPrepare() {
  prepared_ = false;
  engine_->sql.reset();
  engine_->paths.clear();
}

namespace {

struct Opened {
  std::vector<TableFile*> files;  // distinct
  std::vector<int> ofRef;         // file per table reference
  ~Opened() {
    for (TableFile* f : files) Engine::Get().Close(f);
  }
};

}  // namespace

std::vector<TDataSet::FieldInfo> TQuery::DoOpen() {
  engine_->rows.reset();
  visible_.clear();
  Prepare();
  std::vector<FieldInfo> infos;
  {
    Opened op;
    for (const QString& p : engine_->paths) {
      int found = -1;
      for (size_t i = 0; i < op.files.size(); ++i)
        if (Engine::PathKey(op.files[i]->path) == Engine::PathKey(p)) found = int(i);
      if (found < 0) {
        op.files.push_back(Engine::Get().Open(p, Engine::Mode::Shared));
        found = int(op.files.size()) - 1;
      }
      op.ofRef.push_back(found);
    }
    const bool select = FirstWord(SQL.Text()) == "SELECT";
    Conn* c = op.files.empty() ? nullptr : Engine::Get().Colocate(op.files, !select);
    if (!c) Raise(DBIERR_SQLERROR, "L'instruction ne nomme aucune table.\n" + SQL.Text());
    QSet<QString> dates;
    for (TableFile* f : op.files)
      for (const FLDDesc& fd : f->meta.fields)
        if (fd.iFldType == fldDATE) dates.insert(fd.szName.toUpper());
    QStringList dateParams;
    QHash<QString, QString> fitArgs;
    const QString text = engine_->sql->Translate([&](int r) { return op.files[op.ofRef[r]]->Q(); },
                                                 [&](const QString& col) { return dates.contains(col.toUpper()); },
                                                 &dateParams, [&](int r) {
                                                   QStringList names;
                                                   for (const FLDDesc& fd : op.files[op.ofRef[r]]->meta.fields)
                                                     names << fd.szName;
                                                   return names;
                                                 },
                                                 [&](int r, const QString& col) {
                                                   // The same few columns for every row of a long insert.
                                                   const QString key = QString::number(r) + '.' + col.toUpper();
                                                   auto known = fitArgs.constFind(key);
                                                   if (known != fitArgs.constEnd()) return *known;
                                                   const TableMeta& m = op.files[op.ofRef[r]]->meta;
                                                   const int fi = m.FieldIndex(col);
                                                   const QString a = fi < 0 ? QString() : FitArgs(m.fields[fi]);
                                                   fitArgs.insert(key, a);
                                                   return a;
                                                 });
    try {
      Stmt s(c, text);
      for (int i = 1; i <= sqlite3_bind_parameter_count(s.Raw()); ++i) {
        const char* pn = sqlite3_bind_parameter_name(s.Raw(), i);
        if (!pn) continue;
        const QString name = QString::fromUtf8(pn + 1);
        TParam* p = FindParam(name);
        QVariant v = p ? p->GetValue() : QVariant();
        if (dateParams.contains(name.toUpper())) {
          // A date given as text ("05/03/2005") or with a time is bound as the stored date.
          if (v.typeId() == QMetaType::QString) {
            if (auto d = TryStrToDate(v.toString())) v = *d;
            else if (v.toString().trimmed().isEmpty()) v = QVariant();
            else if (const QDate iso = DateFromIso(v.toString().trimmed()); iso.isValid()) v = iso;
            else  // compared as text it would match what it should not
              Raise(DBIERR_SQLERROR, QString("« %1 » n'est pas une date correcte pour le paramètre :%2.")
                                         .arg(v.toString(), name));
          } else if (v.typeId() == QMetaType::QDateTime) {
            v = v.toDateTime().date();
          }
        }
        s.Bind(i, v);
      }
      if (!select)
        for (TableFile* f : op.files) Engine::Get().BeforeWrite(f);
      else
        Engine::Get().BeforeRead(op.files.front());
      const int nc = s.Columns();
      std::vector<const FLDDesc*> origin(nc, nullptr);
      QStringList names;
      for (int i = 0; i < nc; ++i) {
        const char* db = sqlite3_column_database_name(s.Raw(), i);
        const char* col = sqlite3_column_origin_name(s.Raw(), i);
        if (db && col)
          for (TableFile* f : op.files)
            if (f->alias == QString::fromUtf8(db)) {
              const int fi = f->meta.FieldIndex(QString::fromUtf8(col));
              if (fi >= 0) origin[i] = &f->meta.fields[fi];
            }
        QString name = QString::fromUtf8(sqlite3_column_name(s.Raw(), i));
        QString unique = name;
        for (int n = 1; names.contains(unique, Qt::CaseInsensitive); ++n) unique = QString("%1_%2").arg(name).arg(n);
        names << unique;
      }
      // A computed column is typed by its values (an ISO date text is a date).
      std::vector<char> anyText(nc, 0), anyReal(nc, 0), anyInt(nc, 0), allIso(nc, 1);
      auto rows = std::make_unique<RowStore>(nc);
      while (s.Step()) {
        for (int i = 0; i < nc; ++i) {
          if (origin[i]) continue;
          switch (sqlite3_column_type(s.Raw(), i)) {
            case SQLITE_NULL: break;
            case SQLITE_TEXT: {
              anyText[i] = 1;
              if (allIso[i]) {
                const char* t = reinterpret_cast<const char*>(sqlite3_column_text(s.Raw(), i));
                allIso[i] = sqlite3_column_bytes(s.Raw(), i) == 10 && DateFromIso(QString::fromLatin1(t, 10)).isValid();
              }
              break;
            }
            case SQLITE_FLOAT: anyReal[i] = 1; break;
            default: anyInt[i] = 1;
          }
        }
        rows->Append(s.Raw());
      }
      rowsAffected_ = select ? rows->Count() : sqlite3_changes(c->db);
      if (!select)
        for (TableFile* f : op.files) Engine::Get().AfterWrite(f);
      engine_->origins.assign(nc, std::nullopt);
      engine_->computed.assign(nc, ftUnknown);
      for (int i = 0; i < nc; ++i) {
        FieldInfo fi;
        fi.name = names[i];
        if (origin[i]) {
          engine_->origins[i] = *origin[i];
          fi.type = FieldTypeOf(*origin[i]);
          fi.size = origin[i]->iFldType == fldZSTRING ? origin[i]->iUnits1 : 0;
        } else {
          if (anyText[i] && !anyReal[i] && !anyInt[i] && allIso[i]) fi.type = ftDate;
          else if (anyText[i]) fi.type = ftString;
          else if (anyReal[i]) fi.type = ftFloat;
          else fi.type = ftInteger;
          engine_->computed[i] = fi.type;
        }
        infos.push_back(fi);
      }
      engine_->rows = std::move(rows);
    } catch (const EDBEngineError& e) {
      if (e.ErrorCode() == DBIERR_SQLERROR) throw EDBEngineError(e.ErrorCode(), e.Message().section('\n', 0, 1) + "\n" + SQL.Text());
      throw;
    }
  }
  return infos;
}

void TQuery::ExecSQL() {
  Close();
  DoOpen();
  engine_->rows.reset();
  visible_.clear();
}

void TQuery::DoClose() {
  engine_->rows.reset();
  visible_.clear();
  visible_.shrink_to_fit();
  engine_->filter.reset();
}

int TQuery::RowCount() const { return engine_->rows ? engine_->rows->Count() : 0; }

QList<QVariant> TQuery::RowAt(int row) {
  QList<QVariant> r = engine_->rows->Row(row);
  for (int i = 0; i < r.size(); ++i) {
    QVariant& v = r[i];
    if (v.isNull()) continue;
    if (engine_->origins[i]) {
      v = FromStorage(*engine_->origins[i], v);
      continue;
    }
    switch (engine_->computed[i]) {
      case ftDate: v = DateFromIso(v.toString()); break;
      case ftString: v = v.toString(); break;
      case ftFloat: v = v.toDouble(); break;
      default: break;
    }
  }
  return r;
}

void TQuery::DoFilterChanged() {
  engine_->filter.reset();
  filterActive_ = false;
  visible_.clear();
  if (!Filtered()) return;
  if (!Filter().trimmed().isEmpty()) {
    engine_->filter = FilterExpr::Parse(Filter(), [&](const QString& n) {
      FilterExpr::FieldRef r;
      if (TField* f = FindField(n)) {
        r.index = f->Index();
        r.type = f->DataType();
      }
      return r;
    });
  }
  if (!engine_->filter && !OnFilterRecord) return;
  filterActive_ = true;
  const int n = RowCount();
  for (int i = 0; i < n; ++i) {
    Record r{RowAt(i), i};
    if (engine_->filter && !engine_->filter->Evaluate(r.values)) continue;
    if (!AcceptRecord(r)) continue;
    visible_.push_back(i);
  }
}

bool TQuery::Visible(int row) {
  if (row < 0 || row >= RowCount()) return false;
  if (!filterActive_) return true;
  return std::binary_search(visible_.begin(), visible_.end(), row);
}

namespace {
int PosOf(const std::vector<int>& visible, bool filtered, int row) {
  if (!filtered) return row;
  auto it = std::lower_bound(visible.begin(), visible.end(), row);
  return int(it - visible.begin());
}
}  // namespace

bool TQuery::DoFirst(Record& out) { return DoSeek(0, out); }

bool TQuery::DoLast(Record& out) {
  const int n = DoRecordCount();
  return n > 0 && DoSeek(n - 1, out);
}

bool TQuery::DoNext(const Record& from, Record& out) {
  const int pos = PosOf(visible_, filterActive_, int(from.id));
  const bool here = Visible(int(from.id));
  return DoSeek(here ? pos + 1 : pos, out);
}

bool TQuery::DoPrior(const Record& from, Record& out) {
  const int pos = PosOf(visible_, filterActive_, int(from.id));
  return pos > 0 && DoSeek(pos - 1, out);
}

bool TQuery::DoReread(Record& rec) {
  if (!Visible(int(rec.id))) return false;
  rec.values = RowAt(int(rec.id));
  return true;
}

bool TQuery::DoGoto(int64_t id, Record& out) {
  if (!Visible(int(id))) return false;
  out = Record{RowAt(int(id)), id};
  return true;
}

int TQuery::DoRecordCount() { return filterActive_ ? int(visible_.size()) : RowCount(); }
int TQuery::DoRecNo(const Record& rec) { return PosOf(visible_, filterActive_, int(rec.id)) + 1; }

bool TQuery::DoSeek(int index, Record& out) {
  if (index < 0 || index >= DoRecordCount()) return false;
  const int row = filterActive_ ? visible_[index] : index;
  out = Record{RowAt(row), row};
  return true;
}

std::vector<TDataSet::Record> TQuery::DoReadRows(int first, int count) {
  std::vector<Record> out;
  Record r;
  for (int i = first; i < first + count && DoSeek(i, r); ++i) out.push_back(r);
  return out;
}

bool TQuery::DoLocate(const std::vector<int>& fields, const QList<QVariant>& values, TLocateOptions options,
                      Record& out) {
  QList<QVariant> want;
  for (size_t i = 0; i < fields.size(); ++i) {
    try {
      want << NormalizeValue(fields[i], values[int(i)]);
    } catch (const Exception&) {
      return false;
    }
  }
  const int n = DoRecordCount();
  for (int k = 0; k < n; ++k) {
    const int row = filterActive_ ? visible_[k] : k;
    const QList<QVariant> values = RowAt(row);
    bool match = true;
    for (size_t i = 0; i < fields.size() && match; ++i) {
      const QVariant& have = values[fields[i]];
      const QVariant& w = want[int(i)];
      const TFieldType t = Info(fields[i]).type;
      if (w.isNull() || have.isNull()) {
        match = w.isNull() && have.isNull();
      } else if (t == ftString) {
        const Qt::CaseSensitivity cs = (options & loCaseInsensitive) ? Qt::CaseInsensitive : Qt::CaseSensitive;
        match = (options & loPartialKey) ? have.toString().startsWith(w.toString(), cs)
                                         : have.toString().compare(w.toString(), cs) == 0;
      } else {
        match = CompareValues(have, w, t) == 0;
      }
    }
    if (match) {
      out = Record{values, row};
      return true;
    }
  }
  return false;
}

void TQuery::DoCheckWritable() {
  throw EDatabaseError(QString("%1 : une requête ne se modifie pas").arg(Name.isEmpty() ? QString("query") : Name));
}

void TQuery::DoPost(Record&, bool, const std::vector<bool>&) { DoCheckWritable(); }
void TQuery::DoDelete(const Record&) { DoCheckWritable(); }

void TQuery::DoRefresh() {
  DoOpen();
  DoFilterChanged();
}
