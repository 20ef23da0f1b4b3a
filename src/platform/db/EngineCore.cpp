#include "platform/db/EngineCore.h"

#include "platform/db/GroupCommit.h"
#include "platform/sys/Formats.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextStream>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <limits>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <unistd.h>

EDBEngineError::EDBEngineError(int code) : Exception(dbe::StdMessage(code)), code_(code) {}

namespace dbe {

QString StdMessage(int code) {
  switch (code) {
    case DBIERR_NONE: return "Aucune erreur.";
    case DBIERR_BOF: return "Début de la table.";
    case DBIERR_EOF: return "Fin de la table.";
    case DBIERR_KEYDELETED: return "L'enregistrement ou la clé a été supprimé.";
    case DBIERR_KEYVIOL: return "Violation de clé.";
    case DBIERR_NOSUCHINDEX: return "L'index n'existe pas.";
    case DBIERR_NOSUCHTABLE: return "La table n'existe pas.";
    case DBIERR_NOSUCHFIELD: return "Champ introuvable.";
    case DBIERR_LOCKED: return "Enregistrement verrouillé par un autre utilisateur.";
    case DBIERR_FILEBUSY: return "La table est occupée.";
    case DBIERR_OUTOFRANGE: return "Valeur hors limites.";
    case DBIERR_RESTRUCTFAIL: return "La restructuration n'a pas pu reprendre toutes les fiches ; la table est inchangée.";
    case DBIERR_INVALIDPARAM: return "Paramètre incorrect.";
    case DBIERR_NOTINEDIT: return "La table n'est pas en modification ni en ajout.";
    case DBIERR_READONLY: return "La table est en lecture seule.";
    case DBIERR_OSERROR: return "Erreur du système.";
    case DBIERR_NOTABLE: return "Ce n'est pas un fichier de table (format inconnu ou endommagé).";
    case DBIERR_INDEXOUTOFDATE: return "L'index n'est pas à jour.";
    case DBIERR_SQLERROR: return "Erreur SQL.";
    case DBIERR_TABLEEXISTS: return "La table existe déjà.";
    case DBIERR_ROLLEDBACK: return "La transaction ne s'est pas terminée comme demandé.";
    default: return QString("Erreur %1 du moteur de tables.").arg(code);
  }
}

void Raise(int code, const QString& detail) {
  QString msg = StdMessage(code);
  if (!detail.isEmpty()) msg += "\n" + detail;
  throw EDBEngineError(code, msg);
}

QString TableDetail(const QString& path) { return "Table : " + QDir::toNativeSeparators(path); }

QString Quote(const QString& id) {
  QString s = id;
  s.replace('"', "\"\"");
  return '"' + s + '"';
}

int TableMeta::FieldIndex(const QString& name) const {
  for (size_t i = 0; i < fields.size(); ++i)
    if (fields[i].szName.compare(name, Qt::CaseInsensitive) == 0) return int(i);
  return -1;
}

QString TableFile::Q() const { return alias + "." + Quote(meta.inner); }
QString TableFile::Col(int field) const { return Quote(meta.fields[field].szName); }

// ---- storage -------------------------------------------------------------------------------

QString IsoFromDate(const QDate& d) {
  if (!d.isValid()) return {};
  int y, m, day;
  d.getDate(&y, &m, &day);
  if (y < 0 || y > 9999) return d.toString(Qt::ISODate);
  const QChar buf[10] = {QChar('0' + y / 1000), QChar('0' + y / 100 % 10), QChar('0' + y / 10 % 10), QChar('0' + y % 10),
                         QChar('-'), QChar('0' + m / 10), QChar('0' + m % 10), QChar('-'), QChar('0' + day / 10),
                         QChar('0' + day % 10)};
  return QString(buf, 10);
}

QDate DateFromIso(const QString& s) {
  if (s.size() < 10 || s[4] != '-' || s[7] != '-') return {};
  auto digits = [&](int from, int n, int& out) {
    out = 0;
    for (int i = from; i < from + n; ++i) {
      const ushort c = s[i].unicode();
      if (c < '0' || c > '9') return false;
      out = out * 10 + (c - '0');
    }
    return true;
  };
  int y, m, d;
  if (!digits(0, 4, y) || !digits(5, 2, m) || !digits(8, 2, d)) return {};
  return QDate(y, m, d);
}

static bool IsMoney(const FLDDesc& f) { return f.iFldType == fldFLOAT && f.iSubType == fldstMONEY; }

QString SqlType(const FLDDesc& f) {
  switch (f.iFldType) {
    case fldZSTRING: case fldDATE: return "TEXT";
    case fldFLOAT: return "REAL";
    default: return "INTEGER";
  }
}

QVariant ToStorage(const FLDDesc& f, const QVariant& v) {
  if (v.isNull() || !v.isValid()) return QVariant();
  switch (f.iFldType) {
    case fldZSTRING: {
      QString s = v.toString();
      return s.isEmpty() ? QVariant() : QVariant(s);
    }
    case fldDATE: {
      QDate d = v.typeId() == QMetaType::QDateTime ? v.toDateTime().date() : v.toDate();
      return d.isValid() ? QVariant(IsoFromDate(d)) : QVariant();
    }
    case fldBOOL: return QVariant(qlonglong(v.toBool() ? 1 : 0));
    case fldFLOAT: {
      double d = v.toDouble();
      if (IsMoney(f)) d = double(std::llround(d * 10000.0)) / 10000.0;
      return QVariant(d);
    }
    default: return QVariant(v.toLongLong());
  }
}

QVariant FromStorage(const FLDDesc& f, const QVariant& v) {
  if (v.isNull() || !v.isValid()) return QVariant();
  switch (f.iFldType) {
    case fldZSTRING: {
      QString s = v.toString();
      return s.isEmpty() ? QVariant() : QVariant(s);
    }
    case fldDATE: {
      QDate d = DateFromIso(v.toString());
      return d.isValid() ? QVariant(d) : QVariant();
    }
    case fldBOOL: return QVariant(v.toLongLong() != 0);
    case fldFLOAT: {
      double d = v.toDouble();
      if (IsMoney(f)) d = double(std::llround(d * 10000.0)) / 10000.0;
      return QVariant(d);
    }
    default: return QVariant(int(v.toLongLong()));
  }
}

// ---- the case-insensitive order ---------------------------------------------------------------

QString ZFold(const QString& s) {
  QString out;
  out.reserve(s.size());
  // Upper case first: a few letters only gain their accent there ("ǰ" -> "J" + caron).
  for (QChar ch : s.toUpper().normalized(QString::NormalizationForm_D)) {
    switch (ch.unicode()) {
      case 0x0152: case 0x0153: out += QLatin1String("OE"); continue;  // Œ œ
      case 0x00C6: case 0x00E6: out += QLatin1String("AE"); continue;  // Æ æ
      case 0x00D8: case 0x00F8: out += QChar('O'); continue;           // Ø ø
      case 0x0110: case 0x0111: out += QChar('D'); continue;           // Đ đ
      case 0x0141: case 0x0142: out += QChar('L'); continue;           // Ł ł
      default: break;
    }
    if (ch.category() == QChar::Mark_NonSpacing) continue;
    out += ch;
  }
  return out;
}

int ZCompare(const QString& a, const QString& b) {
  const int n = int(std::min(a.size(), b.size()));
  int i = 0;
  // Plain ASCII folds one character to one: compare in place until something else shows.
  for (; i < n; ++i) {
    ushort x = a[i].unicode(), y = b[i].unicode();
    if (x >= 128 || y >= 128) break;
    if (x >= 'a' && x <= 'z') x -= 32;
    if (y >= 'a' && y <= 'z') y -= 32;
    if (x != y) return x < y ? -1 : 1;
  }
  if (i == n && (i == a.size() || a[i].unicode() < 128) && (i == b.size() || b[i].unicode() < 128))
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
  return ZFold(a.mid(i)).compare(ZFold(b.mid(i)));
}

static int ZCollate(void*, int na, const void* pa, int nb, const void* pb) {
  const unsigned char* a = static_cast<const unsigned char*>(pa);
  const unsigned char* b = static_cast<const unsigned char*>(pb);
  const int n = std::min(na, nb);
  int i = 0;
  for (; i < n; ++i) {
    unsigned char x = a[i], y = b[i];
    if (x >= 128 || y >= 128) break;
    if (x >= 'a' && x <= 'z') x -= 32;
    if (y >= 'a' && y <= 'z') y -= 32;
    if (x != y) return x < y ? -1 : 1;
  }
  // The rest of the shorter text is empty: an ASCII character left on the other side makes it
  // longer, anything else may fold to nothing (a lone accent).
  if (i == n && (i == na || a[i] < 128) && (i == nb || b[i] < 128)) return na < nb ? -1 : (na > nb ? 1 : 0);
  const QString x = ZFold(QString::fromUtf8(reinterpret_cast<const char*>(a + i), na - i));
  const QString y = ZFold(QString::fromUtf8(reinterpret_cast<const char*>(b + i), nb - i));
  const int c = x.compare(y);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

static void RegisterCollations(sqlite3* db) {
  sqlite3_create_collation_v2(db, "ZNOCASE", SQLITE_UTF8, nullptr, ZCollate, nullptr);
}

static int RegisterOnOpen(sqlite3* db, const char**, const struct sqlite3_api_routines*) {
  RegisterCollations(db);
  return SQLITE_OK;
}

// ---- field rules on SQL writes -------------------------------------------------------------

QString FitText(const QString& s, int size) {
  QString t = s;
  const qsizetype nul = t.indexOf(QChar(0));
  if (nul >= 0) t.truncate(nul);
  if (size > 0 && t.size() > size) {
    t.truncate(size);
    if (t.back().isHighSurrogate()) t.chop(1);
  }
  for (qsizetype i = 0; i < t.size(); ++i) {
    const QChar c = t[i];
    if (!c.isSurrogate()) continue;
    if (c.isHighSurrogate() && i + 1 < t.size() && t[i + 1].isLowSurrogate()) {
      ++i;
      continue;
    }
    t[i] = QChar::ReplacementCharacter;
  }
  return t;
}

namespace {
// The refusal of the last zfit call, raised by Conn::Fail with its engine code.
int g_fitCode = 0;
QString g_fitMessage;
const char kFitError[] = "zelm field rule";

void FitRefuse(sqlite3_context* ctx, const QString& value, const QString& field, const QString& why) {
  g_fitCode = DBIERR_OUTOFRANGE;
  g_fitMessage = QString("%1 n'est pas une valeur correcte pour le champ « %2 ». %3").arg(value, field, why);
  sqlite3_result_error(ctx, kFitError, -1);
}

// zfit(value, type, subtype, size, field name): the value a write through SQL stores in the
// field, by the rules Post applies (texts cut to size, numbers and money in range, dates valid),
// or an error that ends the statement with none of its rows changed.
void ZFit(sqlite3_context* ctx, int, sqlite3_value** argv) {
  sqlite3_value* v = argv[0];
  const int type = sqlite3_value_int(argv[1]), sub = sqlite3_value_int(argv[2]), size = sqlite3_value_int(argv[3]);
  // The usual values of a many-row insert, that fit as they are: no text made of them.
  switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
      if (type == fldINT32 || type == fldINT16) {
        const sqlite3_int64 n = sqlite3_value_int64(v);
        const sqlite3_int64 lim = type == fldINT16 ? 32767 : 2147483647LL;
        if (n >= -lim - 1 && n <= lim) return sqlite3_result_int64(ctx, n);
      }
      break;
    case SQLITE_TEXT:
      if (type == fldZSTRING || type == fldDATE) {
        const unsigned char* p = sqlite3_value_text(v);
        const int n = sqlite3_value_bytes(v);
        bool ascii = n > 0;
        for (int i = 0; ascii && i < n; ++i) ascii = p[i] < 0x80 && p[i] != 0;
        if (ascii && type == fldZSTRING && (size <= 0 || n <= size)) return sqlite3_result_value(ctx, v);
        if (ascii && type == fldDATE && n == 10 && DateFromIso(QString::fromLatin1(reinterpret_cast<const char*>(p), n)).isValid())
          return sqlite3_result_value(ctx, v);
      }
      break;
    default: break;
  }
  const QString field = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(argv[4])));
  const int vt = sqlite3_value_type(v);
  if (vt == SQLITE_NULL) return sqlite3_result_null(ctx);
  const QString text = vt == SQLITE_BLOB ? QString()
                                         : QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(v)),
                                                             sqlite3_value_bytes(v));
  // As Post takes a blank text for a field that is no text: an empty field.
  if (type != fldZSTRING && vt == SQLITE_TEXT && text.trimmed().isEmpty()) return sqlite3_result_null(ctx);
  const QString shown = text.size() > 40 ? text.left(40) + "…" : text;
  auto number = [&](double& d, bool& integral, qlonglong& n) {
    if (vt == SQLITE_INTEGER) {
      n = sqlite3_value_int64(v);
      d = double(n);
      integral = true;
      return true;
    }
    if (vt == SQLITE_FLOAT) {
      d = sqlite3_value_double(v);
      integral = false;
      return true;
    }
    if (auto i = TryStrToInt(text)) {
      n = *i;
      d = double(n);
      integral = true;
      return true;
    }
    if (auto f = TryStrToFloat(text)) {
      d = *f;
      integral = false;
      return true;
    }
    return false;
  };
  switch (type) {
    case fldZSTRING: {
      const QString t = FitText(text, size);
      if (t.isEmpty()) return sqlite3_result_null(ctx);
      const QByteArray u = t.toUtf8();
      return sqlite3_result_text(ctx, u.constData(), int(u.size()), SQLITE_TRANSIENT);
    }
    case fldINT16: case fldINT32: {
      double d = 0;
      bool integral = false;
      qlonglong n = 0;
      if (!number(d, integral, n)) return FitRefuse(ctx, "« " + shown + " »", field, "Un nombre entier est attendu.");
      const qlonglong lo = type == fldINT16 ? -32768 : -2147483648LL, hi = type == fldINT16 ? 32767 : 2147483647LL;
      if (!integral) {
        if (!std::isfinite(d) || d < double(lo) - 0.5 || d > double(hi) + 0.5) n = d < 0 ? lo - 1 : hi + 1;
        else n = std::llround(d);
      }
      if (n < lo || n > hi)
        return FitRefuse(ctx, shown, field, QString("Les valeurs permises vont de %1 à %2.").arg(lo).arg(hi));
      return sqlite3_result_int64(ctx, n);
    }
    case fldFLOAT: {
      double d = 0;
      bool integral = false;
      qlonglong n = 0;
      if (!number(d, integral, n)) return FitRefuse(ctx, "« " + shown + " »", field, "Un nombre est attendu.");
      const bool money = sub == fldstMONEY;
      if (!std::isfinite(d) || (money && std::fabs(d) > kMaxMoney))
        return FitRefuse(ctx, shown, field,
                         money ? QString("Les montants permis vont de -%1 à %1.").arg(kMaxMoneyText)
                               : QString("Le nombre doit être fini."));
      if (money) d = double(std::llround(d * 10000.0)) / 10000.0;
      return sqlite3_result_double(ctx, d);
    }
    case fldDATE: {
      const QDate d = vt == SQLITE_TEXT && text.size() == 10 ? DateFromIso(text) : QDate();
      if (!d.isValid()) return FitRefuse(ctx, "« " + shown + " »", field, "Une date correcte est attendue.");
      return sqlite3_result_value(ctx, v);
    }
    case fldBOOL: {
      const QString u = text.trimmed().toUpper();
      if (vt == SQLITE_INTEGER || vt == SQLITE_FLOAT) return sqlite3_result_int(ctx, sqlite3_value_double(v) != 0);
      if (u == "TRUE" || u == "T" || u == "1") return sqlite3_result_int(ctx, 1);
      if (u == "FALSE" || u == "F" || u == "0") return sqlite3_result_int(ctx, 0);
      return FitRefuse(ctx, "« " + shown + " »", field, "Une valeur logique est attendue.");
    }
    default: return sqlite3_result_value(ctx, v);
  }
}
}  // namespace

QString FitArgs(const FLDDesc& f) {
  QString name = f.szName;
  name.replace('\'', "''");
  return QString(", %1, %2, %3, '%4')").arg(f.iFldType).arg(f.iSubType).arg(f.iUnits1).arg(name);
}

// ---- statements ----------------------------------------------------------------------------

QString FrenchCause(int rc) {
  // The operator reads French: the failures a file can meet get a French cause.
  switch (rc & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return "Le fichier est utilisé par un autre programme.";
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT: return "Le fichier est endommagé ou n'est pas une table.";
    case SQLITE_READONLY: return "Le fichier ou son dossier ne peut pas être écrit.";
    case SQLITE_FULL: return "Le disque est plein.";
    case SQLITE_IOERR: return "Erreur de lecture ou d'écriture sur le disque.";
    case SQLITE_CANTOPEN: return "Le fichier ne peut pas être ouvert.";
    case SQLITE_PERM: return "Accès au fichier refusé.";
    default: return {};
  }
}

void RegisterCollationsEverywhere() {
  // Any other connection of the process (a raw look at a file, a generator, the page check) can
  // then read and write a table with a case-insensitive index.
  // Registering the same entry point again does nothing.
  sqlite3_auto_extension(reinterpret_cast<void (*)()>(RegisterOnOpen));
}

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
  sqlite3_create_function(db, "zfit", 5, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, ZFit, nullptr, nullptr);
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
  if (g_fitCode && msg == kFitError) {
    const int code = g_fitCode;
    g_fitCode = 0;
    Raise(code, g_fitMessage + TablesNamedIn(what));
  }
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

QVariant Stmt::Value(int i) const {
  switch (sqlite3_column_type(s_, i)) {
    case SQLITE_INTEGER: return QVariant(qlonglong(sqlite3_column_int64(s_, i)));
    case SQLITE_FLOAT: return QVariant(sqlite3_column_double(s_, i));
    case SQLITE_NULL: return QVariant();
    default:
      return QVariant(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s_, i)),
                                        sqlite3_column_bytes(s_, i)));
  }
}

int64_t Stmt::Int(int i) const { return sqlite3_column_int64(s_, i); }
QString Stmt::Text(int i) const {
  return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s_, i)), sqlite3_column_bytes(s_, i));
}
bool Stmt::IsNull(int i) const { return sqlite3_column_type(s_, i) == SQLITE_NULL; }

// ---- stored description ----------------------------------------------------------------------

static std::vector<uint16_t> ParseKey(const QString& s) {
  std::vector<uint16_t> out;
  for (const QString& p : s.split(',', Qt::SkipEmptyParts)) out.push_back(uint16_t(p.trimmed().toUInt()));
  return out;
}

TableMeta ReadMeta(Conn* c, const QString& alias) {
  TableMeta m;
  int rc;
  sqlite3_stmt* probe = nullptr;
  const QString sql = QString("SELECT key, value FROM %1.zelm_table").arg(alias);
  rc = sqlite3_prepare_v2(c->db, sql.toUtf8().constData(), -1, &probe, nullptr);
  if (rc != SQLITE_OK) {
    const int primary = rc & 0xff;
    sqlite3_finalize(probe);
    if (primary == SQLITE_ERROR) Raise(DBIERR_NOTABLE, "le fichier ne contient pas de description de table");
    c->Fail(rc, {});
  }
  sqlite3_finalize(probe);
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

// ---- companion files -------------------------------------------------------------------------

static QString BaseOf(const QString& tablePath) {
  const QString name = QFileInfo(tablePath).fileName();
  const int dot = name.indexOf('.');
  return dot < 0 ? name : name.left(dot);
}

QStringList CompanionNames(const QString& tablePath, const TableMeta& meta, int pos) {
  const QString base = BaseOf(tablePath);
  const IDXDesc& d = meta.indexes[pos].desc;
  if (d.bPrimary) return {base + ".PX"};
  const QString n = QString("%1").arg(pos + 1, 2, 16, QChar('0')).toUpper();
  return {base + ".X" + n, base + ".Y" + n};
}

QString FindCI(const QString& folder, const QString& name) {
  if (QFileInfo::exists(folder + "/" + name)) return folder + "/" + name;
  const QStringList entries = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
  for (const QString& e : entries)
    if (e.compare(name, Qt::CaseInsensitive) == 0) return folder + "/" + e;
  return {};
}

static QString CompanionText(const QString& tablePath, const TableMeta& meta, const IndexMeta& x) {
  QStringList keys;
  for (uint16_t k : x.desc.aiKeyFld) keys << QString::number(k);
  return QString("ZELM index\ntable=%1\nstamp=%2\nindex=%3\nprimary=%4\nfields=%5\n")
      .arg(QFileInfo(tablePath).fileName(), meta.stamp, x.desc.szName)
      .arg(x.desc.bPrimary ? 1 : 0)
      .arg(keys.join(','));
}

void WriteCompanions(const QString& tablePath, const TableMeta& meta, const QString& suffix) {
  const QString folder = QFileInfo(tablePath).absolutePath();
  for (const IndexMeta& x : meta.indexes) {
    for (const QString& n : x.companions) {
      QFile f(folder + "/" + n + suffix);
      if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        Raise(DBIERR_OSERROR, "Écriture impossible du fichier d'index " + QDir::toNativeSeparators(f.fileName()));
      const QByteArray text = CompanionText(tablePath, meta, x).toUtf8();
      if (f.write(text) != text.size() || !f.flush())
        Raise(DBIERR_OSERROR, "Écriture impossible du fichier d'index " + QDir::toNativeSeparators(f.fileName()));
      if (!suffix.isEmpty()) ::fdatasync(f.handle());
      f.close();
    }
  }
}

static bool CompanionTextOk(const QString& path, const TableMeta& meta, const IndexMeta& x) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return false;
  const QString text = QString::fromUtf8(f.read(4096));
  return text.contains("\nstamp=" + meta.stamp + "\n") && text.contains("\nindex=" + x.desc.szName + "\n");
}

QStringList CompletePendingCompanions(const QString& tablePath, const TableMeta& meta) {
  QStringList failed;
  // A rebuild writes its companions aside (".pending") before the table takes its new file, and
  // puts them in place after: killed in between, the table already is the new one, and its
  // companions are finished here. Those of a rebuild that never replaced the table go.
  const QString folder = QFileInfo(tablePath).absolutePath();
  const QString base = BaseOf(tablePath).toUpper() + ".";
  for (const QString& e : QDir(folder).entryList({"*.pending"}, QDir::Files | QDir::Hidden | QDir::System)) {
    if (!e.toUpper().startsWith(base)) continue;
    const QString name = e.left(e.size() - 8);
    bool ours = false;
    for (const IndexMeta& x : meta.indexes)
      for (const QString& n : x.companions)
        if (n.compare(name, Qt::CaseInsensitive) == 0 && CompanionTextOk(folder + "/" + e, meta, x)) ours = true;
    if (ours) {
      const QString old = FindCI(folder, name);
      if (!old.isEmpty()) QFile::remove(old);
      if (!QFile::rename(folder + "/" + e, folder + "/" + name)) failed << folder + "/" + name;
    } else {
      QFile::remove(folder + "/" + e);
    }
  }
  return failed;
}

bool CompanionOk(const QString& tablePath, const TableMeta& meta, const IndexMeta& x) {
  const QString folder = QFileInfo(tablePath).absolutePath();
  if (x.companions.isEmpty()) return false;
  for (const QString& n : x.companions) {
    const QString p = FindCI(folder, n);
    if (p.isEmpty() || !CompanionTextOk(p, meta, x)) return false;
  }
  return true;
}

void RemoveCompanions(const QString& tablePath) {
  const QFileInfo fi(tablePath);
  const QString base = BaseOf(tablePath).toUpper();
  const QStringList entries = QDir(fi.absolutePath()).entryList(QDir::Files | QDir::Hidden | QDir::System);
  for (const QString& e : entries) {
    const QString u = e.toUpper();
    if (!u.startsWith(base + ".")) continue;
    const QString ext = u.mid(base.size() + 1);
    const bool companion = ext == "PX" || (ext.size() == 3 && (ext[0] == 'X' || ext[0] == 'Y'));
    if (companion) QFile::remove(fi.absolutePath() + "/" + e);
  }
}

// ---- locks and the header counter ----------------------------------------------------------

int LockFile(const QString& path, bool exclusive) {
  const QByteArray p = QFile::encodeName(path);
  int fd = ::open(p.constData(), O_RDWR | O_CLOEXEC);
  if (fd < 0) fd = ::open(p.constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  if (::flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
    ::close(fd);
    return -2;
  }
  return fd;
}

void UnlockFile(int fd) {
  if (fd >= 0) ::close(fd);
}

bool ReadCounterRaw(const QString& path, int32_t& value) {
  int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  unsigned char b[4];
  const bool ok = ::pread(fd, b, 4, Dbi::kAutoIncOffset) == 4;
  ::close(fd);
  if (ok) value = int32_t(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24);
  return ok;
}

static uint32_t Be32(const unsigned char* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}
static void PutBe32(unsigned char* p, uint32_t v) {
  p[0] = v >> 24; p[1] = v >> 16; p[2] = v >> 8; p[3] = v;
}

void WriteCounterRaw(int fd, int32_t value) {
  // The counter lives in header bytes SQLite leaves alone. Bumping the change counter (and the
  // number that validates the stored page count with it) makes every connection re-read page 1
  // instead of writing an older copy of it back later.
  unsigned char h[100];
  if (::pread(fd, h, 100, 0) != 100) Raise(DBIERR_OSERROR, "Lecture impossible de l'en-tête de la table");
  const uint32_t change = Be32(h + 24);
  const bool sizeValid = Be32(h + 92) == change;
  const uint32_t v = uint32_t(value);
  h[73] = v & 0xff; h[74] = (v >> 8) & 0xff; h[75] = (v >> 16) & 0xff; h[76] = (v >> 24) & 0xff;
  PutBe32(h + 24, change + 1);
  if (sizeValid) PutBe32(h + 92, change + 1);
  if (::pwrite(fd, h + 24, 4, 24) != 4 || ::pwrite(fd, h + 73, 4, 73) != 4 ||
      (sizeValid && ::pwrite(fd, h + 92, 4, 92) != 4))
    Raise(DBIERR_OSERROR, QString("Écriture impossible de l'en-tête de la table : %1").arg(strerror(errno)));
  ::fdatasync(fd);
}

// ---- the engine ------------------------------------------------------------------------------

Engine& Engine::Get() {
  static Engine e;
  return e;
}

QString Engine::FolderKey(const QString& folder) {
  QString f = folder.isEmpty() ? QDir::currentPath() : folder;
  QFileInfo fi(f);
  QString p = fi.exists() ? fi.canonicalFilePath() : QDir::cleanPath(fi.absoluteFilePath());
  return p;
}

QString Engine::PathKey(const QString& path) {
  QFileInfo fi(path);
  QString dir = FolderKey(fi.absolutePath());
  return dir + "/" + fi.fileName();
}

Engine::Folder& Engine::FolderOf(const QString& key) {
  auto it = folders_.find(key);
  if (it != folders_.end()) return it->second;
  SweepSuperJournals(key);
  SweepRebuilds(key);
  return folders_[key];
}

void SweepRebuilds(const QString& folder, const QString& tablePath) {
  // A rebuild builds ".<table>.<8 hex>.tmp" beside the table while it holds the table's
  // exclusive lock; one killed leaves it there, as large as the table. Whoever can take that lock
  // knows the file is nobody's. A new table has no lock yet while it is built: its file goes
  // once it is older than any creation takes.
  static const QRegularExpression name("^\\.(.+)\\.[0-9a-f]{8}\\.tmp(-journal)?$");
  const QDir d(folder);
  // (Names only, no look at each file: this runs at the first open of a folder.)
  QStringList found;
  if (DIR* dir = ::opendir(QFile::encodeName(folder).constData())) {
    while (const dirent* de = ::readdir(dir))
      if (de->d_name[0] == '.' && std::strstr(de->d_name, ".tmp")) found << QFile::decodeName(de->d_name);
    ::closedir(dir);
  }
  for (const QString& e : found) {
    const auto m = name.match(e);
    if (!m.hasMatch()) continue;
    const QString table = d.absoluteFilePath(m.captured(1));
    if (!tablePath.isEmpty()) {
      if (table != tablePath) continue;
      QFile::remove(d.absoluteFilePath(e));  // the caller holds the lock
      continue;
    }
    if (!QFileInfo::exists(table)) {
      if (QFileInfo(d.absoluteFilePath(e)).lastModified().secsTo(QDateTime::currentDateTime()) > 600)
        QFile::remove(d.absoluteFilePath(e));
      continue;
    }
    const int fd = LockFile(table, true);
    if (fd < 0) continue;
    QFile::remove(d.absoluteFilePath(e));
    UnlockFile(fd);
  }
}

TableFile* Engine::Find(const QString& path) const {
  auto it = files_.find(PathKey(path));
  return it == files_.end() ? nullptr : it->second.get();
}

bool Engine::InUse(const QString& path) const {
  const TableFile* f = Find(path);
  return f && f->refs > 0;
}

bool Engine::InScope(const QString& folderKey) const {
  auto it = folders_.find(folderKey);
  return it != folders_.end() && it->second.scope > 0;
}

Conn* Engine::ConnWithRoom(Folder& fo, Conn* avoid) {
  for (auto& c : fo.conns)
    if (c.get() != avoid && int(c->files.size()) < c->maxAttached) return c.get();
  return nullptr;
}

void Engine::Attach(TableFile* f, Conn* c) {
  const QString alias = QString("z%1").arg(++aliasSeq_);
  {
    sqlite3_stmt* s = nullptr;
    int rc = sqlite3_prepare_v2(c->db, QString("ATTACH ? AS %1").arg(alias).toUtf8().constData(), -1, &s, nullptr);
    if (rc != SQLITE_OK) c->Fail(rc, "attach");
    QByteArray p = f->path.toUtf8();
    sqlite3_bind_text(s, 1, p.constData(), int(p.size()), SQLITE_TRANSIENT);
    rc = sqlite3_step(s);
    sqlite3_finalize(s);
    if (rc != SQLITE_DONE) c->Fail(rc, "attach " + f->path);
  }
  f->conn = c;
  f->alias = alias;
  f->readOnly = sqlite3_db_readonly(c->db, alias.toUtf8().constData()) == 1;
  c->files.push_back(f);
  // Rollback journal; a commit syncs the file, the journal and, once the journal is gone, the
  // folder, so that what Post returned from survives a power cut. Not settable inside a
  // transaction: then set at its end.
  f->pragmasPending = c->inTx;
  if (!c->inTx) SetPragmas(c, f);
}

void Engine::SetPragmas(Conn* c, TableFile* f) {
  c->Exec(QString("PRAGMA %1.synchronous=EXTRA; PRAGMA %1.journal_mode=DELETE").arg(f->alias));
  f->pragmasPending = false;
}

bool Engine::Detach(TableFile* f) {
  Conn* c = f->conn;
  if (!c) return true;
  if (c->inTx && f->written) return false;
  c->DropCached(f->alias);
  char* err = nullptr;
  int rc = sqlite3_exec(c->db, QString("DETACH %1").arg(f->alias).toUtf8().constData(), nullptr, nullptr, &err);
  if (err) sqlite3_free(err);
  if (rc != SQLITE_OK) return false;
  c->files.erase(std::find(c->files.begin(), c->files.end(), f));
  f->conn = nullptr;
  f->alias.clear();
  return true;
}

static void ReadCounterFd(TableFile* f) {
  unsigned char b[4];
  if (f->lockFd >= 0 && ::pread(f->lockFd, b, 4, Dbi::kAutoIncOffset) == 4)
    f->counter = int32_t(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24);
}

void Engine::LoadMeta(TableFile* f, bool reconcile) {
  f->meta = ReadMeta(f->conn, f->alias);
  ReadCounterFd(f);
  f->counterChecked = false;
  bool anyMissing = false;
  for (IndexMeta& x : f->meta.indexes) {
    x.missing = !CompanionOk(f->path, f->meta, x);
    anyMissing |= x.missing;
  }
  if (anyMissing && reconcile) {
    // (Held open here, the table is being rebuilt by nobody.)
    CompletePendingCompanions(f->path, f->meta);
    anyMissing = false;
    for (IndexMeta& x : f->meta.indexes) {
      x.missing = !CompanionOk(f->path, f->meta, x);
      anyMissing |= x.missing;
    }
  }
  if (!reconcile || !anyMissing) return;
  // An index whose companion file is gone does not exist any more: drop it for good, so that the
  // structure check sees it missing and builds it again.
  std::vector<IndexMeta> kept;
  const QString folder = QFileInfo(f->path).absolutePath();
  bool stored = true;
  try {
    BeforeWrite(f);
    Conn* c = f->conn;
    const bool ownTx = !c->inTx;
    if (ownTx) c->Exec("BEGIN IMMEDIATE");
    try {
      for (IndexMeta& x : f->meta.indexes) {
        if (!x.missing) continue;
        // A unique index stays in the file, out of sight, so that codes cannot be stored twice
        // until the check rebuilds the table; the rebuilt file does not carry it over.
        if (x.desc.bPrimary || x.desc.bUnique) continue;
        if (!x.sqlName.isEmpty()) c->Exec(QString("DROP INDEX IF EXISTS %1.%2").arg(f->alias, Quote(x.sqlName)));
      }
      c->Exec(QString("DELETE FROM %1.zelm_indexes").arg(f->alias));
      int n = 0;
      for (IndexMeta& x : f->meta.indexes) {
        if (x.missing) continue;
        x.desc.iIndexId = uint16_t(++n);
        Stmt s(c, QString("INSERT INTO %1.zelm_indexes VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)").arg(f->alias));
        QStringList keys;
        for (uint16_t k : x.desc.aiKeyFld) keys << QString::number(k);
        s.BindAll({n, x.desc.szName, x.desc.szTagName, keys.join(','), int(x.desc.bPrimary), int(x.desc.bUnique),
                   int(x.desc.bDescending), int(x.desc.bMaintained), int(x.desc.bCaseInsensitive),
                   int(x.desc.bExpIdx), int(x.desc.bSubset), x.desc.szFormat, int(x.desc.iKeyExpType),
                   x.desc.szKeyExp, x.desc.szKeyCond, x.sqlName, x.companions.join('|')});
        s.Step();
      }
      if (ownTx) c->Exec("COMMIT");
    } catch (...) {
      if (ownTx) sqlite3_exec(c->db, "ROLLBACK", nullptr, nullptr, nullptr);
      throw;
    }
    AfterWrite(f);
  } catch (const EDBEngineError&) {
    stored = false;  // a read-only file: the indexes are only hidden
  }
  for (IndexMeta& x : f->meta.indexes) {
    if (x.missing) {
      for (const QString& n : x.companions) {
        const QString p = FindCI(folder, n);
        if (!p.isEmpty() && stored) QFile::remove(p);
      }
    } else {
      kept.push_back(x);
    }
  }
  int n = 0;
  for (IndexMeta& x : kept) x.desc.iIndexId = uint16_t(++n);
  f->meta.indexes = kept;
}

TableFile* Engine::Open(const QString& path, Mode mode) {
  const QString key = PathKey(path);
  const bool exclusive = mode == Mode::Exclusive;
  auto it = files_.find(key);
  if (it != files_.end()) {
    TableFile* f = it->second.get();
    if (!f->conn) Raise(DBIERR_FILEBUSY, TableDetail(path));  // reserved by a structure call
    if (f->refs > 0 && (exclusive || f->exclusive)) Raise(DBIERR_FILEBUSY, TableDetail(path));
    if (exclusive && f->lockFd >= 0 && ::flock(f->lockFd, LOCK_EX | LOCK_NB) != 0) Raise(DBIERR_FILEBUSY, TableDetail(path));
    if (!exclusive && f->refs == 0 && f->lockFd >= 0) ::flock(f->lockFd, LOCK_SH | LOCK_NB);
    if (mode != Mode::Probe) {
      bool missing = false;
      for (auto& x : f->meta.indexes) missing |= x.missing;
      if (missing) LoadMeta(f, true);
    }
    CheckOthers(f);
    f->refs++;
    f->exclusive = exclusive;
    return f;
  }
  if (!QFileInfo(key).isFile()) Raise(DBIERR_NOSUCHTABLE, TableDetail(path));
  const int fd = LockFile(key, exclusive);
  if (fd == -2) Raise(DBIERR_FILEBUSY, TableDetail(path));
  if (fd < 0) Raise(DBIERR_OSERROR, QString("%1\nOuverture impossible : %2").arg(TableDetail(path), strerror(errno)));
  auto owned = std::make_unique<TableFile>();
  TableFile* f = owned.get();
  f->path = key;
  f->folderKey = FolderKey(QFileInfo(key).absolutePath());
  f->lockFd = fd;
  Folder& fo = FolderOf(f->folderKey);
  Conn* c = ConnWithRoom(fo);
  if (!c) {
    fo.conns.push_back(std::make_unique<Conn>(f->folderKey));
    c = fo.conns.back().get();
  }
  try {
    Attach(f, c);
    files_[key] = std::move(owned);
    LoadMeta(f, mode != Mode::Probe);
    CheckOthers(f);
  } catch (const EDBEngineError& e) {
    if (f->conn) Detach(f);
    files_.erase(key);
    UnlockFile(fd);
    // The operator must learn which file is damaged or out of reach.
    if (e.Message().contains(QFileInfo(key).fileName())) throw;
    throw EDBEngineError(e.ErrorCode(), e.Message() + "\nTable : " + QDir::toNativeSeparators(path));
  } catch (...) {
    if (f->conn) Detach(f);
    files_.erase(key);
    UnlockFile(fd);
    throw;
  }
  f->refs = 1;
  f->exclusive = exclusive;
  return f;
}

void Engine::Close(TableFile* f) {
  if (!f || f->refs <= 0) return;
  if (--f->refs > 0) return;
  f->exclusive = false;
  DetachUnused();
}

void Engine::DetachUnused() {
  // Files nothing uses any more, including those that had to wait for a transaction's end.
  std::vector<TableFile*> unused;
  for (auto& [key, f] : files_)
    if (f->refs == 0 && f->conn) unused.push_back(f.get());
  for (TableFile* f : unused) {
    if (!Detach(f)) continue;
    const QString key = f->path;
    UnlockFile(f->lockFd);
    files_.erase(key);
  }
}

TableFile* Engine::Reserve(const QString& path) {
  const QString key = PathKey(path);
  auto it = files_.find(key);
  if (it != files_.end()) {
    TableFile* f = it->second.get();
    if (f->refs > 0 || !f->conn) Raise(DBIERR_FILEBUSY, TableDetail(path));
    if (!Detach(f)) Raise(DBIERR_FILEBUSY, TableDetail(path));
    UnlockFile(f->lockFd);
    files_.erase(it);
  }
  int fd = -1;
  if (QFileInfo(key).isFile()) {
    fd = LockFile(key, true);
    if (fd == -2) Raise(DBIERR_FILEBUSY, TableDetail(path));
    if (fd >= 0) SweepRebuilds(QFileInfo(key).absolutePath(), key);
  }
  auto owned = std::make_unique<TableFile>();
  TableFile* f = owned.get();
  f->path = key;
  f->folderKey = FolderKey(QFileInfo(key).absolutePath());
  f->lockFd = fd;
  f->refs = 1;
  f->exclusive = true;
  files_[key] = std::move(owned);
  return f;
}

void Engine::Unreserve(TableFile* f) {
  if (!f) return;
  const QString key = f->path;
  UnlockFile(f->lockFd);
  files_.erase(key);
}

static bool HoldsWrites(const Conn* c) {
  if (!c->inTx) return false;
  for (const TableFile* f : c->files)
    if (f->written) return true;
  return false;
}

// A file of the connection that can leave it now: nothing written into it, and no transaction
// on it that could not end at once (one that only read ends without storing anything).
static bool Movable(const TableFile* f) {
  const Conn* c = f->conn;
  if (!c || f->written) return false;
  if (!c->inTx || !HoldsWrites(c)) return true;
  return sqlite3_txn_state(c->db, f->alias.toUtf8().constData()) == SQLITE_TXN_NONE;
}

void Engine::Move(TableFile* f, Conn* to) {
  Conn* from = f->conn;
  if (from == to) return;
  if (int(to->files.size()) >= to->maxAttached) Raise(DBIERR_FILEBUSY, "Trop de tables ouvertes dans " + QDir::toNativeSeparators(f->folderKey));
  if (!Detach(f)) {
    // A file read or written in the open transaction stays on its connection until the
    // transaction ends. A transaction that only read ends now: nothing to store. One that wrote
    // cannot end half way: the operation that needs the file elsewhere is refused instead.
    if (from->inTx && HoldsWrites(from))
      Raise(DBIERR_FILEBUSY, "Trop de tables sont écrites dans la transaction en cours pour que l'instruction les lise "
                             "ensemble ; la transaction est intacte.\n" + TableDetail(f->path));
    if (from->inTx) Commit(from, true, false);
    if (!Detach(f)) Raise(DBIERR_FILEBUSY, TableDetail(f->path));
  }
  Attach(f, to);
  f->version++;
}

Conn* Engine::WriterOf(const QString& folderKey) {
  auto it = folders_.find(folderKey);
  if (it == folders_.end() || it->second.scope <= 0) return nullptr;
  Conn* w = nullptr;
  long most = 0;
  for (auto& c : it->second.conns) {
    if (!c->inTx) continue;
    const long n = std::count_if(c->files.begin(), c->files.end(), [](const TableFile* f) { return f->written; });
    if (n > most) {
      most = n;
      w = c.get();
    }
  }
  return w;
}

bool Engine::MakeRoom(Conn* c, const std::vector<TableFile*>& keep) {
  if (int(c->files.size()) < c->maxAttached) return true;
  TableFile* spare = nullptr;
  for (TableFile* g : c->files)
    if (std::find(keep.begin(), keep.end(), g) == keep.end() && Movable(g)) spare = g;
  if (!spare) return false;
  Folder& fo = FolderOf(c->folderKey);
  Conn* other = ConnWithRoom(fo, c);
  if (!other) {
    fo.conns.push_back(std::make_unique<Conn>(c->folderKey));
    other = fo.conns.back().get();
  }
  Move(spare, other);
  return true;
}

void Engine::ReattachIfWritable(TableFile* f) {
  Conn* c = f->conn;
  if (!c || !f->readOnly) return;
  const QByteArray p = QFile::encodeName(f->path);
  if (::faccessat(AT_FDCWD, p.constData(), W_OK, AT_EACCESS) != 0 || !Movable(f)) return;
  if (!Detach(f)) {
    // A transaction that only read ends now (nothing to store); one that wrote is never cut.
    if (!c->inTx || HoldsWrites(c)) return;
    Commit(c, true, false);
    if (!Detach(f)) return;
  }
  // Its lock descriptor was opened read-only too, and the counter is written through it. Swapped
  // while SQLite has the file closed: closing a descriptor drops the process's record locks.
  if (f->lockFd >= 0 && !f->exclusive && (::fcntl(f->lockFd, F_GETFL) & O_ACCMODE) == O_RDONLY) {
    const int rw = ::open(p.constData(), O_RDWR | O_CLOEXEC);
    if (rw >= 0 && ::flock(rw, LOCK_SH | LOCK_NB) == 0) {
      ::close(f->lockFd);
      f->lockFd = rw;
    } else if (rw >= 0) {
      ::close(rw);
    }
  }
  Attach(f, c);
  f->version++;
}

void Engine::Gather(TableFile* f) {
  ReattachIfWritable(f);
  // Inside a transaction, the files it writes go to one connection while it has room: a join
  // over them then never has to move a file whose rows are pending.
  Conn* from = f->conn;
  if (!from || f->written || (from->inTx && HoldsWrites(from))) return;
  Conn* w = WriterOf(from->folderKey);
  if (!w || w == from || !Movable(f)) return;
  if (!MakeRoom(w, {f})) return;  // the rows span connections; their commit stays whole anyway
  Move(f, w);
}

Conn* Engine::Colocate(const std::vector<TableFile*>& files, bool write) {
  if (files.empty()) return nullptr;
  if (write)
    for (TableFile* f : files) ReattachIfWritable(f);
  std::map<Conn*, int> count;
  for (TableFile* f : files) count[f->conn]++;
  Conn* target = nullptr;
  // A statement that writes inside a transaction goes where the transaction's rows are.
  if (write) {
    Conn* w = WriterOf(files.front()->folderKey);
    bool fits = w != nullptr;
    for (TableFile* f : files)
      if (w && f->conn != w && !Movable(f)) fits = false;
    if (fits) target = w;
  }
  if (!target && count.size() == 1) return files.front()->conn;
  if (!target) {
    // The files go where the fewest must leave a connection holding rows written in the open
    // transaction (such a file cannot leave), then where most of them are.
    int best = 0;
    for (auto& [c, n] : count) {
      int score = n;
      for (TableFile* f : files)
        if (f->conn != c && !Movable(f)) score -= 1000;
      if (!target || score > best) {
        best = score;
        target = c;
      }
    }
  }
  for (TableFile* f : files) {
    if (f->conn == target) continue;
    if (!MakeRoom(target, files)) {
      if (HoldsWrites(target))
        Raise(DBIERR_FILEBUSY, "Trop de tables sont écrites dans la transaction en cours pour que l'instruction les lise "
                               "ensemble ; la transaction est intacte.");
      Raise(DBIERR_INVALIDPARAM, "L'instruction nomme trop de tables à la fois");
    }
    Move(f, target);
  }
  return target;
}

void Engine::BeforeWrite(TableFile* f) {
  Conn* c = f->conn;
  if (!c) Raise(DBIERR_FILEBUSY, TableDetail(f->path));
  if (InScope(c->folderKey) && !c->inTx) {
    c->Exec("BEGIN");
    c->inTx = true;
  }
  if (c->inTx) f->written = true;
}

void Engine::BeforeRead(TableFile* f) {
  Conn* c = f->conn;
  if (c && !c->inTx && InScope(c->folderKey)) {
    c->Exec("BEGIN");
    c->inTx = true;
  }
}

void Engine::AfterWrite(TableFile* f) {
  f->version++;
  // The row is stored: a header busy elsewhere must not make the Post look failed (the next key
  // goes past the keys stored anyway; the counter is written at a later write).
  if (f->counterDirty && !f->conn->inTx) StoreCounter(f, false);
}

void Engine::CheckOthers(TableFile* f) {
  if (!f || !f->conn) return;
  sqlite3_stmt* s = nullptr;
  if (sqlite3_prepare_v2(f->conn->db, QString("PRAGMA %1.data_version").arg(f->alias).toUtf8().constData(), -1, &s,
                         nullptr) != SQLITE_OK) {
    sqlite3_finalize(s);
    return;
  }
  if (sqlite3_step(s) == SQLITE_ROW) {
    const int64_t v = sqlite3_column_int64(s, 0);
    if (f->dataVersion >= 0 && v != f->dataVersion) f->version++;
    f->dataVersion = v;
  }
  sqlite3_finalize(s);
}

void Engine::BeginScope(const QString& folder) {
  Folder& fo = FolderOf(FolderKey(folder));
  if (fo.scope++ > 0) return;
  fo.doomed = false;
  // Before the transaction reads any of them: once read in it, a file it may write could not be
  // attached anew until its end.
  for (auto& c : fo.conns) {
    std::vector<TableFile*> stale;
    for (TableFile* f : c->files)
      if (f->readOnly) stale.push_back(f);
    for (TableFile* f : stale) {
      try {
        ReattachIfWritable(f);
      } catch (const EDBEngineError&) {
        // (The scope is open: its first write on the file says what is wrong.)
      }
    }
  }
}

void Engine::EndScope(const QString& folder, bool raise) {
  Folder& fo = FolderOf(FolderKey(folder));
  if (fo.scope <= 0) return;
  if (--fo.scope > 0) return;
  if (fo.doomed) {
    RollbackFolder(fo);
    if (raise) Raise(DBIERR_ROLLEDBACK, "Une partie de l'opération a été annulée : aucune de ses lignes n'est enregistrée.");
    return;
  }
  CommitFolder(fo, raise);
}

void Engine::CommitFolder(Folder& fo, bool raise) {
  std::exception_ptr first;
  // Rows written into more than one file are stored together or not at all.
  std::vector<Conn*> writers;
  int written = 0;
  for (auto& c : fo.conns) {
    if (!c->inTx) continue;
    const int n = int(std::count_if(c->files.begin(), c->files.end(), [](const TableFile* f) { return f->written; }));
    if (n > 0) writers.push_back(c.get());
    written += n;
  }
  if (written > 1) {
    try {
      CommitTogether(writers);
    } catch (...) {
      first = std::current_exception();
    }
  }
  for (auto& c : fo.conns) {
    if (!c->inTx) continue;
    try {
      Commit(c.get(), true);
    } catch (...) {
      if (!first) first = std::current_exception();
    }
  }
  if (first && raise) std::rethrow_exception(first);
}

void Engine::Commit(Conn* c, bool raise, bool together) {
  if (!c->inTx) return;
  if (together && std::count_if(c->files.begin(), c->files.end(), [](const TableFile* f) { return f->written; }) > 1) {
    try {
      CommitTogether({c});
    } catch (...) {
      if (raise) throw;
    }
    return;
  }
  char* err = nullptr;
  int rc = sqlite3_exec(c->db, "COMMIT", nullptr, nullptr, &err);
  if (err) sqlite3_free(err);
  if (rc != SQLITE_OK) {
    const QString msg = QString::fromUtf8(sqlite3_errmsg(c->db));
    Rollback(c);
    DetachUnused();
    if (raise) c->Fail(rc, "commit: " + msg);
    return;
  }
  AfterCommit(c);
}

void Engine::AfterCommit(Conn* c) {
  c->inTx = false;
  std::vector<TableFile*> files = c->files;
  for (TableFile* f : files) {
    f->written = false;
    if (f->pragmasPending) SetPragmas(c, f);
    if (f->counterDirty) StoreCounter(f, false);  // committed: never reported as failed
  }
  DetachUnused();  // files closed while the transaction was open go now
}

void Engine::CommitTogether(const std::vector<Conn*>& conns) {
  std::vector<sqlite3*> dbs;
  std::vector<QString> journals;
  for (Conn* c : conns) {
    dbs.push_back(c->db);
    for (const TableFile* f : c->files) journals.push_back(f->path + "-journal");
  }
  const std::vector<int> rcs = dbe::CommitTogether(conns.front()->folderKey, dbs, journals);
  if (rcs.empty()) {
    // No super-journal in this folder (read only): each connection commits on its own.
    for (Conn* c : conns) Commit(c, true, false);
    return;
  }
  int failed = SQLITE_OK;
  for (int rc : rcs)
    if (rc != SQLITE_OK && failed == SQLITE_OK) failed = rc;
  if (failed == SQLITE_OK) {
    for (Conn* c : conns) AfterCommit(c);
    return;
  }
  const QString msg = QString::fromUtf8(sqlite3_errstr(failed));
  for (Conn* c : conns) Rollback(c);
  DetachUnused();
  Raise(DBIERR_OSERROR, "commit: " + msg + "\nAucune ligne de l'opération n'est enregistrée.");
}

void Engine::RollbackScope(const QString& folder) {
  Folder& fo = FolderOf(FolderKey(folder));
  if (fo.scope <= 0) return;
  if (--fo.scope > 0) {
    fo.doomed = true;
    return;
  }
  RollbackFolder(fo);
}

void Engine::RollbackFolder(Folder& fo) {
  fo.doomed = false;
  bool refused = false;
  for (auto& c : fo.conns)
    if (!Rollback(c.get())) refused = true;
  DetachUnused();  // files closed while the transaction was open go now
  if (refused) Raise(DBIERR_OSERROR, "La transaction n'a pas pu être annulée.");
}

bool Engine::Rollback(Conn* c) {
  if (!c->inTx) return true;
  sqlite3_exec(c->db, "ROLLBACK", nullptr, nullptr, nullptr);
  if (!sqlite3_get_autocommit(c->db)) {
    // A statement left stepping holds the transaction: stop them all, then again.
    for (sqlite3_stmt* s = sqlite3_next_stmt(c->db, nullptr); s; s = sqlite3_next_stmt(c->db, s)) sqlite3_reset(s);
    sqlite3_exec(c->db, "ROLLBACK", nullptr, nullptr, nullptr);
    if (!sqlite3_get_autocommit(c->db)) return false;
  }
  // (SQLite may have rolled back by itself after an I/O error: the transaction is gone either way.)
  c->inTx = false;
  std::vector<TableFile*> files = c->files;
  for (TableFile* f : files) {
    f->version++;  // every cursor, count and Locate result reads the file again
    // Numbers handed out inside the transaction went with its rows: the header never got them.
    if (f->written || f->counterDirty) {
      DropCounter(f->path);
      ReadCounterFd(f);
      f->counterDirty = false;
      f->counterChecked = false;
    }
    f->written = false;
    if (f->pragmasPending) {
      try {
        SetPragmas(c, f);
      } catch (const EDBEngineError&) {
      }
    }
  }
  return true;
}

int32_t Engine::NextAutoInc(TableFile* f) {
  // The header's counter is written after the rows' commit: a kill in between, or a program that
  // stored rows without it, leaves it behind the keys stored. The next key is past both.
  CheckOthers(f);
  if (!f->counterChecked || f->counterCheckedAt != f->dataVersion) {
    const int32_t held = f->counter;
    ReadCounterFd(f);
    int64_t top = std::max(held, f->counter);
    for (int i = 0; i < int(f->meta.fields.size()); ++i) {
      if (f->meta.fields[i].iSubType != fldstAUTOINC) continue;
      Stmt s(f->conn, QString("SELECT max(%1) FROM %2").arg(f->Col(i), f->Q()));
      if (s.Step() && !s.IsNull(0)) top = std::max<int64_t>(top, s.Int(0));
    }
    if (top >= std::numeric_limits<int32_t>::max())
      Raise(DBIERR_OUTOFRANGE, "Le compteur automatique de la table est à son maximum.\n" + TableDetail(f->path));
    f->counter = int32_t(std::max<int64_t>(top, 0));
    f->counterChecked = true;
    f->counterCheckedAt = f->dataVersion;
  }
  if (f->counter == std::numeric_limits<int32_t>::max())
    Raise(DBIERR_OUTOFRANGE, "Le compteur automatique de la table est à son maximum.\n" + TableDetail(f->path));
  f->counter++;
  f->counterDirty = true;
  HoldCounter(f->path, f->counter);
  return f->counter;
}

void Engine::StoreCounter(TableFile* f, bool raise) {
  if (!f->counterDirty || !f->conn) return;
  Conn* c = f->conn;
  try {
    c->Exec("BEGIN EXCLUSIVE");
    try {
      WriteCounterRaw(f->lockFd, f->counter);
    } catch (...) {
      sqlite3_exec(c->db, "ROLLBACK", nullptr, nullptr, nullptr);
      throw;
    }
    c->Exec("COMMIT");
    f->counterDirty = false;
    DropCounter(f->path);
  } catch (...) {
    if (raise) throw;
  }
}

}  // namespace dbe

TFieldType FieldTypeOf(const FLDDesc& f) {
  switch (f.iFldType) {
    case fldZSTRING: return ftString;
    case fldDATE: return ftDate;
    case fldBOOL: return ftBoolean;
    case fldINT16: return ftSmallint;
    case fldINT32: return f.iSubType == fldstAUTOINC ? ftAutoInc : ftInteger;
    case fldFLOAT: return f.iSubType == fldstMONEY ? ftCurrency : ftFloat;
    default: return ftUnknown;
  }
}
