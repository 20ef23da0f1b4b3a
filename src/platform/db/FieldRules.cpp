// The field rules applied to values written through SQL (the zfit() function).
#include "platform/db/EngineCore.h"

#include "platform/sys/Formats.h"

#include <cmath>
#include <sqlite3.h>

namespace dbe {

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
// The refusal of the last zfit call, raised by Conn::Fail with its engine code (TakeFitRefusal).
int g_fitCode = 0;
QString g_fitMessage;
const char kFitError[] = "zelm field rule";

void FitRefuse(sqlite3_context* ctx, const QString& value, const QString& field, const QString& why) {
  g_fitCode = DBIERR_OUTOFRANGE;
  g_fitMessage = NotHeld(value, field, why);
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
        if (WholeRangeOf(type).Holds(n)) return sqlite3_result_int64(ctx, n);
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
      const WholeRange range = WholeRangeOf(type);
      if (!integral) n = std::isfinite(d) ? RoundWhole(d) : range.hi + 1;
      if (!range.Holds(n)) return FitRefuse(ctx, shown, field, WholeRule(range));
      return sqlite3_result_int64(ctx, n);
    }
    case fldFLOAT: {
      double d = 0;
      bool integral = false;
      qlonglong n = 0;
      if (!number(d, integral, n)) return FitRefuse(ctx, "« " + shown + " »", field, "Un nombre est attendu.");
      const bool money = sub == fldstMONEY;
      if (!std::isfinite(d)) return FitRefuse(ctx, shown, field, FiniteRule());
      if (money && !MoneyInRange(d)) return FitRefuse(ctx, shown, field, MoneyRangeRule());
      if (money) d = RoundMoney(d);
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

void RegisterFieldRules(sqlite3* db) {
  sqlite3_create_function(db, "zfit", 5, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, ZFit, nullptr, nullptr);
}

bool TakeFitRefusal(const QString& sqliteMessage, int& code, QString& message) {
  if (!g_fitCode || sqliteMessage != kFitError) return false;
  code = g_fitCode;
  g_fitCode = 0;
  message = g_fitMessage;
  return true;
}

QString FitArgs(const FLDDesc& f) {
  QString name = f.szName;
  name.replace('\'', "''");
  return QString(", %1, %2, %3, '%4')").arg(f.iFldType).arg(f.iSubType).arg(f.iUnits1).arg(name);
}

}  // namespace dbe
