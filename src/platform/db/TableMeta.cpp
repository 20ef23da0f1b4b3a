// The stored description of a table file: its fields and indexes as they were created.
#include "platform/db/EngineCore.h"

#include <sqlite3.h>

namespace dbe {

QString Quote(const QString& id) {
  QString s = id;
  s.replace('"', "\"\"");
  return '"' + s + '"';
}

QString QuoteLiteral(const QString& text) {
  QString s = text;
  s.replace('\'', "''");
  return '\'' + s + '\'';
}

int TableMeta::FieldIndex(const QString& name) const {
  for (size_t i = 0; i < fields.size(); ++i)
    if (fields[i].szName.compare(name, Qt::CaseInsensitive) == 0) return int(i);
  return -1;
}

QString TableFile::Q() const { return alias + "." + Quote(meta.inner); }
QString TableFile::Col(int field) const { return Quote(meta.fields[field].szName); }

static std::vector<uint16_t> ParseKey(const QString& s) {
  std::vector<uint16_t> out;
  for (const QString& p : s.split(',', Qt::SkipEmptyParts)) out.push_back(uint16_t(p.trimmed().toUInt()));
  return out;
}

TableMeta ReadMeta(Conn* c, const QString& alias) {
  TableMeta m;
  const QString sql = QString("SELECT key, value FROM %1.zelm_table").arg(alias);
  // A description table missing: not a table file, whatever else it holds.
  for (const char* table : {"zelm_table", "zelm_fields", "zelm_indexes"}) {
    sqlite3_stmt* probe = nullptr;
    const int rc = sqlite3_prepare_v2(c->db, QString("SELECT * FROM %1.%2").arg(alias, table).toUtf8().constData(), -1,
                                      &probe, nullptr);
    sqlite3_finalize(probe);
    if (rc == SQLITE_OK) continue;
    if ((rc & 0xff) == SQLITE_ERROR) Raise(DBIERR_NOTABLE, "le fichier ne contient pas de description de table");
    c->Fail(rc, {});
  }
  {
    Stmt s(c, sql);
    while (s.Step()) {
      const QString k = s.Text(0), v = s.Text(1);
      if (k == "name") m.inner = v;
      else if (k == "stamp") m.stamp = v;
      else if (k == "type") m.type = TableType(v.toInt());
    }
  }
  {
    Stmt s(c, QString("SELECT num, name, type, subtype, units1, units2 FROM %1.zelm_fields ORDER BY num").arg(alias));
    while (s.Step()) {
      FLDDesc f;
      f.iFldNum = uint16_t(s.Int(0));
      f.szName = s.Text(1);
      f.iFldType = uint16_t(s.Int(2));
      f.iSubType = uint16_t(s.Int(3));
      f.iUnits1 = int16_t(s.Int(4));
      f.iUnits2 = int16_t(s.Int(5));
      m.fields.push_back(f);
    }
  }
  {
    Stmt s(c, QString("SELECT num, name, tag, keyflds, isprimary, isunique, descending, maintained, caseins,"
                      " expidx, subset, format, keyexptype, keyexp, keycond, sqlname, companions"
                      " FROM %1.zelm_indexes ORDER BY num").arg(alias));
    while (s.Step()) {
      IndexMeta x;
      x.desc.iIndexId = uint16_t(s.Int(0));
      x.desc.szName = s.Text(1);
      x.desc.szTagName = s.Text(2);
      x.desc.aiKeyFld = ParseKey(s.Text(3));
      x.desc.iFldsInKey = uint16_t(x.desc.aiKeyFld.size());
      x.desc.bPrimary = s.Int(4);
      x.desc.bUnique = s.Int(5);
      x.desc.bDescending = s.Int(6);
      x.desc.bMaintained = s.Int(7);
      x.desc.bCaseInsensitive = s.Int(8);
      x.desc.bExpIdx = s.Int(9);
      x.desc.bSubset = s.Int(10);
      x.desc.szFormat = s.Text(11);
      x.desc.iKeyExpType = uint16_t(s.Int(12));
      x.desc.szKeyExp = s.Text(13);
      x.desc.szKeyCond = s.Text(14);
      x.sqlName = s.Text(15);
      x.companions = s.Text(16).split('|', Qt::SkipEmptyParts);
      m.indexes.push_back(x);
    }
  }
  if (m.inner.isEmpty() || m.fields.empty()) Raise(DBIERR_NOTABLE, "la description de la table est incomplète");
  if (std::any_of(m.indexes.begin(), m.indexes.end(), [](const IndexMeta& x) { return x.desc.bCaseInsensitive; })) {
    Stmt s(c, QString("SELECT count(*) FROM %1.sqlite_master WHERE type = 'index' AND sql LIKE '%COLLATE NOCASE%'")
                  .arg(alias));
    if (s.Step() && s.Int(0) > 0) m.ciCollation = "NOCASE";
  }
  return m;
}

}  // namespace dbe
