// Repairs made in a table file as it stands, its rows untouched: its indexes built again, its
// description written again when it was lost.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>

#include "platform/db/DbiStructure.h"
#include "platform/db/EngineCore.h"

using namespace dbe;

namespace dbe {

void StoreIndexDescriptions(Conn* c, const QString& alias, const TableMeta& meta) {
  Stmt s(c, QString("INSERT INTO %1.zelm_indexes VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)").arg(alias));
  for (size_t i = 0; i < meta.indexes.size(); ++i) {
    const IndexMeta& x = meta.indexes[i];
    QStringList keys;
    for (uint16_t k : x.desc.aiKeyFld) keys << QString::number(k);
    s.BindAll({qlonglong(i + 1), x.desc.szName, x.desc.szTagName, keys.join(','), int(x.desc.bPrimary),
               int(x.desc.bUnique), int(x.desc.bDescending), int(x.desc.bMaintained), int(x.desc.bCaseInsensitive),
               int(x.desc.bExpIdx), int(x.desc.bSubset), x.desc.szFormat, int(x.desc.iKeyExpType), x.desc.szKeyExp,
               x.desc.szKeyCond, x.sqlName, x.companions.join('|')});
    s.Step();
    sqlite3_reset(s.Raw());
  }
}

}  // namespace dbe

namespace {

// The table file held against every other use while it is changed in place, attached alone on a
// connection of its own with the engine's journal: a kill leaves it as it was or as changed.
struct HeldFile {
  Reservation reservation;
  Conn c{QString{}};
  bool inTx = false;
  explicit HeldFile(const QString& path) : reservation(path) { AttachAs(c, path, "t"); }
  ~HeldFile() {
    if (inTx) sqlite3_exec(c.db, "ROLLBACK", nullptr, nullptr, nullptr);
  }
  void Begin() {
    c.Exec("BEGIN IMMEDIATE");
    inTx = true;
  }
  void Commit() {
    c.Exec("COMMIT");
    inTx = false;
  }
  bool Has(const QString& table) {
    Stmt s(&c, QString("SELECT 1 FROM t.sqlite_master WHERE type = 'table' AND name = %1 COLLATE NOCASE")
                   .arg(QuoteLiteral(table)));
    return s.Step();
  }
};

}  // namespace

namespace Dbi {

int BuildIndexes(const QString& folder, const QString& fileName, const std::vector<FLDDesc>& fields,
                 const std::vector<IDXDesc>& indexes, QString& why) {
  why.clear();
  try {
    const QString path = FindTableFile(folder, fileName);
    if (path.isEmpty()) Raise(DBIERR_NOSUCHTABLE, QDir(folder).filePath(fileName));
    HeldFile h(path);
    TableMeta meta = ReadMeta(&h.c, "t");
    std::vector<IndexMeta> now;
    for (const IDXDesc& d : indexes) {
      if (d.op == CrtOp::Drop) continue;
      IndexMeta x;
      x.desc = d;
      x.desc.aiKeyFld.clear();
      const size_t count = d.iFldsInKey > 0 ? std::min<size_t>(d.iFldsInKey, d.aiKeyFld.size()) : d.aiKeyFld.size();
      for (size_t i = 0; i < count; ++i) {
        const uint16_t k = d.aiKeyFld[i];
        const QString name = k >= 1 && k <= fields.size() ? fields[k - 1].szName : QString();
        const int at = name.isEmpty() ? -1 : meta.FieldIndex(name);
        if (at < 0)
          Raise(DBIERR_INVALIDPARAM, QString("l'index %1 porte sur le champ %2, que la table n'a pas")
                                         .arg(d.bPrimary ? QString("primaire") : d.szName, name.isEmpty() ? QString::number(k) : name));
        x.desc.aiKeyFld.push_back(uint16_t(at + 1));
      }
      now.push_back(x);
    }
    // The table's other indexes stay as they are.
    for (const IndexMeta& x : meta.indexes) {
      const bool replaced = std::any_of(now.begin(), now.end(), [&](const IndexMeta& y) {
        return (x.desc.bPrimary && y.desc.bPrimary) || x.desc.szName.compare(y.desc.szName, Qt::CaseInsensitive) == 0;
      });
      if (!replaced) now.push_back(x);
    }
    std::stable_partition(now.begin(), now.end(), [](const IndexMeta& x) { return x.desc.bPrimary; });
    meta.indexes = now;
    meta.stamp = NewStamp();  // companions of the former indexes no longer match
    NameIndexes(path, meta);
    ValidateMeta(meta);

    h.Begin();
    QStringList old;
    {
      Stmt s(&h.c, QString("SELECT name FROM t.sqlite_master WHERE type = 'index' AND tbl_name = %1 COLLATE NOCASE"
                           " AND name LIKE 'zx\\_%' ESCAPE '\\'").arg(QuoteLiteral(meta.inner)));
      while (s.Step()) old << s.Text(0);
    }
    for (const QString& n : old) h.c.Exec("DROP INDEX t." + Quote(n));
    for (const IndexMeta& x : meta.indexes) {
      try {
        TableMeta one = meta;
        one.indexes = {x};
        CreateIndexes(&h.c, "t", one);
      } catch (const EDBEngineError& e) {
        if (e.ErrorCode() == DBIERR_KEYVIOL)
          Raise(DBIERR_KEYVIOL, QString("Index %1 : deux fiches ont la même clé.")
                                    .arg(x.desc.bPrimary ? QString("primaire") : x.desc.szName));
        throw;
      }
    }
    h.c.Exec("DELETE FROM t.zelm_indexes");
    StoreIndexDescriptions(&h.c, "t", meta);
    {
      Stmt s(&h.c, "INSERT OR REPLACE INTO t.zelm_table VALUES('stamp', ?)");
      s.Bind(1, meta.stamp);
      s.Step();
    }
    // As a rebuild does: the companions aside first, in place once the file holds the indexes.
    ReplaceCompanions(path, meta, [&] { h.Commit(); });
    return DBIERR_NONE;
  } catch (const EDBEngineError& e) {
    why = e.Message();
    return e.ErrorCode();
  }
}

int RestoreDescription(const QString& folder, const QString& fileName, const std::vector<FLDDesc>& fields,
                            QString& why) {
  why.clear();
  try {
    const QString path = FindTableFile(folder, fileName);
    if (path.isEmpty()) return DBIERR_NOTABLE;
    HeldFile h(path);
    // Only a file of the engine's own whose rows table is there.
    if (!h.Has("zelm_table")) return DBIERR_NOTABLE;
    QString inner;
    {
      Stmt s(&h.c, "SELECT value FROM t.zelm_table WHERE key = 'name'");
      if (s.Step()) inner = s.Text(0);
    }
    const bool named = !inner.isEmpty();
    if (!named) inner = QFileInfo(path).fileName().section('.', 0, 0);
    if (!h.Has(inner)) return DBIERR_NOTABLE;
    bool fieldsDescribed = false;
    if (h.Has("zelm_fields")) {
      Stmt s(&h.c, "SELECT count(*) FROM t.zelm_fields");
      fieldsDescribed = s.Step() && s.Int(0) > 0;
    }
    if (named && fieldsDescribed && h.Has("zelm_indexes")) return DBIERR_NOTABLE;  // described: damaged otherwise
    // The columns the rows table has, in its order, as the schema types the fields it names.
    std::vector<FLDDesc> described;
    {
      Stmt s(&h.c, QString("SELECT name FROM pragma_table_xinfo(%1, 't') WHERE hidden = 0").arg(QuoteLiteral(inner)));
      while (s.Step()) {
        const QString column = s.Text(0);
        const auto f = std::find_if(fields.begin(), fields.end(), [&](const FLDDesc& d) {
          return d.szName.compare(column, Qt::CaseInsensitive) == 0;
        });
        if (f == fields.end()) continue;
        FLDDesc d = *f;
        d.szName = column;
        d.iFldNum = uint16_t(described.size() + 1);
        described.push_back(d);
      }
    }
    if (described.empty() && !fieldsDescribed) return DBIERR_NOTABLE;

    h.Begin();
    for (const auto& [name, definition] : DescriptionTables())
      if (name != "zelm_table" && !h.Has(name)) h.c.Exec("CREATE TABLE t." + definition);
    {
      Stmt s(&h.c, "INSERT OR REPLACE INTO t.zelm_table VALUES('name', ?)");
      s.Bind(1, inner);
      s.Step();
    }
    if (fieldsDescribed) {
      // Only its name or its list of indexes was lost: the check builds the indexes again.
      h.Commit();
      return DBIERR_NONE;
    }
    {
      Stmt s(&h.c, "INSERT INTO t.zelm_fields VALUES(?,?,?,?,?,?)");
      for (const FLDDesc& f : described) {
        s.BindAll({int(f.iFldNum), f.szName, int(f.iFldType), int(f.iSubType), int(f.iUnits1), int(f.iUnits2)});
        s.Step();
        sqlite3_reset(s.Raw());
      }
    }
    // The described indexes keep the fields their SQLite index has, numbered anew; one whose
    // index is gone or holds another column is left to the check to build again.
    std::vector<std::pair<int64_t, QString>> keys;
    {
      Stmt s(&h.c, "SELECT num, sqlname FROM t.zelm_indexes");
      while (s.Step()) keys.push_back({s.Int(0), s.Text(1)});
    }
    for (const auto& [num, sqlName] : keys) {
      QStringList numbers;
      bool whole = !sqlName.isEmpty();
      Stmt s(&h.c, QString("SELECT name FROM pragma_index_info(%1, 't') ORDER BY seqno").arg(QuoteLiteral(sqlName)));
      while (whole && s.Step()) {
        const QString column = s.Text(0);
        const auto f = std::find_if(described.begin(), described.end(), [&](const FLDDesc& d) {
          return d.szName.compare(column, Qt::CaseInsensitive) == 0;
        });
        if (f == described.end()) whole = false;
        else numbers << QString::number(f->iFldNum);
      }
      if (whole && !numbers.isEmpty()) {
        Stmt w(&h.c, "UPDATE t.zelm_indexes SET keyflds = ? WHERE num = ?");
        w.BindAll({numbers.join(','), qlonglong(num)});
        w.Step();
      } else {
        Stmt w(&h.c, "DELETE FROM t.zelm_indexes WHERE num = ?");
        w.Bind(1, qlonglong(num));
        w.Step();
      }
    }
    h.Commit();
    return DBIERR_NONE;
  } catch (const EDBEngineError& e) {
    why = e.Message();
    return e.ErrorCode();
  }
}

}  // namespace Dbi
