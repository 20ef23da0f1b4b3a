// A connection of the engine and its cached prepared statements.
#include "platform/db/EngineCore.h"

#include "platform/db/GroupCommit.h"

#include <QDir>
#include <QRegularExpression>
#include <sqlite3.h>

namespace dbe {

Conn::Conn(const QString& key) : folderKey(key) {
  NewGen();
  RegisterCollationsEverywhere();
  int rc = sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                           GroupVfsName());
  if (rc != SQLITE_OK) Raise(DBIERR_OSERROR, "le moteur SQL ne démarre pas");
  sqlite3_extended_result_codes(db, 1);
  sqlite3_busy_timeout(db, 5000);  // other processes only: inside the program nothing waits
  maxAttached = sqlite3_limit(db, SQLITE_LIMIT_ATTACHED, -1);
  RegisterCollations(db);
  // zfold(text): the text case-folded over all of Unicode, for case-insensitive Locate.
  sqlite3_create_function(
      db, "zfold", 1, SQLITE_UTF16 | SQLITE_DETERMINISTIC, nullptr,
      [](sqlite3_context* ctx, int, sqlite3_value** argv) {
        if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
        const void* p = sqlite3_value_text16(argv[0]);
        const int bytes = sqlite3_value_bytes16(argv[0]);
        const QString folded = QString(reinterpret_cast<const QChar*>(p), bytes / 2).toCaseFolded();
        sqlite3_result_text16(ctx, folded.utf16(), int(folded.size() * 2), SQLITE_TRANSIENT);
      },
      nullptr, nullptr);
  RegisterFieldRules(db);
}

void Conn::NewGen() {
  static uint64_t seq = 0;
  gen = ++seq;
}

Conn::~Conn() {
  for (auto& [sql, s] : longCache) sqlite3_finalize(s);
  longCache.clear();
  for (auto& [sql, s] : cache) sqlite3_finalize(s);
  cache.clear();
  sqlite3_close_v2(db);
}

sqlite3_stmt* Conn::Prepare(const QString& sql) {
  auto it = cache.find(sql);
  if (it != cache.end()) return it->second;
  if (cache.size() >= 256) {
    // Queries with their values written in make a new text each time: keep the cache small.
    NewGen();
    for (auto i = cache.begin(); i != cache.end();) {
      if (!sqlite3_stmt_busy(i->second) && !inUse.count(i->second)) {
        sqlite3_finalize(i->second);
        i = cache.erase(i);
      } else {
        ++i;
      }
    }
  }
  sqlite3_stmt* s = nullptr;
  QByteArray u = sql.toUtf8();
  int rc = sqlite3_prepare_v3(db, u.constData(), int(u.size()), SQLITE_PREPARE_PERSISTENT, &s, nullptr);
  if (rc != SQLITE_OK) Fail(rc, sql);
  cache.emplace(sql, s);
  return s;
}

void Conn::Exec(const QString& sql) {
  char* err = nullptr;
  int rc = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &err);
  if (err) sqlite3_free(err);
  if (rc != SQLITE_OK) Fail(rc, sql);
}

void Conn::Fail(int rc, const QString& what) {
  const QString msg = QString::fromUtf8(sqlite3_errmsg(db));
  int fitCode = 0;
  QString fitMessage;
  if (TakeFitRefusal(msg, fitCode, fitMessage)) Raise(fitCode, fitMessage + TablesNamedIn(what));
  const int primary = rc & 0xff;
  // The operator reads which table: the files the statement names, else the one SQLite names.
  QString named = TablesNamedIn(what).mid(1);
  if (rc == SQLITE_CONSTRAINT_UNIQUE || rc == SQLITE_CONSTRAINT_PRIMARYKEY) {
    if (named.isEmpty()) named = "Table : " + msg.section(':', 1).section('.', 0, 0).trimmed();
    Raise(DBIERR_KEYVIOL, named);
  }
  const QString cause = FrenchCause(rc);
  const QString detail = (named.isEmpty() ? QString() : named + "\n") + (cause.isEmpty() ? msg : cause);
  if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED) Raise(DBIERR_FILEBUSY, detail);
  if (primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT) Raise(DBIERR_NOTABLE, detail);
  if (primary == SQLITE_READONLY) Raise(DBIERR_READONLY, detail);
  if (primary == SQLITE_FULL || primary == SQLITE_IOERR || primary == SQLITE_CANTOPEN || primary == SQLITE_PERM)
    Raise(DBIERR_OSERROR, detail);
  static const QRegularExpression counts("^table zelm_src has (\\d+) values for (\\d+) columns$");
  if (const auto m = counts.match(msg); m.hasMatch())  // INSERT ... SELECT, see the dialect
    Raise(DBIERR_SQLERROR, QString("Le SELECT donne %1 valeurs par ligne pour %2 champs à remplir.").arg(m.captured(1), m.captured(2)) +
                               (what.isEmpty() ? QString() : "\n" + what));
  Raise(DBIERR_SQLERROR, msg + (what.isEmpty() ? QString() : "\n" + what));
}

QString Conn::TablesNamedIn(const QString& sql) const {
  QString out;
  for (const TableFile* f : files)
    if (!f->alias.isEmpty() && sql.contains(f->alias + ".")) out += "\nTable : " + QDir::toNativeSeparators(f->path);
  return out;
}

void Conn::DropCached(const QString& alias) {
  NewGen();
  const QString tag = alias + ".";
  for (auto it = longCache.begin(); it != longCache.end();) {
    if (it->first.contains(tag)) {
      sqlite3_finalize(it->second);
      it = longCache.erase(it);
    } else {
      ++it;
    }
  }
  for (auto it = cache.begin(); it != cache.end();) {
    if (it->first.contains(tag)) {
      sqlite3_finalize(it->second);
      it = cache.erase(it);
    } else {
      ++it;
    }
  }
}

Stmt::Stmt(Conn* c, const QString& sql) : Stmt(c, sql, nullptr) {}

Stmt::Stmt(Conn* c, const QString& sql, StmtSlot* slot) : c_(c) {
  if (sql.size() > 4000) {
    s_ = nullptr;
    auto& lc = c->longCache;
    for (auto& [text, st] : lc)
      if (text.size() == sql.size() && text == sql && !sqlite3_stmt_busy(st) && !c->inUse.count(st)) s_ = st;
    if (!s_) {
      QByteArray u = sql.toUtf8();
      int rc = sqlite3_prepare_v3(c->db, u.constData(), int(u.size()), SQLITE_PREPARE_PERSISTENT, &s_, nullptr);
      if (rc != SQLITE_OK) {
        sqlite3_finalize(s_);
        c->Fail(rc, sql);
      }
      // Room for it: the oldest that nothing runs goes.
      if (lc.size() >= 4)
        for (auto it = lc.begin(); it != lc.end(); ++it)
          if (!sqlite3_stmt_busy(it->second) && !c->inUse.count(it->second)) {
            sqlite3_finalize(it->second);
            lc.erase(it);
            break;
          }
      if (lc.size() < 4) {
        lc.emplace_back(sql, s_);
      } else {
        owned_ = true;
        return;
      }
    }
    c->inUse.insert(s_);
    return;
  }
  if (slot && slot->s && slot->gen == c->gen) {
    s_ = slot->s;
  } else {
    s_ = c->Prepare(sql);
    if (slot) *slot = {c->gen, s_};
  }
  if (sqlite3_stmt_busy(s_) || c->inUse.count(s_)) {
    // The cached statement is stepping further up the stack: use a fresh one.
    sqlite3_stmt* s = nullptr;
    QByteArray u = sql.toUtf8();
    int rc = sqlite3_prepare_v2(c->db, u.constData(), int(u.size()), &s, nullptr);
    if (rc != SQLITE_OK) c->Fail(rc, sql);
    s_ = s;
    owned_ = true;
  }
  if (!owned_) c->inUse.insert(s_);
}

Stmt::~Stmt() {
  if (owned_) {
    sqlite3_finalize(s_);
  } else {
    sqlite3_reset(s_);
    sqlite3_clear_bindings(s_);
    c_->inUse.erase(s_);
  }
}

void Stmt::Bind(int i, const QVariant& v) {
  int rc;
  if (v.isNull() || !v.isValid()) {
    rc = sqlite3_bind_null(s_, i);
  } else {
    switch (v.typeId()) {
      case QMetaType::Int: case QMetaType::LongLong: case QMetaType::UInt: case QMetaType::ULongLong:
      case QMetaType::Short: case QMetaType::UShort:
        rc = sqlite3_bind_int64(s_, i, v.toLongLong());
        break;
      case QMetaType::Bool:
        rc = sqlite3_bind_int64(s_, i, v.toBool() ? 1 : 0);
        break;
      case QMetaType::Double: case QMetaType::Float:
        rc = sqlite3_bind_double(s_, i, v.toDouble());
        break;
      case QMetaType::QDate:
        rc = sqlite3_bind_text(s_, i, IsoFromDate(v.toDate()).toLatin1().constData(), -1, SQLITE_TRANSIENT);
        break;
      case QMetaType::QString: {
        const QString& t = *static_cast<const QString*>(v.constData());
        // Codes and names are mostly short ASCII: no conversion needed for those.
        char buf[256];
        bool ascii = t.size() <= int(sizeof buf);
        for (int k = 0; ascii && k < t.size(); ++k) {
          const ushort c = t[k].unicode();
          if (c >= 0x80) ascii = false;
          else buf[k] = char(c);
        }
        if (ascii) {
          rc = sqlite3_bind_text(s_, i, buf, int(t.size()), SQLITE_TRANSIENT);
        } else {
          const QByteArray u = t.toUtf8();
          rc = sqlite3_bind_text(s_, i, u.constData(), int(u.size()), SQLITE_TRANSIENT);
        }
        break;
      }
      default: {
        const QString t = v.toString();
        rc = sqlite3_bind_text16(s_, i, t.utf16(), int(t.size() * 2), SQLITE_TRANSIENT);
      }
    }
  }
  if (rc != SQLITE_OK) c_->Fail(rc, "bind");
}

void Stmt::BindAll(const QList<QVariant>& vs, int from) {
  for (int i = 0; i < vs.size(); ++i) Bind(from + i, vs[i]);
}

bool Stmt::Step() {
  int rc = sqlite3_step(s_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  sqlite3_reset(s_);
  c_->Fail(rc, QString::fromUtf8(sqlite3_sql(s_)));
}

int Stmt::Columns() const { return sqlite3_column_count(s_); }

QVariant ColumnValue(sqlite3_stmt* s, int i) {
  switch (sqlite3_column_type(s, i)) {
    case SQLITE_INTEGER: return QVariant(qlonglong(sqlite3_column_int64(s, i)));
    case SQLITE_FLOAT: return QVariant(sqlite3_column_double(s, i));
    case SQLITE_NULL: return QVariant();
    default:
      return QVariant(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, i)),
                                        sqlite3_column_bytes(s, i)));
  }
}

QVariant Stmt::Value(int i) const { return ColumnValue(s_, i); }

int64_t Stmt::Int(int i) const { return sqlite3_column_int64(s_, i); }
QString Stmt::Text(int i) const {
  return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s_, i)), sqlite3_column_bytes(s_, i));
}
bool Stmt::IsNull(int i) const { return sqlite3_column_type(s_, i) == SQLITE_NULL; }

}  // namespace dbe
