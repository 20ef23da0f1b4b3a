// What a field's value becomes in the file and back.
#include "platform/db/EngineCore.h"

#include <QDate>
#include <cmath>
#include <sqlite3.h>

namespace dbe {

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

namespace {
// "YYYY-MM-DD" at the start of a text of n characters, whatever follows.
template <typename Char>
QDate IsoDate(const Char* s, qsizetype n) {
  if (n < 10 || s[4] != '-' || s[7] != '-') return {};
  auto digits = [&](int from, int count, int& out) {
    out = 0;
    for (int i = from; i < from + count; ++i) {
      const auto c = s[i];
      if (c < '0' || c > '9') return false;
      out = out * 10 + int(c - '0');
    }
    return true;
  };
  int y, m, d;
  if (!digits(0, 4, y) || !digits(5, 2, m) || !digits(8, 2, d)) return {};
  return QDate(y, m, d);
}
}  // namespace

QDate DateFromIso(const QString& s) { return IsoDate(s.utf16(), s.size()); }

static bool IsMoney(const FLDDesc& f) { return f.iFldType == fldFLOAT && f.iSubType == fldstMONEY; }

// An empty text is NULL, written or read.
static QVariant TextOrNull(const QVariant& v) {
  QString s = v.toString();
  return s.isEmpty() ? QVariant() : QVariant(s);
}

// Money keeps four decimals, written or read.
static QVariant Number(const FLDDesc& f, const QVariant& v) {
  double d = v.toDouble();
  if (IsMoney(f)) d = RoundMoney(d);
  return QVariant(d);
}

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
    case fldZSTRING: return TextOrNull(v);
    case fldDATE: {
      QDate d = v.typeId() == QMetaType::QDateTime ? v.toDateTime().date() : v.toDate();
      return d.isValid() ? QVariant(IsoFromDate(d)) : QVariant();
    }
    case fldBOOL: return QVariant(qlonglong(v.toBool() ? 1 : 0));
    case fldFLOAT: return Number(f, v);
    default: return QVariant(v.toLongLong());
  }
}

QVariant FromStorage(const FLDDesc& f, const QVariant& v) {
  if (v.isNull() || !v.isValid()) return QVariant();
  switch (f.iFldType) {
    case fldZSTRING: return TextOrNull(v);
    case fldDATE: {
      QDate d = DateFromIso(v.toString());
      return d.isValid() ? QVariant(d) : QVariant();
    }
    case fldBOOL: return QVariant(v.toLongLong() != 0);
    // Read as stored: money is rounded when written, and a value another tool wrote (more
    // decimals, a whole number past 32 bits, a fraction in a whole-number column of a table made
    // before they were STRICT) is never cut on its way to the screen or into a rebuild.
    case fldFLOAT: return QVariant(v.toDouble());
    default: {
      if (const auto n = ExactInt32(v)) return QVariant(*n);
      return v.typeId() == QMetaType::Double ? QVariant(v.toDouble()) : QVariant(v.toLongLong());
    }
  }
}

QVariant ReadField(const FLDDesc& f, sqlite3_stmt* s, int i) {
  const int type = sqlite3_column_type(s, i);
  if (type == SQLITE_NULL) return QVariant();
  switch (f.iFldType) {
    case fldZSTRING:
      if (type != SQLITE_TEXT) break;
      if (const int n = sqlite3_column_bytes(s, i); n > 0)
        return QVariant(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, i)), n));
      return QVariant();
    case fldDATE: {
      if (type != SQLITE_TEXT) break;
      // A non-ASCII byte among the first ten fails the pattern as its character would.
      const unsigned char* t = sqlite3_column_text(s, i);
      const QDate d = IsoDate(t, sqlite3_column_bytes(s, i));
      return d.isValid() ? QVariant(d) : QVariant();
    }
    case fldBOOL:
      if (type != SQLITE_INTEGER) break;
      return QVariant(sqlite3_column_int64(s, i) != 0);
    case fldFLOAT:
      if (type == SQLITE_FLOAT) return QVariant(sqlite3_column_double(s, i));
      if (type == SQLITE_INTEGER) return QVariant(double(sqlite3_column_int64(s, i)));
      break;
    default: {
      if (type != SQLITE_INTEGER) break;
      const qlonglong n = sqlite3_column_int64(s, i);
      return kInt32Range.Holds(n) ? QVariant(int(n)) : QVariant(n);
    }
  }
  return FromStorage(f, ColumnValue(s, i));
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
