// Posting and deleting the records of a TTable.
#include "platform/db/Table.h"

#include <sqlite3.h>

#include "platform/db/KeysetCursor.h"
#include "platform/db/GroupCommit.h"

using namespace dbe;

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
