// TTable: a keyset cursor. The current record is known by its key in the current order (index
// fields, then the row id); every move asks the file for the next few rows after or before that
// key, so a table of millions of rows opens and moves at once and sees what others stored.
#include "platform/db/Table.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <sqlite3.h>
#include <unordered_map>

#include "platform/db/EngineCore.h"
#include "platform/db/GroupCommit.h"
#include "platform/db/Filter.h"

using namespace dbe;

namespace {

constexpr int kPage = 64;       // rows read ahead while walking
constexpr int kFirstPage = 2;   // after a jump to an end: most walks from there are short


}  // namespace

// ---- the cursor --------------------------------------------------------------------------------

class TableCursor {
 public:
  using Record = TDataSet::Record;
  struct OrderCol {
    int field;    // -1: the row id
    bool nocase;
    bool desc;
  };

  TTable* t = nullptr;
  TableFile* f = nullptr;
  std::vector<OrderCol> order;  // ends with the row id
  QString filterSql;
  QList<QVariant> filterBinds;
  QString masterSql;
  QList<QVariant> masterBinds;
  bool masterEmpty = false;  // master without a record: nothing visible
  bool callback = false;     // OnFilterRecord applies

  std::vector<Record> page;
  bool atStart = false, atEnd = false;
  uint64_t pageVersion = 0;
  uint64_t cfg = 1;
  uint64_t pageCfg = 0;
  int hint = 0;

  int countCache = -1;
  uint64_t countVersion = 0, countCfg = 0;

  void Changed() {
    cfg++;
    page.clear();
  }
  void Reset() { pc = Pieces(); }

  // SQL pieces, rebuilt when the order, the filter or the file's connection changes.
  struct Pieces {
    QString alias;
    uint64_t cfg = 0;
    QString coll;  // the file's case-insensitive collation
    QString cols, from, orderFwd, orderRev, where;
    QList<QVariant> whereBinds;
    std::vector<QString> colExpr;  // per order column
    QString insert, update, del, byId;
    std::vector<QString> fieldCol;  // quoted field names
  };
  mutable Pieces pc;

  const Pieces& P() const {
    if (pc.alias == f->alias && pc.cfg == cfg && pc.coll == f->meta.ciCollation && !pc.cols.isEmpty()) return pc;
    Pieces p;
    p.coll = f->meta.ciCollation;
    p.alias = f->alias;
    p.cfg = cfg;
    QStringList c{"rowid"};
    for (size_t i = 0; i < f->meta.fields.size(); ++i) {
      p.fieldCol.push_back(f->Col(int(i)));
      c << p.fieldCol.back();
    }
    p.cols = c.join(", ");
    p.from = f->Q();
    QStringList fwd, rev;
    for (const OrderCol& o : order) {
      QString e = o.field < 0 ? QString("rowid") : p.fieldCol[o.field];
      if (o.nocase) e += " COLLATE " + p.coll;
      p.colExpr.push_back(e);
      fwd << e + (o.desc ? " DESC" : "");
      rev << e + (o.desc ? "" : " DESC");
    }
    p.orderFwd = fwd.join(", ");
    p.orderRev = rev.join(", ");
    QStringList w;
    if (!filterSql.isEmpty()) {
      w << filterSql;
      p.whereBinds << filterBinds;
    }
    if (!masterSql.isEmpty()) {
      w << masterSql;
      p.whereBinds << masterBinds;
    }
    p.where = w.join(" AND ");
    pc = std::move(p);
    return pc;
  }

  QString ColExpr(const OrderCol& o) const {
    for (size_t i = 0; i < order.size(); ++i)
      if (order[i].field == o.field && order[i].nocase == o.nocase) return P().colExpr[i];
    QString c = o.field < 0 ? QString("rowid") : f->Col(o.field);
    if (o.nocase) c += " COLLATE " + f->meta.ciCollation;
    return c;
  }

  QVariant KeyValue(const Record& r, const OrderCol& o) const {
    if (o.field < 0) return qlonglong(r.id);
    return ToStorage(f->meta.fields[o.field], r.values.value(o.field));
  }

  QString OrderBy(bool reverse) const { return reverse ? P().orderRev : P().orderFwd; }

  // The fixed conditions (filter, master) with their values.
  QString Where(QList<QVariant>& binds) const {
    const Pieces& p = P();
    binds << p.whereBinds;
    return p.where;
  }

  Record Read(Stmt& s) const {
    Record r;
    r.id = s.Int(0);
    r.values.reserve(int(f->meta.fields.size()));
    for (size_t i = 0; i < f->meta.fields.size(); ++i) r.values << FromStorage(f->meta.fields[i], s.Value(int(i) + 1));
    return r;
  }

  QString SelectSql(const QString& extra, bool reverse, int limit, int offset = 0) const {
    const Pieces& p = P();
    QString sql;
    sql.reserve(320);
    sql += "SELECT ";
    sql += p.cols;
    sql += " FROM ";
    sql += p.from;
    if (!p.where.isEmpty() || !extra.isEmpty()) {
      sql += " WHERE ";
      sql += p.where;
      if (!p.where.isEmpty() && !extra.isEmpty()) sql += " AND ";
      sql += extra;
    }
    sql += " ORDER BY ";
    sql += reverse ? p.orderRev : p.orderFwd;
    if (limit >= 0) sql += " LIMIT " + QString::number(limit);
    if (offset > 0) sql += " OFFSET " + QString::number(offset);
    return sql;
  }

  // Runs a SELECT made by SelectSql; the filter's values come first.
  std::vector<Record> Run(const QString& sql, const QList<QVariant>& extraBinds, StmtSlot* slot = nullptr) const {
    std::vector<Record> out;
    if (masterEmpty) return out;
    Engine::Get().BeforeRead(f);
    Stmt s(f->conn, sql, slot);
    const QList<QVariant>& wb = P().whereBinds;
    s.BindAll(wb);
    s.BindAll(extraBinds, int(wb.size()) + 1);
    while (s.Step()) out.push_back(Read(s));
    return out;
  }

  std::vector<Record> Select(const QString& extra, const QList<QVariant>& extraBinds, bool reverse, int limit,
                             int offset = 0) const {
    if (masterEmpty) return {};
    return Run(SelectSql(extra, reverse, limit, offset), extraBinds);
  }

  // Position in the current order: <0, 0, >0 as a comes before, is, or comes after b.
  int CompareKey(const Record& a, const Record& b) const {
    for (const OrderCol& o : order) {
      int c;
      if (o.field < 0) {
        c = a.id < b.id ? -1 : (a.id > b.id ? 1 : 0);
      } else {
        const QVariant& x = a.values[o.field];
        const QVariant& y = b.values[o.field];
        if (x.isNull() || y.isNull()) {
          c = x.isNull() == y.isNull() ? 0 : (x.isNull() ? -1 : 1);
        } else if (x.typeId() == QMetaType::QString) {
          c = !o.nocase ? x.toString().compare(y.toString())
              : f->meta.ciCollation == "NOCASE" ? AsciiFoldCompare(x.toString(), y.toString())
                                                : ZCompare(x.toString(), y.toString());
          c = c < 0 ? -1 : (c > 0 ? 1 : 0);
        } else if (x.typeId() == QMetaType::QDate) {
          c = x.toDate() < y.toDate() ? -1 : (y.toDate() < x.toDate() ? 1 : 0);
        } else {
          const double u = x.toDouble(), v = y.toDouble();
          c = u < v ? -1 : (u > v ? 1 : 0);
        }
      }
      if (c != 0) return o.desc ? -c : c;
    }
    return 0;
  }

  static int AsciiFoldCompare(const QString& a, const QString& b) {
    const int n = std::min(a.size(), b.size());
    for (int i = 0; i < n; ++i) {
      ushort x = a[i].unicode(), y = b[i].unicode();
      if (x >= 'A' && x <= 'Z') x += 32;
      if (y >= 'A' && y <= 'Z') y += 32;
      if (x != y) return x < y ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
  }

  // The record last handed out, so that an Edit right after a move needs no second read.
  int64_t lastId = -1;
  uint64_t lastVersion = 0, lastCfg = 0;
  void Mark(const Record& r) {
    lastId = r.id;
    lastVersion = f->version;
    lastCfg = cfg;
  }
  bool Fresh(const Record& r) const { return r.id == lastId && lastVersion == f->version && lastCfg == cfg; }

  // After this cursor wrote a record: a page that starts the table stays good for First when the
  // record lies after its first row.
  bool keepFront = false;
  void BeforeOwnWrite() { keepFront = PageValid() && atStart; }
  void AfterOwnWrite(const Record* written, const Record* oldRec) {
    if (keepFront && !page.empty() && (!written || CompareKey(*written, page.front()) > 0) &&
        (!oldRec || oldRec->id != page.front().id)) {
      page.resize(1);
      atEnd = false;
      pageVersion = f->version;
      pageCfg = cfg;
      hint = 0;
    } else {
      page.clear();
    }
    keepFront = false;
  }

  // Results of recent Locates, good while the file and the cursor's order and filter are as they
  // were: the windows look the same few codes up again and again in tables that do not change.
  struct Hit {
    bool found;
    Record rec;
  };
  std::unordered_map<QString, Hit> hits;
  // Their keys in the order they came: a full memory forgets its oldest one, not all at once
  // (freeing hundreds of records would stall the lookup that found it full).
  std::vector<QString> hitOrder;
  size_t hitOldest = 0;
  void ClearHits() {
    hits.clear();
    hitOrder.clear();
    hitOldest = 0;
  }
  uint64_t hitsVersion = 0, hitsCfg = 0;
  Hit* FindHit(const QString& k) {
    if (hitsVersion != f->version || hitsCfg != cfg) {
      ClearHits();
      hitsVersion = f->version;
      hitsCfg = cfg;
      return nullptr;
    }
    auto it = hits.find(k);
    return it == hits.end() ? nullptr : &it->second;
  }
  void AddHit(const QString& k, bool found, const Record& r) {
    if (hitsVersion != f->version || hitsCfg != cfg) {
      ClearHits();
      hitsVersion = f->version;
      hitsCfg = cfg;
    }
    if (!hits.try_emplace(k, Hit{found, r}).second) return;
    if (hitOrder.size() < 512) {
      hitOrder.push_back(k);
      return;
    }
    hits.erase(hitOrder[hitOldest]);
    hitOrder[hitOldest] = k;
    hitOldest = (hitOldest + 1) % hitOrder.size();
  }

  struct CachedSql {
    QString sql;
    StmtSlot slot;
  };

  // The rows read after a located key, in order: every visible row whose located fields hold
  // the same values but the last, and a last value from lo up to (not including) hi, or to the
  // end when open.
  struct Range {
    uint64_t version = 0, cfg = 0;
    std::vector<int> fields;
    QList<QVariant> prefix;
    QVariant lo, hi;
    bool open = false, valid = false;
    std::vector<Record> rows;
    std::vector<QVariant> last;  // storage value of the last located field, per row
  } range;
  int rangeServed = 0;
  // The last lookup along the order, to see a run of them start.
  struct Prev {
    uint64_t version = 0, cfg = 0;
    std::vector<int> fields;
    QList<QVariant> binds;
  } prev;
  // The lookup follows the last one along the order: same leading values, a later last one.
  bool RunStarts(const std::vector<int>& fields, const QList<QVariant>& binds) const {
    if (prev.version != f->version || prev.cfg != cfg || prev.fields != fields || prev.binds.size() != binds.size())
      return false;
    const int n = int(binds.size()) - 1;
    for (int i = 0; i < n; ++i)
      if (binds[i].typeId() != prev.binds[i].typeId() || CompareStored(binds[i], prev.binds[i]) != 0) return false;
    const int dir = order[fields.size() - 1].desc ? -1 : 1;
    return CompareStored(binds[n], prev.binds[n]) * dir > 0;
  }

  // Located fields that lead the order, compared as the index compares them.
  bool AlongOrder(const std::vector<int>& fields, const std::vector<bool>& nulls) const {
    if (fields.empty() || fields.size() + 1 > order.size()) return false;
    for (size_t i = 0; i < fields.size(); ++i)
      if (nulls[i] || order[i].field != fields[i] || order[i].nocase) return false;
    return true;
  }

  // SQLite's order of two stored values of one column (texts by their UTF-8 bytes).
  static int CompareStored(const QVariant& a, const QVariant& b) {
    if (a.typeId() == QMetaType::QString && b.typeId() == QMetaType::QString) {
      const QString& x = *static_cast<const QString*>(a.constData());
      const QString& y = *static_cast<const QString*>(b.constData());
      // Below the surrogates UTF-16 units sort as UTF-8 bytes do.
      auto plain = [](const QString& t) {
        for (QChar ch : t)
          if (ch.unicode() >= 0xD800) return false;
        return true;
      };
      const int r = plain(x) && plain(y) ? x.compare(y) : x.toUtf8().compare(y.toUtf8());
      return r < 0 ? -1 : (r > 0 ? 1 : 0);
    }
    if (a.typeId() == QMetaType::QString || b.typeId() == QMetaType::QString)
      return a.typeId() == QMetaType::QString ? 1 : -1;  // numbers come before texts
    const double x = a.toDouble(), y = b.toDouble();
    return x < y ? -1 : (x > y ? 1 : 0);
  }

  void SetRange(const std::vector<int>& fields, const QList<QVariant>& binds, std::vector<Record> rows, int limit) {
    Range r;
    r.version = f->version;
    r.cfg = cfg;
    r.fields = fields;
    r.prefix = binds.mid(0, binds.size() - 1);
    r.lo = binds.back();
    r.open = int(rows.size()) < limit;
    const FLDDesc& fd = f->meta.fields[fields.back()];
    for (const Record& row : rows) r.last.push_back(ToStorage(fd, row.values.value(fields.back())));
    if (!r.open) r.hi = r.last.back();  // its group may go on past the rows read
    r.rows = std::move(rows);
    r.valid = true;
    range = std::move(r);
  }

  // 1 found (out), 0 not there, -1 not known from the range.
  int FromRange(const std::vector<int>& fields, const QList<QVariant>& binds, Record& out) const {
    const Range& r = range;
    if (!r.valid || r.version != f->version || r.cfg != cfg || r.fields != fields) return -1;
    if (binds.size() != r.prefix.size() + 1) return -1;
    for (int i = 0; i < r.prefix.size(); ++i)
      if (binds[i].typeId() != r.prefix[i].typeId() || CompareStored(binds[i], r.prefix[i]) != 0) return -1;
    const QVariant& v = binds.back();
    const int dir = order[fields.size() - 1].desc ? -1 : 1;
    if (CompareStored(v, r.lo) * dir < 0) return -1;
    if (!r.open && CompareStored(v, r.hi) * dir >= 0) return -1;
    // The first row of that value (the rows are in the order of the last field).
    const auto at = std::lower_bound(r.last.begin(), r.last.end(), v, [&](const QVariant& a, const QVariant& b) {
      return CompareStored(a, b) * dir < 0;
    });
    if (at == r.last.end() || CompareStored(*at, v) != 0) return 0;
    out = r.rows[size_t(at - r.last.begin())];
    return 1;
  }
  std::unordered_map<uint64_t, CachedSql> locateSql;
  uint64_t locateAlias = 0, locateCfg = 0;
  QString insertSql;
  StmtSlot insertSlot;
  std::unordered_map<uint64_t, CachedSql> updateSql;
  QString sqlAlias;

  int Count(const QString& extra, const QList<QVariant>& extraBinds) const {
    if (masterEmpty) return 0;
    QList<QVariant> binds;
    QString where = Where(binds);
    if (!extra.isEmpty()) where = where.isEmpty() ? extra : where + " AND " + extra;
    binds << extraBinds;
    QString sql = QString("SELECT count(*) FROM %1").arg(f->Q());
    if (!where.isEmpty()) sql += " WHERE " + where;
    Engine::Get().BeforeRead(f);
    Stmt s(f->conn, sql);
    s.BindAll(binds);
    s.Step();
    return int(s.Int(0));
  }

  // The segments of rows strictly after (forward) or before (backward) a record, in the order
  // they are met; each is one indexed range.
  struct Segment {
    QString cond;
    QList<QVariant> binds;
  };
  std::vector<Segment> Segments(const Record& from, bool forward) const {
    std::vector<Segment> out;
    const int k = int(order.size());
    for (int j = k - 1; j >= 0; --j) {
      QString prefix;
      QList<QVariant> pb;
      for (int i = 0; i < j; ++i) {
        const QVariant v = KeyValue(from, order[i]);
        if (!prefix.isEmpty()) prefix += " AND ";
        if (v.isNull()) {
          prefix += ColExpr(order[i]) + " IS NULL";
        } else {
          prefix += ColExpr(order[i]) + " = ?";
          pb << v;
        }
      }
      const OrderCol& o = order[j];
      const QVariant v = KeyValue(from, o);
      const QString c = ColExpr(o);
      auto add = [&](const QString& cond, const QList<QVariant>& b) {
        Segment s;
        s.cond = prefix.isEmpty() ? cond : prefix + " AND " + cond;
        s.binds = pb;
        s.binds << b;
        out.push_back(s);
      };
      // Ascending after / descending before: larger values, and for a null value every non-null.
      const bool larger = forward != o.desc;
      if (larger) {
        if (v.isNull()) add(c + " IS NOT NULL", {});
        else add(c + " > ?", {v});
      } else {
        // Smaller values, then the nulls (smallest of all).
        if (!v.isNull()) {
          add(c + " < ?", {v});
          if (o.field >= 0) add(c + " IS NULL", {});
        }
      }
    }
    return out;
  }

  // Up to n visible rows after (or before) a record, nearest first.
  std::vector<Record> Fetch(const Record* from, bool forward, int n, bool* reachedEnd) {
    std::vector<Record> out;
    *reachedEnd = false;
    const bool callback = t->HasFilterCallback();
    if (!from) {
      std::vector<Record> rows;
      int offset = 0;
      for (;;) {
        rows = Select({}, {}, !forward, n, offset);
        for (Record& r : rows)
          if (!callback || t->AcceptRecord(r)) out.push_back(std::move(r));
        if (int(rows.size()) < n) {
          *reachedEnd = true;
          break;
        }
        if (int(out.size()) >= n) break;
        offset += n;
      }
      return out;
    }
    Record cursor = *from;
    for (;;) {
      std::vector<Record> raw;
      for (const Segment& s : Segments(cursor, forward)) {
        std::vector<Record> rows = Select(s.cond, s.binds, !forward, n - int(raw.size()));
        for (Record& r : rows) raw.push_back(std::move(r));
        if (int(raw.size()) >= n) break;
      }
      const bool end = int(raw.size()) < n;
      if (!raw.empty()) cursor = raw.back();
      for (Record& r : raw)
        if (!callback || t->AcceptRecord(r)) out.push_back(std::move(r));
      if (end) {
        *reachedEnd = true;
        break;
      }
      if (int(out.size()) >= n) break;
    }
    return out;
  }

  bool PageValid() const { return !page.empty() && pageVersion == f->version && pageCfg == cfg; }

  int FindInPage(int64_t id) {
    if (!PageValid()) return -1;
    if (hint >= 0 && hint < int(page.size()) && page[hint].id == id) return hint;
    for (int i = 0; i < int(page.size()); ++i)
      if (page[i].id == id) return hint = i;
    return -1;
  }

  void SetPage(std::vector<Record> rows, bool start, bool end) {
    page = std::move(rows);
    atStart = start;
    atEnd = end;
    pageVersion = f->version;
    pageCfg = cfg;
    hint = 0;
  }

  bool First(Record& out) {
    if (PageValid() && atStart) {
      out = page.front();
      hint = 0;
      return true;
    }
    bool end;
    auto rows = Fetch(nullptr, true, kFirstPage, &end);
    if (rows.empty()) {
      page.clear();
      return false;
    }
    SetPage(std::move(rows), true, end);
    out = page.front();
    hint = 0;
    return true;
  }

  bool Last(Record& out) {
    if (PageValid() && atEnd) {
      out = page.back();
      hint = int(page.size()) - 1;
      return true;
    }
    bool end;
    auto rows = Fetch(nullptr, false, kFirstPage, &end);
    if (rows.empty()) {
      page.clear();
      return false;
    }
    std::reverse(rows.begin(), rows.end());
    SetPage(std::move(rows), end, true);
    out = page.back();
    hint = int(page.size()) - 1;
    return true;
  }

  bool Next(const Record& from, Record& out) {
    const int i = FindInPage(from.id);
    if (i >= 0 && i + 1 < int(page.size())) {
      out = page[i + 1];
      hint = i + 1;
      return true;
    }
    if (i >= 0 && atEnd) return false;
    bool end;
    auto rows = Fetch(&from, true, kPage, &end);
    if (rows.empty()) return false;
    SetPage(std::move(rows), false, end);
    out = page.front();
    return true;
  }

  bool Prior(const Record& from, Record& out) {
    const int i = FindInPage(from.id);
    if (i > 0) {
      out = page[i - 1];
      hint = i - 1;
      return true;
    }
    if (i == 0 && atStart) return false;
    bool end;
    auto rows = Fetch(&from, false, kPage, &end);
    if (rows.empty()) return false;
    std::reverse(rows.begin(), rows.end());
    SetPage(std::move(rows), end, false);
    out = page.back();
    hint = int(page.size()) - 1;
    return true;
  }

  bool ById(int64_t id, Record& out) {
    auto rows = Select("rowid = ?", {qlonglong(id)}, false, 1);
    if (rows.empty()) return false;
    if (t->HasFilterCallback() && !t->AcceptRecord(rows.front())) return false;
    out = rows.front();
    return true;
  }

  int RecordCount() {
    if (!t->HasFilterCallback()) {
      if (countCache >= 0 && countVersion == f->version && countCfg == cfg) return countCache;
      countCache = Count({}, {});
      countVersion = f->version;
      countCfg = cfg;
      return countCache;
    }
    int n = 0;
    Record r;
    if (!First(r)) return 0;
    do n++;
    while (Next(r, r));
    return n;
  }

  int RecNo(const Record& rec) {
    if (!t->HasFilterCallback()) {
      int n = 0;
      for (const Segment& s : Segments(rec, false)) n += Count(s.cond, s.binds);
      return n + 1;
    }
    int n = 1;
    Record r;
    if (!First(r)) return 0;
    while (r.id != rec.id) {
      if (!Next(r, r)) return 0;
      n++;
    }
    return n;
  }

  std::vector<Record> Rows(int first, int count) {
    if (!t->HasFilterCallback()) return Select({}, {}, false, count, first);
    std::vector<Record> out;
    Record r;
    if (!First(r)) return out;
    int i = 0;
    do {
      if (i >= first) out.push_back(r);
      i++;
    } while (int(out.size()) < count && Next(r, r));
    return out;
  }
};

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

bool TTable::DoLocate(const std::vector<int>& fields, const QList<QVariant>& values, TLocateOptions options,
                      Record& out) {
  TableCursor& c = *cursor_;
  const TableMeta& m = c.f->meta;
  QList<QVariant> binds;
  binds.reserve(int(fields.size()) * 2);
  uint64_t key = uint64_t(options & 3) + 1;
  bool cacheable = fields.size() <= 6;  // the key holds 6 fields
  const bool legacy = m.ciCollation == "NOCASE";
  std::vector<bool> nulls(fields.size()), folds(fields.size());
  for (size_t i = 0; i < fields.size(); ++i) {
    const int fld = fields[i];
    const FLDDesc& fd = m.fields[fld];
    QVariant v;
    try {
      v = NormalizeValue(fld, values[int(i)]);
    } catch (const Exception&) {
      return false;  // a value the field cannot hold matches nothing
    }
    nulls[i] = v.isNull();
    if (fld >= 255) cacheable = false;
    // ZNOCASE folds case and accents itself; in a file still ordered by SQLite's NOCASE, which
    // knows only A-Z, a text beyond ASCII is compared folded.
    QString s = fd.iFldType == fldZSTRING && !nulls[i] ? v.toString() : QString();
    bool fold = false;
    if ((options & loCaseInsensitive) && !nulls[i] && legacy)
      for (QChar ch : s) fold |= ch.unicode() > 127;
    folds[i] = fold;
    key |= uint64_t((fld + 1) * 4 + (nulls[i] ? 1 : 0) + (fold ? 2 : 0)) << (2 + 10 * i);
    if (v.isNull()) continue;
    if (fd.iFldType == fldZSTRING) {
      if (fold) s = s.toCaseFolded();
      if (options & loPartialKey) binds << qlonglong(s.size());
      binds << s;
    } else {
      binds << ToStorage(fd, v);
    }
  }
  if (c.sqlAlias != c.f->alias || c.locateCfg != c.cfg) {
    c.locateSql.clear();
    c.updateSql.clear();
    c.insertSql.clear();
    c.insertSlot = {};
    c.sqlAlias = c.f->alias;
    c.locateCfg = c.cfg;
  }
  const bool callback = HasFilterCallback();
  QString* sql = nullptr;
  StmtSlot* slot = nullptr;
  QString built;
  if (cacheable && !callback) {
    auto it = c.locateSql.find(key);
    if (it != c.locateSql.end()) {
      sql = &it->second.sql;
      slot = &it->second.slot;
    }
  }
  if (!sql) {
    QStringList conds;
    for (size_t i = 0; i < fields.size(); ++i) {
      const int fld = fields[i];
      const QString& col = c.P().fieldCol[fld];
      if (nulls[i]) {
        conds << col + " IS NULL";
      } else if (m.fields[fld].iFldType == fldZSTRING && folds[i]) {
        const QString e = "zfold(" + col + ")";
        conds << ((options & loPartialKey) ? "substr(" + e + ", 1, ?) = ?" : e + " = ?");
      } else if (m.fields[fld].iFldType == fldZSTRING) {
        const QString coll = (options & loCaseInsensitive) ? " COLLATE " + m.ciCollation : "";
        conds << ((options & loPartialKey) ? "substr(" + col + ", 1, ?) = ?" + coll : col + " = ?" + coll);
      } else {
        conds << col + " = ?";
      }
    }
    const QString cond = conds.join(" AND ");
    if (callback) {
      int offset = 0;
      for (;;) {
        auto rows = c.Select(cond, binds, false, kPage, offset);
        for (Record& r : rows)
          if (AcceptRecord(r)) {
            out = r;
            c.Mark(out);
            return true;
          }
        if (int(rows.size()) < kPage) return false;
        offset += kPage;
      }
    }
    built = c.SelectSql(cond, false, 1);
    if (cacheable) {
      TableCursor::CachedSql& e = c.locateSql[key];
      e = {built, {}};
      sql = &e.sql;
      slot = &e.slot;
    } else {
      sql = &built;
    }
  }
  // Only a table read again at the state of the last Locate is worth the remembering: one
  // written between lookups (the takings during a save) is not.
  if (cacheable && (c.hitsVersion != c.f->version || c.hitsCfg != c.cfg)) {
    c.ClearHits();
    c.hitsVersion = c.f->version;
    c.hitsCfg = c.cfg;
    cacheable = false;
  }
  // A run of lookups along the order (a grid's cells, client by client): one read brings the
  // rows that follow the key, and the next lookups are answered from them while the file and the
  // cursor stay as they were.
  const bool along = cacheable && options == 0 && !callback && c.AlongOrder(fields, nulls);
  QString hitKey;
  if (cacheable) {
    hitKey = QString::number(key);
    for (const QVariant& b : binds) {
      hitKey += QChar(0x1f);
      hitKey += b.toString();
    }
    if (TableCursor::Hit* h = c.FindHit(hitKey)) {
      if (!h->found) return false;
      out = h->rec;
      c.Mark(out);
      return true;
    }
  }
  if (along) {
    int r = c.FromRange(fields, binds, out);
    if (r >= 0) {
      c.rangeServed++;
    } else if (c.rangeServed >= 4 || c.RunStarts(fields, binds)) {
      // Read ahead while the ranges serve runs of lookups, or when two lookups in a row start
      // one; never for lookups that jump about, where the rows read would only slow the next.
      c.rangeServed = 0;
      auto& e = c.locateSql[key | (uint64_t(1) << 63)];
      if (e.sql.isEmpty()) {
        QStringList conds;
        for (size_t i = 0; i < fields.size(); ++i) {
          const QString& col = c.P().fieldCol[fields[i]];
          if (i + 1 < fields.size()) conds << col + " = ?";
          else conds << col + (c.order[i].desc ? " <= ?" : " >= ?");
        }
        e.sql = c.SelectSql(conds.join(" AND "), false, kPage);
      }
      c.SetRange(fields, binds, c.Run(e.sql, binds, &e.slot), kPage);
      r = c.FromRange(fields, binds, out);
    }
    c.prev = {c.f->version, c.cfg, fields, binds};
    if (r >= 0) {
      c.AddHit(hitKey, r == 1, r == 1 ? out : Record());
      if (r == 1) c.Mark(out);
      return r == 1;
    }
  }
  auto rows = c.Run(*sql, binds, slot);
  if (cacheable) c.AddHit(hitKey, !rows.empty(), rows.empty() ? Record() : rows.front());
  if (rows.empty()) return false;
  out = rows.front();
  c.Mark(out);
  return true;
}

namespace {
// SQLite lets any number of NULLs through a unique index, but a blank key is a key like any
// other: a second row with the same blank code must be refused as a duplicate.
template <class Values>
void CheckBlankKeys(TableFile* f, const Values& values, int64_t selfId) {
  const TableMeta& m = f->meta;
  for (const IndexMeta& ix : m.indexes) {
    if (!ix.desc.bUnique || ix.missing) continue;
    bool anyNull = false;
    for (uint16_t k : ix.desc.aiKeyFld)
      if (k >= 1 && values.value(k - 1).isNull()) anyNull = true;
    if (!anyNull) continue;
    QStringList conds;
    QList<QVariant> binds;
    for (uint16_t k : ix.desc.aiKeyFld) {
      if (k < 1 || k > m.fields.size()) continue;
      conds << f->Col(k - 1) + " IS ?";
      binds << ToStorage(m.fields[k - 1], values.value(k - 1));
    }
    binds << qlonglong(selfId);
    Stmt s(f->conn, QString("SELECT 1 FROM %1 WHERE %2 AND rowid <> ? LIMIT 1").arg(f->Q(), conds.join(" AND ")));
    s.BindAll(binds);
    if (s.Step()) Raise(DBIERR_KEYVIOL, QString("Table : %1").arg(f->path));
  }
}
}  // namespace

void TTable::DoPost(Record& rec, bool inserting, const std::vector<bool>& changed) {
  TableCursor& c = *cursor_;
  TableFile* f = c.f;
  const TableMeta& m = f->meta;
  Engine& e = Engine::Get();
  e.Gather(f);
  if (c.sqlAlias != f->alias || c.locateCfg != c.cfg) {
    c.locateSql.clear();
    c.updateSql.clear();
    c.insertSql.clear();
    c.insertSlot = {};
    c.sqlAlias = f->alias;
    c.locateCfg = c.cfg;
  }
  if (inserting) {
    const int32_t counterBefore = f->counter;
    const bool dirtyBefore = f->counterDirty;
    QList<QVariant> binds;
    binds.reserve(int(m.fields.size()));
    for (size_t i = 0; i < m.fields.size(); ++i) {
      if (m.fields[i].iSubType == fldstAUTOINC && rec.values.value(int(i)).isNull())
        rec.values[int(i)] = int(e.NextAutoInc(f));
      binds << ToStorage(m.fields[i], rec.values.value(int(i)));
    }
    if (c.insertSql.isEmpty()) {
      QStringList marks;
      for (size_t i = 0; i < m.fields.size(); ++i) marks << "?";
      c.insertSql = QString("INSERT INTO %1(%2) VALUES(%3)").arg(f->Q(), c.P().cols.mid(7), marks.join(", "));
    }
    CheckBlankKeys(f, rec.values, -1);
    c.BeforeOwnWrite();
    e.BeforeWrite(f);
    try {
      Stmt s(f->conn, c.insertSql, &c.insertSlot);
      s.BindAll(binds);
      s.Step();
    } catch (const EDBEngineError& err) {
      c.page.clear();
      if (f->conn && !f->conn->inTx) {
        // The number went with no row: the header must not take it at the next commit.
        f->counter = counterBefore;
        f->counterDirty = dirtyBefore;
        f->counterChecked = false;
        if (dirtyBefore) HoldCounter(f->path, counterBefore);
        else DropCounter(f->path);
      }
      if (err.ErrorCode() == DBIERR_KEYVIOL) Raise(DBIERR_KEYVIOL, QString("Table : %1").arg(f->path));
      throw;
    }
    rec.id = sqlite3_last_insert_rowid(f->conn->db);
    e.AfterWrite(f);
    c.AfterOwnWrite(&rec, nullptr);
    c.Mark(rec);
    return;
  }
  QList<QVariant> binds;
  binds.reserve(int(m.fields.size()) + 1);
  uint64_t mask = 0;
  for (size_t i = 0; i < m.fields.size(); ++i) {
    if (i >= changed.size() || !changed[i]) continue;
    if (i < 64) mask |= uint64_t(1) << i;
    binds << ToStorage(m.fields[i], rec.values.value(int(i)));
  }
  if (binds.isEmpty()) return;
  binds << qlonglong(rec.id);
  QString sql;
  StmtSlot* slot = nullptr;
  auto it = m.fields.size() <= 64 ? c.updateSql.find(mask) : c.updateSql.end();
  if (it != c.updateSql.end()) {
    sql = it->second.sql;
    slot = &it->second.slot;
  } else {
    QStringList sets;
    for (size_t i = 0; i < m.fields.size(); ++i)
      if (i < changed.size() && changed[i]) sets << c.P().fieldCol[i] + " = ?";
    sql = QString("UPDATE %1 SET %2 WHERE rowid = ?").arg(f->Q(), sets.join(", "));
    if (m.fields.size() <= 64) {
      TableCursor::CachedSql& e = c.updateSql[mask];
      e = {sql, {}};
      slot = &e.slot;
    }
  }
  CheckBlankKeys(f, rec.values, rec.id);
  Record old;
  old.id = rec.id;
  c.BeforeOwnWrite();
  e.BeforeWrite(f);
  int n = 0;
  try {
    Stmt s(f->conn, sql, slot);
    s.BindAll(binds);
    s.Step();
    n = sqlite3_changes(f->conn->db);
  } catch (const EDBEngineError& err) {
    c.page.clear();
    if (err.ErrorCode() == DBIERR_KEYVIOL) Raise(DBIERR_KEYVIOL, QString("Table : %1").arg(f->path));
    throw;
  }
  e.AfterWrite(f);
  c.AfterOwnWrite(&rec, &old);
  if (n == 0) Raise(DBIERR_KEYDELETED, QString("Table : %1").arg(f->path));
  c.Mark(rec);
}

void TTable::DoDelete(const Record& rec) {
  TableCursor& c = *cursor_;
  TableFile* f = c.f;
  Engine& e = Engine::Get();
  e.Gather(f);
  c.BeforeOwnWrite();
  e.BeforeWrite(f);
  Stmt s(f->conn, QString("DELETE FROM %1 WHERE rowid = ?").arg(f->Q()));
  s.Bind(1, qlonglong(rec.id));
  s.Step();
  e.AfterWrite(f);
  c.AfterOwnWrite(&rec, &rec);
}

// ---- structure ----

void TTable::CreateTable() {
  CheckInactive();
  CRTblDesc d;
  d.szTblName = tableName_;
  d.eType = tableType_ == ttDBase ? TableType::DBase : TableType::Paradox;
  for (const TFieldDef& fd : FieldDefs.Items()) {
    FLDDesc f;
    f.szName = fd.Name;
    f.op = CrtOp::Add;
    switch (fd.DataType) {
      case ftString: f.iFldType = fldZSTRING; f.iUnits1 = int16_t(fd.Size > 0 ? fd.Size : 20); break;
      case ftSmallint: f.iFldType = fldINT16; break;
      case ftInteger: f.iFldType = fldINT32; break;
      case ftAutoInc: f.iFldType = fldINT32; f.iSubType = fldstAUTOINC; break;
      case ftBoolean: f.iFldType = fldBOOL; break;
      case ftFloat: f.iFldType = fldFLOAT; break;
      case ftCurrency: f.iFldType = fldFLOAT; f.iSubType = fldstMONEY; break;
      case ftDate: f.iFldType = fldDATE; break;
      default: Raise(DBIERR_INVALIDPARAM, QString("Champ %1 : ce type de champ ne peut pas être stocké").arg(fd.Name));
    }
    d.fields.push_back(f);
  }
  for (const TIndexDef& xd : IndexDefs.Items()) {
    IDXDesc x;
    x.bPrimary = xd.Options & ixPrimary;
    x.szName = x.bPrimary ? QString() : xd.Name;
    x.bUnique = x.bPrimary || (xd.Options & ixUnique);
    x.bDescending = xd.Options & ixDescending;
    x.bCaseInsensitive = xd.Options & ixCaseInsensitive;
    x.bMaintained = true;
    x.op = CrtOp::Add;
    for (const QString& n : xd.Fields.split(';', Qt::SkipEmptyParts)) {
      int num = 0;
      for (size_t i = 0; i < d.fields.size(); ++i)
        if (d.fields[i].szName.compare(n.trimmed(), Qt::CaseInsensitive) == 0) num = int(i) + 1;
      if (!num) Raise(DBIERR_INVALIDPARAM, QString("Index %1 : le champ %2 n'est pas défini").arg(xd.Name, n));
      x.aiKeyFld.push_back(uint16_t(num));
    }
    x.iFldsInKey = uint16_t(x.aiKeyFld.size());
    d.indexes.push_back(x);
  }
  const int code = Dbi::CreateTable(databaseName_, d, true);
  if (code != DBIERR_NONE) throw EDBEngineError(code, Dbi::LastErrorText());
}

void TTable::DeleteTable() {
  CheckInactive();
  const QString path = Dbi::FindTableFile(databaseName_, tableName_);
  if (path.isEmpty()) Raise(DBIERR_NOSUCHTABLE, QString("Table : %1").arg(FilePath()));
  TableFile* r = Engine::Get().Reserve(path);
  const bool ok = QFile::remove(path);
  Engine::Get().Unreserve(r);
  if (!ok) Raise(DBIERR_OSERROR, "Suppression impossible : " + QDir::toNativeSeparators(path));
  QFile::remove(path + "-journal");
  RemoveCompanions(path);
}

void TTable::EmptyTable() {
  const bool wasActive = Active();
  if (wasActive) CheckBrowseMode();
  const QString path = Dbi::FindTableFile(databaseName_, tableName_);
  if (path.isEmpty()) Raise(DBIERR_NOSUCHTABLE, QString("Table : %1").arg(FilePath()));
  TableFile* f = wasActive ? cursor_->f : Engine::Get().Open(path, Engine::Mode::Shared);
  try {
    if (readOnly_) Raise(DBIERR_READONLY, QString("Table : %1").arg(path));
    Engine::Get().Gather(f);
    Engine::Get().BeforeWrite(f);
    Stmt s(f->conn, QString("DELETE FROM %1").arg(f->Q()));
    s.Step();
    Engine::Get().AfterWrite(f);
  } catch (...) {
    if (!wasActive) Engine::Get().Close(f);
    throw;
  }
  if (!wasActive) Engine::Get().Close(f);
  else Resync();
}

void TTable::FlushBuffers() {
  CheckActive();
  // A post outside a transaction is on disk when it returns; inside one, the transaction's end
  // is the flush.
}

void DbiSaveChanges(TTable& table) { table.FlushBuffers(); }
