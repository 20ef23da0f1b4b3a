// What a table file holds besides its table and the engine's own objects, whether its indexes
// are in the file as described, and whether its unique keys hold a value twice.
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QDate>
#include <algorithm>
#include <cmath>
#include <future>
#include <sqlite3.h>
#include <string>
#include <thread>

#include "platform/db/DbiStructure.h"
#include "platform/db/EngineCore.h"
#include "platform/db/FieldValues.h"

using namespace dbe;

namespace {

bool Same(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

int64_t CountOf(sqlite3* db, const QByteArray& sql);

// An index that the engine keeps out of sight while its companion file is gone (a unique key,
// kept so that no code is stored twice until the check rebuilds the table).
bool HiddenUniqueKey(Conn* c, const TableFile* f, const QString& name) {
  if (!name.startsWith("zx_")) return false;
  for (const IndexMeta& x : f->meta.indexes)
    if (x.sqlName == name) return false;
  Stmt s(c, QString("SELECT \"unique\" FROM pragma_index_list(%1, %2) WHERE name = %3")
                .arg(QuoteLiteral(f->meta.inner), QuoteLiteral(f->alias), QuoteLiteral(name)));
  return s.Step() && s.Int(0) == 1;
}

}  // namespace

namespace dbe {

bool IndexAsDescribed(Conn* c, const TableFile* f, const IndexMeta& x) {
  if (x.sqlName.isEmpty()) return false;
  {
    Stmt s(c, QString("SELECT \"unique\", partial FROM pragma_index_list(%1, %2) WHERE name = %3")
                  .arg(QuoteLiteral(f->meta.inner), QuoteLiteral(f->alias), QuoteLiteral(x.sqlName)));
    if (!s.Step()) return false;
    if ((s.Int(0) == 1) != (x.desc.bPrimary || x.desc.bUnique) || s.Int(1) != 0) return false;
  }
  Stmt s(c, QString("SELECT cid, \"desc\", coll FROM pragma_index_xinfo(%1, %2) WHERE key = 1 ORDER BY seqno")
                .arg(QuoteLiteral(x.sqlName), QuoteLiteral(f->alias)));
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

std::vector<FLDDesc> HeldFields(Conn* c, const QString& alias, const TableMeta& description) {
  std::vector<FLDDesc> out;
  Stmt s(c, QString("SELECT name, upper(type), hidden FROM pragma_table_xinfo(%1, %2)")
                .arg(QuoteLiteral(description.inner), QuoteLiteral(alias)));
  while (s.Step()) {
    FLDDesc f;
    f.iFldNum = uint16_t(out.size() + 1);
    f.szName = s.Text(0);
    f.iFldType = fldUNKNOWN;
    const int i = description.FieldIndex(f.szName);
    const bool computed = s.Int(2) != 0;
    if (i >= 0 && !computed && SqlType(description.fields[i]) == s.Text(1)) {
      const FLDDesc& d = description.fields[i];
      f.iFldType = d.iFldType;
      f.iSubType = d.iSubType;
      f.iUnits1 = d.iUnits1;
      f.iUnits2 = d.iUnits2;
    }
    out.push_back(f);
  }
  return out;
}

namespace {

// A definition's text without its quoted names and literals, upper case: its keywords only.
QString Keywords(const QString& sql) {
  QString out;
  QChar close;
  for (const QChar ch : sql) {
    if (!close.isNull()) {
      if (ch == close) close = QChar();  // a doubled quote closes and opens again: the same
      continue;
    }
    if (ch == '\'' || ch == '"' || ch == '`') close = ch;
    else if (ch == '[') close = ']';
    else out += ch.toUpper();
    if (!close.isNull()) out += ' ';
  }
  return out;
}

// Why the rows table of a file is not the one the engine makes for its description, read from
// what SQLite says the table is.
QStringList RowsTableDifferences(Conn* c, const TableFile* f, const QString& stored) {
  QStringList out;
  const TableMeta& m = f->meta;
  struct Column {
    QString name, type;
    bool notNull = false, hasDefault = false, generated = false, key = false;  // key: said once for the table
    QString defaultText;
  };
  std::vector<Column> held;
  {
    Stmt s(c, QString("SELECT name, type, \"notnull\", dflt_value, pk, hidden FROM pragma_table_xinfo(%1, %2)")
                  .arg(QuoteLiteral(m.inner), QuoteLiteral(f->alias)));
    while (s.Step())
      held.push_back({s.Text(0), s.Text(1).toUpper(), s.Int(2) != 0, !s.IsNull(3), s.Int(5) == 2 || s.Int(5) == 3,
                      s.Int(4) != 0, s.Text(3)});
  }
  auto col = [](const QString& name) { return QString("la colonne « %1 »").arg(name); };
  for (size_t i = 0; i < m.fields.size(); ++i) {
    const FLDDesc& d = m.fields[i];
    size_t j = 0;
    while (j < held.size() && held[j].name.compare(d.szName, Qt::CaseInsensitive) != 0) ++j;
    if (j == held.size()) {
      out << col(d.szName) + " que donne sa description manque";
      continue;
    }
    const Column& h = held[j];
    if (h.type != SqlType(d))
      out << col(h.name) + (h.type.isEmpty() ? QString(" n'a pas de type")
                                              : QString(" est de type %1 au lieu du type %2 que donne sa description")
                                                    .arg(h.type, SqlType(d)));
    if (h.generated) out << col(h.name) + " est calculée";
    if (h.notNull && !h.key) out << col(h.name) + " refuse les valeurs vides (NOT NULL)";
    if (h.hasDefault) out << col(h.name) + QString(" a une valeur par défaut (%1)").arg(h.defaultText);
  }
  // The order of the fields the table has, apart from those missing or in excess (said above).
  QStringList heldOrder, describedOrder;
  for (const Column& h : held)
    if (m.FieldIndex(h.name) >= 0) heldOrder << h.name.toUpper();
  for (const FLDDesc& d : m.fields)
    if (std::any_of(held.begin(), held.end(), [&](const Column& h) { return h.name.compare(d.szName, Qt::CaseInsensitive) == 0; }))
      describedOrder << d.szName.toUpper();
  if (heldOrder != describedOrder) out << QString::fromUtf8(Dbi::kColumnsOutOfOrder);
  QStringList key;
  for (const Column& h : held)
    if (h.key) key << h.name;
  if (!key.isEmpty()) out << "la table a sa propre clé primaire (PRIMARY KEY : " + key.join(", ") + ")";
  for (const Column& h : held)
    if (m.FieldIndex(h.name) < 0)
      out << (h.generated ? QString("la colonne calculée « %1 » n'est pas dans sa description").arg(h.name)
                          : col(h.name) + " n'est pas dans sa description");
  {
    Stmt s(c, QString("SELECT wr FROM pragma_table_list(%1) WHERE schema = %2")
                  .arg(QuoteLiteral(m.inner), QuoteLiteral(f->alias)));
    if (s.Step() && s.Int(0) != 0) out << "la table est sans numéro de fiche (WITHOUT ROWID)";
  }
  {
    Stmt s(c, QString("SELECT count(*) FROM pragma_foreign_key_list(%1, %2)").arg(QuoteLiteral(m.inner), QuoteLiteral(f->alias)));
    if (s.Step() && s.Int(0) > 0) out << "la table renvoie à une autre table (REFERENCES)";
  }
  // Clauses no pragma shows.
  const QString words = Keywords(stored);
  const std::pair<const char*, const char*> clauses[] = {
      {"CHECK", "la table pose une condition à ses valeurs (CHECK)"},
      {"COLLATE", "la table compare des textes dans un ordre à elle (COLLATE)"},
      {"UNIQUE", "la table interdit des doublons que le schéma ne décrit pas (UNIQUE)"},
      {"ON CONFLICT", "la table règle elle-même ses conflits (ON CONFLICT)"},
  };
  for (const auto& [word, text] : clauses)
    if (QRegularExpression(QString("\\b%1\\b").arg(word)).match(words).hasMatch()) out << QString::fromUtf8(text);
  if (out.isEmpty()) out << "la définition de la table n'est pas celle que le programme écrit";
  return out;
}

}  // namespace

QStringList DefinitionDifferences(Conn* c, const TableFile* f) {
  QStringList out;
  auto storedText = [&](const QString& name, QString& sql) {
    Stmt s(c, QString("SELECT sql FROM %1.sqlite_master WHERE type = 'table' AND name = %2")
                  .arg(f->alias, QuoteLiteral(name)));
    if (!s.Step()) return false;
    sql = s.Text(0);
    return true;
  };
  for (const auto& [name, definition] : DescriptionTables()) {
    QString sql;
    if (storedText(name, sql) && sql != "CREATE TABLE " + definition)
      out << QString("la table de description « %1 » n'est pas celle que le programme crée").arg(name);
  }
  QString sql;
  // A table made before the tables were STRICT is the program's own all the same (see Strict).
  const QString made = "CREATE TABLE " + RowsTableDefinition(f->meta);
  if (storedText(f->meta.inner, sql) && sql != made && sql + " STRICT" != made) {
    for (const QString& d : RowsTableDifferences(c, f, sql)) out << d;
  }
  // An index stored under a described index's name that is not that index: the description
  // and the file disagree (an index dropped behind the engine's back is only missing).
  for (const IndexMeta& x : f->meta.indexes) {
    Stmt s(c, QString("SELECT 1 FROM %1.sqlite_master WHERE type = 'index' AND name = %2")
                  .arg(f->alias, QuoteLiteral(x.sqlName)));
    if (!x.sqlName.isEmpty() && s.Step() && !IndexAsDescribed(c, f, x))
      out << (x.desc.bPrimary || x.desc.szName.isEmpty()
                  ? QStringLiteral("l'index primaire du fichier n'est pas celui que donne sa description")
                              : QString("l'index %1 du fichier n'est pas celui que donne sa description").arg(x.desc.szName));
  }
  {
    // SQLite's own tables that cannot be dropped, only left behind by a rebuild.
    Stmt s(c, QString("SELECT name FROM %1.sqlite_master WHERE type = 'table' AND name LIKE 'sqlite\\_%' ESCAPE '\\'"
                      " AND name NOT LIKE 'sqlite\\_stat%' ESCAPE '\\'").arg(f->alias));
    while (s.Step()) out << QString("la table interne « %1 » est en trop").arg(s.Text(0));
  }
  return out;
}

}  // namespace dbe

namespace {

struct Foreign {
  QString type, name;
};

std::vector<Foreign> ForeignOf(Conn* c, const TableFile* f) {
  std::vector<Foreign> out;
  {
    Stmt s(c, QString("SELECT type, name, tbl_name, sql FROM %1.sqlite_master").arg(f->alias));
    while (s.Step()) {
      const QString type = s.Text(0), name = s.Text(1), table = s.Text(2);
      if (type == "table") {
        // The engine makes no table of SQLite's own (sqlite_sequence, sqlite_stat1: made only on
        // request, by AUTOINCREMENT or ANALYZE, which it never writes).
        if (name == f->meta.inner || name == "zelm_table" || name == "zelm_fields" || name == "zelm_indexes")
          continue;
      } else if (type == "index") {
        // The keys SQLite keeps for a table's own constraints are part of that table's definition,
        // judged with it (DefinitionDifferences); they go with it.
        if (name.startsWith("sqlite_autoindex_") && s.IsNull(3)) continue;
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

// SQLite's own tables other than its statistics cannot be dropped: a file holding one is rebuilt.
bool Undroppable(const Foreign& o) {
  return o.type == "table" && o.name.startsWith("sqlite_", Qt::CaseInsensitive) &&
         !o.name.startsWith("sqlite_stat", Qt::CaseInsensitive);
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
  return WithTableFile(folder, fileName, Engine::Mode::Probe, [&](TableFile* f) {
    Conn* c = f->conn;
    TableFileContents out;
    for (const Foreign& o : ForeignOf(c, f)) out.foreign << French(o);
    {
      Stmt s(c, QString("SELECT type FROM %1.sqlite_master WHERE name = %2")
                    .arg(f->alias, QuoteLiteral(f->meta.inner)));
      out.rowsTable = s.Step() && s.Text(0) == "table";
    }
    if (out.rowsTable) {
      out.differences = DefinitionDifferences(c, f);
      Stmt s(c, QString("SELECT strict FROM pragma_table_list(%1) WHERE schema = %2")
                    .arg(QuoteLiteral(f->meta.inner), QuoteLiteral(f->alias)));
      out.strict = s.Step() && s.Int(0) != 0;
    }
    if (out.rowsTable) {
      Stmt s(c, QString("SELECT name FROM pragma_table_xinfo(%1, %2)").arg(QuoteLiteral(f->meta.inner), QuoteLiteral(f->alias)));
      while (s.Step()) out.heldColumns << s.Text(0);
      Stmt x(c, QString("SELECT name FROM %1.sqlite_master WHERE type = 'index' AND tbl_name = %2")
                    .arg(f->alias, QuoteLiteral(f->meta.inner)));
      while (x.Step()) {
        if (!HiddenUniqueKey(c, f, x.Text(0))) continue;
        QStringList cols;
        Stmt k(c, QString("SELECT name FROM pragma_index_info(%1, %2) ORDER BY seqno")
                      .arg(QuoteLiteral(x.Text(0)), QuoteLiteral(f->alias)));
        while (k.Step()) cols << k.Text(0);
        out.undescribedKeys.push_back(cols);
      }
    }
    out.path = f->path;
    out.rowsTableName = f->meta.inner;
    out.fields = f->meta.fields;
    for (const IndexMeta& x : f->meta.indexes) {
      IDXDesc d = x.desc;
      d.bOutOfDate = !out.rowsTable || !IndexAsDescribed(c, f, x);
      out.indexes.push_back(d);
      out.sqlNames.push_back(x.sqlName);
      QStringList cols;
      for (uint16_t k : x.desc.aiKeyFld)
        if (k >= 1 && k <= f->meta.fields.size()) cols << f->meta.fields[k - 1].szName;
      out.keyColumns.push_back(cols);
    }
    return out;
  });
}

bool DescriptionWithoutFields(const QString& folder, const QString& fileName) {
  const QString path = FindTableFile(folder, fileName);
  if (path.isEmpty()) return false;
  sqlite3* db = nullptr;
  bool empty = false;
  if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK)
    empty = CountOf(db, "SELECT count(*) FROM zelm_fields") == 0 && CountOf(db, "SELECT count(*) FROM zelm_table") > 0;
  sqlite3_close(db);
  return empty;
}

int RemoveForeignObjects(const QString& folder, const QString& fileName) {
  try {
    // Opened as a probe: opened for use, the engine may write to the file (an index whose
    // companion is gone), which a trigger still there would answer.
    return WithTableFile(folder, fileName, Engine::Mode::Probe, [&](TableFile* f) {
      if (f->readOnly) Raise(DBIERR_READONLY, TableDetail(f->path));
      std::vector<Foreign> objects = ForeignOf(f->conn, f);
      objects.erase(std::remove_if(objects.begin(), objects.end(), Undroppable), objects.end());
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
          const QString kind = o.type == "trigger" ? "TRIGGER"
                               : o.type == "view"  ? "VIEW"
                               : o.type == "index" ? "INDEX"
                                                   : "TABLE";
          c->Exec(QString("DROP %1 IF EXISTS %2.%3").arg(kind, f->alias, Quote(o.name)));
        }
        if (ownTx) c->Exec("COMMIT");
      } catch (...) {
        if (ownTx) sqlite3_exec(c->db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
      }
      Engine::Get().AfterWrite(f);
      return DBIERR_NONE;
    });
  } catch (const EDBEngineError& e) {
    return e.ErrorCode();
  }
}

QStringList UndescribedIndexes(const QString& folder, const QString& fileName) {
  return WithTableFile(folder, fileName, Engine::Mode::Probe,
                       [&](TableFile* f) { return UndescribedCompanionIndexes(f->path, f->meta); });
}

int64_t DuplicateKeys(const QString& folder, const QString& fileName, const IDXDesc& key) {
  return WithTableFile(folder, fileName, Engine::Mode::Probe, [&](TableFile* f) -> int64_t {
    QStringList cols, notNull, names;
    bool ci = false;
    // The key's fields are numbered as the rows table holds them (GetFieldDescs).
    const std::vector<FLDDesc> held = HeldFields(f->conn, f->alias, f->meta);
    for (uint16_t k : key.aiKeyFld) {
      if (k < 1 || k > held.size()) return 0;
      const FLDDesc& fd = held[k - 1];
      QString col = Quote(fd.szName);
      names << fd.szName;
      notNull << col + " IS NOT NULL";
      const int described = f->meta.FieldIndex(fd.szName);
      const bool text = fd.iFldType == fldZSTRING ||
                        (fd.iFldType == fldUNKNOWN && described >= 0 && f->meta.fields[described].iFldType == fldZSTRING);
      if (key.bCaseInsensitive && text) {
        col += " COLLATE " + f->meta.ciCollation;
        ci = true;
      }
      cols << col;
    }
    if (cols.isEmpty()) return 0;
    // The file's own index on that key, when it has it as described: its entries come in key
    // order, so a key held twice sits on two neighbouring entries, found in one read of the index
    // without grouping (a year of takings: a fraction of the time).
    const IndexMeta* own = nullptr;
    for (const IndexMeta& x : f->meta.indexes) {
      QStringList ownNames;
      for (uint16_t k : x.desc.aiKeyFld)
        ownNames << (k >= 1 && k <= f->meta.fields.size() ? f->meta.fields[k - 1].szName.toUpper() : QString());
      QStringList upper;
      for (const QString& n : names) upper << n.toUpper();
      if (ownNames == upper && !x.desc.bDescending && IndexAsDescribed(f->conn, f, x)) own = &x;
    }
    if (own && !ci) {
      const int64_t n = RepeatedKeysInIndex(f->path, f->meta.inner, own->sqlName, names);
      if (n >= 0) return n;
    }
    // The rows themselves, not an index: one that lies about what it holds must not hide a key.
    Stmt s(f->conn, QString("SELECT count(*) FROM (SELECT 1 FROM %1 NOT INDEXED WHERE %2 GROUP BY %3 HAVING count(*) > 1)")
                        .arg(f->Q(), notNull.join(" AND "), cols.join(", ")));
    return s.Step() ? s.Int(0) : 0;
  });
}

}  // namespace Dbi

namespace {

// The one number a count query gives on a connection; -1 when it fails.
int64_t CountOf(sqlite3* db, const QByteArray& sql) {
  sqlite3_stmt* st = nullptr;
  int64_t n = -1;
  if (sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
    n = sqlite3_column_int64(st, 0);
  sqlite3_finalize(st);
  return n;
}

// One range of an index read in order on a connection of its own: the key values found on two
// neighbouring entries, and the entries read (in `entries`). `from`/`to` bound the key's first
// column (empty: no bound).
int64_t RepeatsInRange(const QByteArray& path, const QString& sql, sqlite3_value* from, sqlite3_value* to,
                       int columns, int64_t* entries) {
  sqlite3* db = nullptr;
  int64_t found = -1;
  *entries = 0;
  if (sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) == SQLITE_OK) {
    // Read through the page cache, not mapped: the page check maps the same file meanwhile, and
    // every mapping would count again in the process's resident memory.
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st, nullptr) == SQLITE_OK) {
      int p = 1;
      if (from) sqlite3_bind_value(st, p++, from);
      if (to) sqlite3_bind_value(st, p++, to);
      std::vector<std::string> prev(columns), cur(columns);  // short keys stay inside the strings
      std::vector<int> prevType(columns, SQLITE_NULL), curType(columns, SQLITE_NULL);
      found = 0;
      bool counted = false, first = true;
      int rc;
      while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        ++*entries;
        bool same = !first;
        for (int i = 0; i < columns; ++i) {
          curType[i] = sqlite3_column_type(st, i);
          if (curType[i] == SQLITE_INTEGER || curType[i] == SQLITE_FLOAT) {
            const double d = sqlite3_column_double(st, i);
            cur[i].assign(reinterpret_cast<const char*>(&d), sizeof d);
            curType[i] = SQLITE_FLOAT;
          } else if (curType[i] != SQLITE_NULL) {
            const void* b = sqlite3_column_blob(st, i);
            cur[i].assign(b ? static_cast<const char*>(b) : "", size_t(sqlite3_column_bytes(st, i)));
          }
          // An empty value is never the same key, as for the index itself.
          if (curType[i] == SQLITE_NULL || curType[i] != prevType[i] || cur[i] != prev[i]) same = false;
        }
        if (same && !counted) ++found;
        counted = same;
        first = false;
        std::swap(prev, cur);
        std::swap(prevType, curType);
      }
      if (rc != SQLITE_DONE) found = -1;
    }
    sqlite3_finalize(st);
  }
  sqlite3_close(db);
  return found;
}

}  // namespace

namespace Dbi {

int64_t RepeatedKeysInIndex(const QString& path, const QString& table, const QString& sqlName,
                            const QStringList& columns) {
  if (columns.isEmpty()) return 0;
  dbe::RegisterCollationsEverywhere();
  const QByteArray file = QFile::encodeName(path);
  QStringList cols;
  for (const QString& c : columns) cols << Quote(c);
  const QString first = cols.front();
  // Cut points on the key's first column, so that a key held twice falls inside one part; the
  // parts are read at once, each on its own connection.
  std::vector<sqlite3_value*> cuts;
  int64_t indexed = -1, emptyFirst = -1;
  {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(file.constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) == SQLITE_OK) {
      sqlite3_stmt* st = nullptr;
      // The entries, to cut the index in parts (the rows of the table itself are counted below,
      // beside the parts), and those whose first key value is empty, which no part reads.
      indexed = CountOf(db, QString("SELECT count(*) FROM %1 INDEXED BY %2").arg(Quote(table), Quote(sqlName)).toUtf8());
      emptyFirst = CountOf(db, QString("SELECT count(*) FROM %1 INDEXED BY %2 WHERE %3 IS NULL")
                                   .arg(Quote(table), Quote(sqlName), first)
                                   .toUtf8());
      const int parts = indexed > 400000 ? 4 : 1;
      const QByteArray at = QString("SELECT %1 FROM %2 INDEXED BY %3 WHERE %1 IS NOT NULL LIMIT 1 OFFSET ?")
                                .arg(first, Quote(table), Quote(sqlName)).toUtf8();
      for (int k = 1; k < parts; ++k) {
        st = nullptr;
        if (sqlite3_prepare_v2(db, at.constData(), -1, &st, nullptr) == SQLITE_OK) {
          sqlite3_bind_int64(st, 1, indexed * k / parts);
          if (sqlite3_step(st) == SQLITE_ROW) {
            sqlite3_value* v = sqlite3_value_dup(sqlite3_column_value(st, 0));
            const bool repeated = v && !cuts.empty() && sqlite3_value_type(v) == SQLITE_TEXT &&
                                  sqlite3_value_type(cuts.back()) == SQLITE_TEXT &&
                                  QByteArray(reinterpret_cast<const char*>(sqlite3_value_text(v))) ==
                                      QByteArray(reinterpret_cast<const char*>(sqlite3_value_text(cuts.back())));
            if (v && !repeated) cuts.push_back(v);
            else sqlite3_value_free(v);
          }
        }
        sqlite3_finalize(st);
      }
    }
    sqlite3_close(db);
  }
  if (indexed < 0 || emptyFirst < 0) {
    for (sqlite3_value* v : cuts) sqlite3_value_free(v);
    return -1;
  }
  // The rows counted in the table itself, not in an index, read at the same time as the parts.
  std::future<int64_t> tableRows = std::async(std::launch::async, [file, table] {
    sqlite3* db = nullptr;
    int64_t n = -1;
    if (sqlite3_open_v2(file.constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) == SQLITE_OK)
      n = CountOf(db, QString("SELECT count(*) FROM %1 NOT INDEXED").arg(Quote(table)).toUtf8());
    sqlite3_close(db);
    return n;
  });
  std::vector<int64_t> entries(cuts.size() + 1, 0);
  std::vector<std::future<int64_t>> parts;
  for (size_t k = 0; k <= cuts.size(); ++k) {
    sqlite3_value* from = k == 0 ? nullptr : cuts[k - 1];
    sqlite3_value* to = k == cuts.size() ? nullptr : cuts[k];
    QStringList where;
    if (from) where << QString("%1 >= ?").arg(first);
    if (to) where << QString("%1 < ?").arg(first);
    const QString sql = QString("SELECT %1 FROM %2 INDEXED BY %3%4")
                            .arg(cols.join(", "), Quote(table), Quote(sqlName),
                                 where.isEmpty() ? QString() : " WHERE " + where.join(" AND "));
    parts.push_back(
        std::async(std::launch::async, RepeatsInRange, file, sql, from, to, int(columns.size()), &entries[k]));
  }
  int64_t total = 0;
  bool failed = false;
  for (auto& p : parts) {
    const int64_t n = p.get();
    if (n < 0) failed = true;
    else total += n;
  }
  for (sqlite3_value* v : cuts) sqlite3_value_free(v);
  const int64_t rows = tableRows.get();
  if (failed || rows < 0) return -1;
  int64_t held = cuts.empty() ? 0 : emptyFirst;  // a single part reads them too
  for (int64_t n : entries) held += n;
  return held == rows ? total : kIndexNotWhole;
}

}  // namespace Dbi

namespace {

struct Refused {
  int64_t rowid;
  int field;
  QString why;
};

struct PartValues {
  bool ok = false;
  int64_t count = 0;
  std::vector<Refused> first;  // by row, at most ten
};

// How the engine itself writes a field's values, read straight from a row: a value so written is
// one the field takes as it is. Only the others are read into values for the rebuild's own
// judgement (Carry), which stays the judge: this spares it the millions of values the program
// wrote, and never takes a value it would refuse.
struct AsWritten {
  FLDDesc field;
  WholeRange whole;

  explicit AsWritten(const FLDDesc& f) : field(f), whole(WholeRangeOf(f.iFldType)) {}

  bool Holds(sqlite3_stmt* st, int i) const {
    const int type = sqlite3_column_type(st, i);
    if (type == SQLITE_NULL) return true;
    switch (field.iFldType) {
      case fldZSTRING:  // a character takes at least one byte
        return type == SQLITE_TEXT && sqlite3_column_bytes(st, i) <= field.iUnits1;
      case fldINT16: case fldINT32: {
        const qlonglong n = sqlite3_column_int64(st, i);
        return type == SQLITE_INTEGER && whole.Holds(n);
      }
      case fldBOOL: {
        const qlonglong n = sqlite3_column_int64(st, i);
        return type == SQLITE_INTEGER && (n == 0 || n == 1);
      }
      case fldFLOAT: {
        if (type != SQLITE_FLOAT) return false;
        const double d = sqlite3_column_double(st, i);
        if (!std::isfinite(d)) return false;
        if (field.iSubType != fldstMONEY) return true;
        // Four decimals as Carry keeps them, on amounts far within its bounds.
        return std::fabs(d) < 1e11 && MoneyKeepsAsIs(d);
      }
      case fldDATE: {
        if (type != SQLITE_TEXT || sqlite3_column_bytes(st, i) != 10) return false;
        const unsigned char* t = sqlite3_column_text(st, i);
        int n[8], k = 0;
        for (int p = 0; p < 10; ++p) {
          if (p == 4 || p == 7) {
            if (t[p] != '-') return false;
          } else {
            if (t[p] < '0' || t[p] > '9') return false;
            n[k++] = t[p] - '0';
          }
        }
        const int y = n[0] * 1000 + n[1] * 100 + n[2] * 10 + n[3];
        return y >= 1000 && QDate::isValid(y, n[4] * 10 + n[5], n[6] * 10 + n[7]);
      }
      default:
        return false;
    }
  }
};

// One range of rows read on a connection of its own; every value judged by the rebuild's rule.
PartValues ValuesInPart(const QByteArray& path, const QString& sql, const std::vector<FLDDesc>& fields,
                        int64_t from, int64_t to) {
  PartValues out;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) == SQLITE_OK) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st, nullptr) == SQLITE_OK) {
      sqlite3_bind_int64(st, 1, from);
      sqlite3_bind_int64(st, 2, to);
      std::vector<AsWritten> written;
      for (const FLDDesc& f : fields) written.emplace_back(f);
      QVariant carried;
      QString why;
      int rc;
      while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        for (size_t j = 0; j < fields.size(); ++j) {
          if (written[j].Holds(st, int(j) + 1)) continue;
          if (Carry(ColumnValue(st, int(j) + 1), fields[j], carried, why)) continue;
          if (++out.count <= 10) out.first.push_back({sqlite3_column_int64(st, 0), int(j), why});
        }
      }
      out.ok = rc == SQLITE_DONE;
    }
    sqlite3_finalize(st);
  }
  sqlite3_close(db);
  return out;
}

Dbi::ValuesBeyondFields ValuesBeyond(const QString& path, const std::vector<FLDDesc>& described) {
  Dbi::ValuesBeyondFields out;
  out.read = false;
  const QByteArray file = QFile::encodeName(path);
  QString table = QFileInfo(path).fileName().section('.', 0, 0);
  std::vector<FLDDesc> fields;
  QStringList cols;
  int64_t low = 0, high = -1;
  {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(file.constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
      sqlite3_close(db);
      return out;
    }
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT value FROM zelm_table WHERE key = 'name'", -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW)
      table = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    st = nullptr;
    const QByteArray columns = QString("SELECT name FROM pragma_table_xinfo(%1) WHERE hidden = 0").arg(QuoteLiteral(table)).toUtf8();
    QStringList held;
    if (sqlite3_prepare_v2(db, columns.constData(), -1, &st, nullptr) == SQLITE_OK)
      while (sqlite3_step(st) == SQLITE_ROW) held << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    for (const FLDDesc& f : described)
      for (const QString& h : held)
        if (Same(h, f.szName)) {
          fields.push_back(f);
          cols << Quote(h);
          break;
        }
    st = nullptr;
    const QByteArray bounds = QString("SELECT min(rowid), max(rowid) FROM %1").arg(Quote(table)).toUtf8();
    const bool bounded = sqlite3_prepare_v2(db, bounds.constData(), -1, &st, nullptr) == SQLITE_OK &&
                         sqlite3_step(st) == SQLITE_ROW;
    if (bounded && sqlite3_column_type(st, 0) != SQLITE_NULL) {
      low = sqlite3_column_int64(st, 0);
      high = sqlite3_column_int64(st, 1);
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    if (!bounded) return out;  // no rows table with row numbers: a rebuild judges its values
  }
  out.read = true;
  if (fields.empty() || high < low) return out;
  // Parts of the rows by their numbers, read at once: a year of takings is millions of values.
  const int parts = high - low > 400000 ? int(std::clamp(std::thread::hardware_concurrency(), 4u, 8u)) : 1;
  const QString sql = QString("SELECT rowid, %1 FROM %2 NOT INDEXED WHERE rowid >= ?1 AND rowid <= ?2")
                          .arg(cols.join(", "), Quote(table));
  std::vector<std::future<PartValues>> running;
  const int64_t span = (high - low) / parts + 1;
  for (int k = 0; k < parts; ++k) {
    const int64_t from = low + span * k, to = k == parts - 1 ? high : from + span - 1;
    running.push_back(std::async(std::launch::async, ValuesInPart, file, sql, fields, from, to));
  }
  std::vector<Refused> first;
  for (auto& r : running) {
    PartValues p = r.get();
    out.read = out.read && p.ok;
    out.count += p.count;
    first.insert(first.end(), p.first.begin(), p.first.end());
  }
  if (first.size() > 10) first.resize(10);  // the parts come in the order of their rows
  // A row is named by its place among the rows, as the rebuild names it.
  sqlite3* db = nullptr;
  if (!first.empty() && sqlite3_open_v2(file.constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) == SQLITE_OK) {
    for (const Refused& r : first) {
      const int64_t place =
          CountOf(db, QString("SELECT count(*) FROM %1 WHERE rowid <= %2").arg(Quote(table)).arg(r.rowid).toUtf8());
      // The table is named by the sentence that lists these.
      out.named << QString("champ %1, fiche %2 : %3").arg(fields[r.field].szName).arg(place).arg(r.why);
    }
  }
  sqlite3_close(db);
  return out;
}

}  // namespace

namespace Dbi {

std::future<ValuesBeyondFields> StartValuesCheck(const QString& folder, const QString& fileName,
                                                 const std::vector<FLDDesc>& fields) {
  const QString path = FindTableFile(folder, fileName);
  if (path.isEmpty()) {
    std::promise<ValuesBeyondFields> none;
    ValuesBeyondFields unread;
    unread.read = false;
    none.set_value(unread);
    return none.get_future();
  }
  dbe::RegisterCollationsEverywhere();
  return std::async(std::launch::async, ValuesBeyond, path, fields);
}

}  // namespace Dbi
