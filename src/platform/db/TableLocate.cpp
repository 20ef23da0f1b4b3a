// Locate on a TTable: keyed lookups, with the cursor's memory of recent and consecutive ones.
#include "platform/db/Table.h"

#include "platform/db/KeysetCursor.h"

using namespace dbe;

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
        auto rows = c.Select(cond, binds, false, TableCursor::kPage, offset);
        for (Record& r : rows)
          if (AcceptRecord(r)) {
            out = r;
            c.Mark(out);
            return true;
          }
        if (int(rows.size()) < TableCursor::kPage) return false;
        offset += TableCursor::kPage;
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
        e.sql = c.SelectSql(conds.join(" AND "), false, TableCursor::kPage);
      }
      c.SetRange(fields, binds, c.Run(e.sql, binds, &e.slot), TableCursor::kPage);
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
