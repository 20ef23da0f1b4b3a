#include "platform/db/KeysetCursor.h"

#include <algorithm>

using namespace dbe;

void TableCursor::Changed() {
  cfg++;
  page.clear();
}

const TableCursor::Pieces& TableCursor::P() const {
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

QString TableCursor::ColExpr(const OrderCol& o) const {
  for (size_t i = 0; i < order.size(); ++i)
    if (order[i].field == o.field && order[i].nocase == o.nocase) return P().colExpr[i];
  QString c = o.field < 0 ? QString("rowid") : f->Col(o.field);
  if (o.nocase) c += " COLLATE " + f->meta.ciCollation;
  return c;
}

QVariant TableCursor::KeyValue(const Record& r, const OrderCol& o) const {
  if (o.field < 0) return qlonglong(r.id);
  return ToStorage(f->meta.fields[o.field], r.values.value(o.field));
}

QString TableCursor::Where(QList<QVariant>& binds) const {
  const Pieces& p = P();
  binds << p.whereBinds;
  return p.where;
}

TableCursor::Record TableCursor::Read(Stmt& s) const {
  Record r;
  r.id = s.Int(0);
  r.values.reserve(int(f->meta.fields.size()));
  for (size_t i = 0; i < f->meta.fields.size(); ++i) r.values << ReadField(f->meta.fields[i], s.Raw(), int(i) + 1);
  return r;
}

QString TableCursor::SelectSql(const QString& extra, bool reverse, int limit, int offset) const {
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

std::vector<TableCursor::Record> TableCursor::Run(const QString& sql, const QList<QVariant>& extraBinds,
                                                StmtSlot* slot) const {
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

std::vector<TableCursor::Record> TableCursor::Select(const QString& extra, const QList<QVariant>& extraBinds,
                                                   bool reverse, int limit, int offset) const {
  if (masterEmpty) return {};
  return Run(SelectSql(extra, reverse, limit, offset), extraBinds);
}

int TableCursor::CompareKey(const Record& a, const Record& b) const {
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

int TableCursor::AsciiFoldCompare(const QString& a, const QString& b) {
  const int n = std::min(a.size(), b.size());
  for (int i = 0; i < n; ++i) {
    ushort x = a[i].unicode(), y = b[i].unicode();
    if (x >= 'A' && x <= 'Z') x += 32;
    if (y >= 'A' && y <= 'Z') y += 32;
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

void TableCursor::Mark(const Record& r) {
  lastId = r.id;
  lastVersion = f->version;
  lastCfg = cfg;
}

void TableCursor::AfterOwnWrite(const Record* written, const Record* oldRec) {
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

void TableCursor::ClearHits() {
  hits.clear();
  hitOrder.clear();
  hitOldest = 0;
}

TableCursor::Hit* TableCursor::FindHit(const QString& k) {
  if (hitsVersion != f->version || hitsCfg != cfg) {
    ClearHits();
    hitsVersion = f->version;
    hitsCfg = cfg;
    return nullptr;
  }
  auto it = hits.find(k);
  return it == hits.end() ? nullptr : &it->second;
}

void TableCursor::AddHit(const QString& k, bool found, const Record& r) {
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

bool TableCursor::RunStarts(const std::vector<int>& fields, const QList<QVariant>& binds) const {
  if (prev.version != f->version || prev.cfg != cfg || prev.fields != fields || prev.binds.size() != binds.size())
    return false;
  const int n = int(binds.size()) - 1;
  for (int i = 0; i < n; ++i)
    if (binds[i].typeId() != prev.binds[i].typeId() || CompareStored(binds[i], prev.binds[i]) != 0) return false;
  const int dir = order[fields.size() - 1].desc ? -1 : 1;
  return CompareStored(binds[n], prev.binds[n]) * dir > 0;
}

bool TableCursor::AlongOrder(const std::vector<int>& fields, const std::vector<bool>& nulls) const {
  if (fields.empty() || fields.size() + 1 > order.size()) return false;
  for (size_t i = 0; i < fields.size(); ++i)
    if (nulls[i] || order[i].field != fields[i] || order[i].nocase) return false;
  return true;
}

int TableCursor::CompareStored(const QVariant& a, const QVariant& b) {
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

void TableCursor::SetRange(const std::vector<int>& fields, const QList<QVariant>& binds, std::vector<Record> rows,
                           int limit) {
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

int TableCursor::FromRange(const std::vector<int>& fields, const QList<QVariant>& binds, Record& out) const {
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

int TableCursor::Count(const QString& extra, const QList<QVariant>& extraBinds) const {
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

std::vector<TableCursor::Segment> TableCursor::Segments(const Record& from, bool forward) const {
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

std::vector<TableCursor::Record> TableCursor::Fetch(const Record* from, bool forward, int n, bool* reachedEnd) {
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

int TableCursor::FindInPage(int64_t id) {
  if (!PageValid()) return -1;
  if (hint >= 0 && hint < int(page.size()) && page[hint].id == id) return hint;
  for (int i = 0; i < int(page.size()); ++i)
    if (page[i].id == id) return hint = i;
  return -1;
}

void TableCursor::SetPage(std::vector<Record> rows, bool start, bool end) {
  page = std::move(rows);
  atStart = start;
  atEnd = end;
  pageVersion = f->version;
  pageCfg = cfg;
  hint = 0;
}

bool TableCursor::First(Record& out) {
  if (PageValid() && atStart) {
    out = page.front();
    hint = 0;
    return true;
  }
  bool end;
  ahead = kPage;
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

bool TableCursor::Last(Record& out) {
  if (PageValid() && atEnd) {
    out = page.back();
    hint = int(page.size()) - 1;
    return true;
  }
  bool end;
  ahead = kPage;
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

// A walk that has gone through the page in hand reads twice as many rows each time, up to
// kWalkPage: a long walk costs a few statements, a short one reads little ahead.
int TableCursor::AheadOf(bool pastPage) {
  ahead = pastPage ? std::min(ahead * 2, kWalkPage) : kPage;
  return ahead;
}

bool TableCursor::Next(const Record& from, Record& out) {
  const int i = FindInPage(from.id);
  if (i >= 0 && i + 1 < int(page.size())) {
    out = page[i + 1];
    hint = i + 1;
    return true;
  }
  if (i >= 0 && atEnd) return false;
  bool end;
  auto rows = Fetch(&from, true, AheadOf(i >= 0), &end);
  if (rows.empty()) return false;
  SetPage(std::move(rows), false, end);
  out = page.front();
  return true;
}

bool TableCursor::Prior(const Record& from, Record& out) {
  const int i = FindInPage(from.id);
  if (i > 0) {
    out = page[i - 1];
    hint = i - 1;
    return true;
  }
  if (i == 0 && atStart) return false;
  bool end;
  auto rows = Fetch(&from, false, AheadOf(i == 0), &end);
  if (rows.empty()) return false;
  std::reverse(rows.begin(), rows.end());
  SetPage(std::move(rows), end, false);
  out = page.back();
  hint = int(page.size()) - 1;
  return true;
}

bool TableCursor::ById(int64_t id, Record& out) {
  auto rows = Select("rowid = ?", {qlonglong(id)}, false, 1);
  if (rows.empty()) return false;
  if (t->HasFilterCallback() && !t->AcceptRecord(rows.front())) return false;
  out = rows.front();
  return true;
}

int TableCursor::RecordCount() {
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

int TableCursor::RecNo(const Record& rec) {
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

std::vector<TableCursor::Record> TableCursor::Rows(int first, int count) {
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
