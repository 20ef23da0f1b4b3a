// What a table file holds besides its table and the engine's own objects, whether its indexes
// are in the file as described, and whether its unique keys hold a value twice.
#include <QDir>
#include <QFileInfo>
#include <sqlite3.h>

#include "platform/db/DbiStructure.h"
#include "platform/db/EngineCore.h"

using namespace dbe;

namespace {

// The file held open for a look, closed on every path.
struct Held {
  TableFile* f;
  Held(const QString& folder, const QString& fileName, Engine::Mode mode) {
    const QString path = Dbi::FindTableFile(folder, fileName);
    if (path.isEmpty()) Raise(DBIERR_NOSUCHTABLE, QDir(folder).filePath(fileName));
    f = Engine::Get().Open(path, mode);
  }
  ~Held() { Engine::Get().Close(f); }
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;
};

QString Lit(const QString& s) {
  QString t = s;
  t.replace('\'', "''");
  return '\'' + t + '\'';
}

bool Same(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

// An index that the engine keeps out of sight while its companion file is gone (a unique key,
// kept so that no code is stored twice until the check rebuilds the table).
bool HiddenUniqueKey(Conn* c, const TableFile* f, const QString& name) {
  if (!name.startsWith("zx_")) return false;
  for (const IndexMeta& x : f->meta.indexes)
    if (x.sqlName == name) return false;
  Stmt s(c, QString("SELECT \"unique\" FROM pragma_index_list(%1, %2) WHERE name = %3")
                .arg(Lit(f->meta.inner), Lit(f->alias), Lit(name)));
  return s.Step() && s.Int(0) == 1;
}

}  // namespace

namespace dbe {

bool IndexAsDescribed(Conn* c, const TableFile* f, const IndexMeta& x) {
  if (x.sqlName.isEmpty()) return false;
  {
    Stmt s(c, QString("SELECT \"unique\", partial FROM pragma_index_list(%1, %2) WHERE name = %3")
                  .arg(Lit(f->meta.inner), Lit(f->alias), Lit(x.sqlName)));
    if (!s.Step()) return false;
    if ((s.Int(0) == 1) != (x.desc.bPrimary || x.desc.bUnique) || s.Int(1) != 0) return false;
  }
  Stmt s(c, QString("SELECT cid, \"desc\", coll FROM pragma_index_xinfo(%1, %2) WHERE key = 1 ORDER BY seqno")
                .arg(Lit(x.sqlName), Lit(f->alias)));
  size_t k = 0;
  while (s.Step()) {
    if (k >= x.desc.aiKeyFld.size()) return false;
    const uint16_t fld = x.desc.aiKeyFld[k++];
    if (fld < 1 || fld > f->meta.fields.size() || s.Int(0) != fld - 1) return false;
    if ((s.Int(1) == 1) != x.desc.bDescending) return false;
    const bool ci = x.desc.bCaseInsensitive && f->meta.fields[fld - 1].iFldType == fldZSTRING;
    if (!Same(s.Text(2), ci ? f->meta.ciCollation : QStringLiteral("BINARY"))) return false;
  }
  return k == x.desc.aiKeyFld.size();
}

}  // namespace dbe

namespace {

struct Foreign {
  QString type, name;
};

std::vector<Foreign> ForeignOf(Conn* c, const TableFile* f) {
  std::vector<Foreign> out;
  {
  Stmt s(c, QString("SELECT type, name, tbl_name FROM %1.sqlite_master").arg(f->alias));
  while (s.Step()) {
    const QString type = s.Text(0), name = s.Text(1), table = s.Text(2);
    if (type == "table") {
      if (name == f->meta.inner || name == "zelm_table" || name == "zelm_fields" || name == "zelm_indexes" ||
          name == "sqlite_sequence" || name.startsWith("sqlite_stat"))
        continue;
    } else if (type == "index") {
      // The keys SQLite keeps for the engine's own description tables.
      if (name.startsWith("sqlite_autoindex_zelm_") && table.startsWith("zelm_")) continue;
      if (table == f->meta.inner) {
        bool described = false;
        for (const IndexMeta& x : f->meta.indexes) described |= x.sqlName == name;
        if (described) continue;
      }
    }
    out.push_back({type, name});
  }
  }
  // Unique keys the engine keeps out of sight are its own.
  std::vector<Foreign> kept;
  for (const Foreign& o : out)
    if (!(o.type == "index" && HiddenUniqueKey(c, f, o.name))) kept.push_back(o);
  return kept;
}

QString French(const Foreign& o) {
  if (o.type == "trigger") return QString("le déclencheur « %1 »").arg(o.name);
  if (o.type == "view") return QString("la vue « %1 »").arg(o.name);
  if (o.type == "index") return QString("l'index « %1 »").arg(o.name);
  return QString("la table « %1 »").arg(o.name);
}

}  // namespace

namespace Dbi {

TableFileContents ReadTableFileContents(const QString& folder, const QString& fileName) {
  Held h(folder, fileName, Engine::Mode::Probe);
  TableFile* f = h.f;
  Conn* c = f->conn;
  TableFileContents out;
  for (const Foreign& o : ForeignOf(c, f)) out.foreign << French(o);
  {
    Stmt s(c, QString("SELECT type FROM %1.sqlite_master WHERE name = %2").arg(f->alias, Lit(f->meta.inner)));
    out.rowsTable = s.Step() && s.Text(0) == "table";
  }
  for (const IndexMeta& x : f->meta.indexes) {
    IDXDesc d = x.desc;
    d.bOutOfDate = !out.rowsTable || !IndexAsDescribed(c, f, x);
    out.indexes.push_back(d);
  }
  return out;
}

int RemoveForeignObjects(const QString& folder, const QString& fileName) {
  try {
    Held h(folder, fileName, Engine::Mode::Shared);
    TableFile* f = h.f;
    if (f->readOnly) Raise(DBIERR_READONLY, TableDetail(f->path));
    std::vector<Foreign> objects = ForeignOf(f->conn, f);
    if (objects.empty()) return DBIERR_NONE;
    // Triggers and views first: dropping a table or an index may not leave one of them dangling.
    std::stable_partition(objects.begin(), objects.end(),
                          [](const Foreign& o) { return o.type == "trigger" || o.type == "view"; });
    Engine::Get().BeforeWrite(f);
    Conn* c = f->conn;
    const bool ownTx = !c->inTx;
    if (ownTx) c->Exec("BEGIN IMMEDIATE");
    try {
      for (const Foreign& o : objects) {
        const QString kind = o.type == "trigger" ? "TRIGGER" : o.type == "view" ? "VIEW" : o.type == "index" ? "INDEX" : "TABLE";
        c->Exec(QString("DROP %1 IF EXISTS %2.%3").arg(kind, f->alias, Quote(o.name)));
      }
      if (ownTx) c->Exec("COMMIT");
    } catch (...) {
      if (ownTx) sqlite3_exec(c->db, "ROLLBACK", nullptr, nullptr, nullptr);
      throw;
    }
    Engine::Get().AfterWrite(f);
    return DBIERR_NONE;
  } catch (const EDBEngineError& e) {
    return e.ErrorCode();
  }
}

int64_t DuplicateKeys(const QString& folder, const QString& fileName, const IDXDesc& key) {
  Held h(folder, fileName, Engine::Mode::Probe);
  TableFile* f = h.f;
  QStringList cols;
  for (uint16_t k : key.aiKeyFld) {
    if (k < 1 || k > f->meta.fields.size()) return 0;
    const FLDDesc& fd = f->meta.fields[k - 1];
    QString col = Quote(fd.szName);
    if (key.bCaseInsensitive && fd.iFldType == fldZSTRING) col += " COLLATE " + f->meta.ciCollation;
    cols << col;
  }
  if (cols.isEmpty()) return 0;
  // Grouped in the order of the key's index when the file has it: one pass over the index, no sort.
  Stmt s(f->conn, QString("SELECT count(*) FROM (SELECT 1 FROM %1 GROUP BY %2 HAVING count(*) > 1)")
                      .arg(f->Q(), cols.join(", ")));
  return s.Step() ? s.Int(0) : 0;
}

}  // namespace Dbi
