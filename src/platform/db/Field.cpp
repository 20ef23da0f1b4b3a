// TField: one field of a dataset's current record, read and written as the types allow.
#include "platform/db/Dataset.h"

#include <cmath>
#include <limits>

#include "platform/db/FieldValues.h"
#include "platform/db/ValueText.h"
#include "platform/sys/Formats.h"

namespace {

// Day numbers count from 30/12/1899 (day 0).
const QDate kDayNumberEpoch(1899, 12, 30);

bool IsIntType(TFieldType t) { return t == ftSmallint || t == ftInteger || t == ftAutoInc; }
bool IsFloatType(TFieldType t) { return t == ftFloat || t == ftCurrency; }

}  // namespace

TField::TField(TDataSet* ds, int index, const QString& name, TFieldType type, int size)
    : ds_(ds), index_(index), name_(name), type_(type), size_(size) {}

bool TField::IsNull() const { return ds_->FieldValue(index_).isNull(); }
void TField::Clear() { Store(QVariant()); }
void TField::Store(const QVariant& v) { ds_->SetFieldValue(index_, v); }

QString TField::GetAsString() const {
  const QVariant v = ds_->FieldValue(index_);
  if (v.isNull()) return QString();
  switch (type_) {
    case ftDate: return DateToStr(v.toDate());
    case ftDateTime: return DateTimeToStr(v.toDateTime());
    case ftBoolean: return v.toBool() ? "True" : "False";
    case ftFloat: case ftCurrency: return FloatToStr(v.toDouble());
    case ftSmallint: case ftInteger: case ftAutoInc: return QString::number(v.toLongLong());
    default: return v.toString();
  }
}

void TField::SetAsString(const QString& s) {
  if (type_ == ftString || type_ == ftUnknown) return Store(s);
  if (s.trimmed().isEmpty()) return Store(QVariant());
  if (IsIntType(type_)) {
    auto n = TryStrToInt(s);
    if (!n) throw EConvertError(QString("« %1 » n'est pas un nombre entier correct pour le champ « %2 »").arg(s, name_));
    return Store(qlonglong(*n));
  }
  if (IsFloatType(type_)) {
    auto d = TryStrToFloat(s);
    if (!d) throw EConvertError(QString("« %1 » n'est pas un nombre correct pour le champ « %2 »").arg(s, name_));
    return Store(*d);
  }
  if (type_ == ftDate || type_ == ftDateTime) {
    auto d = TryStrToDate(s.trimmed().left(10));
    if (!d) throw EConvertError(QString("« %1 » n'est pas une date correcte pour le champ « %2 »").arg(s, name_));
    return Store(*d);
  }
  if (type_ == ftBoolean) {
    auto b = TextToBool(s);
    if (!b) throw EConvertError(QString("« %1 » n'est pas une valeur logique correcte pour le champ « %2 »").arg(s, name_));
    return Store(*b);
  }
}

namespace {
// A value that no 32-bit whole number holds: past the bounds, or (stored by another tool in a
// whole-number field) a fraction, which is never rounded there.
QString OutOfIntRange(const QVariant& v, const QString& field, bool fractionRefused) {
  const bool real = v.typeId() == QMetaType::Double;
  const double d = v.toDouble();
  return dbe::NotHeld(real ? FloatToStr(d) : QString::number(v.toLongLong()), field,
                      fractionRefused && real && d != std::floor(d) ? QString("n'est pas un nombre entier")
                                                                    : dbe::WholeRule(dbe::kInt32Range));
}
}  // namespace

int TField::GetAsInteger() const {
  const QVariant v = ds_->FieldValue(index_);
  if (v.isNull()) return 0;
  switch (type_) {
    case ftString: {
      auto n = TryStrToInt(v.toString());
      if (!n) throw EConvertError(QString("« %1 » n'est pas un nombre entier correct").arg(v.toString()));
      return int(*n);
    }
    case ftFloat: case ftCurrency: {
      const double d = std::round(v.toDouble());
      if (!(std::fabs(d) <= double(dbe::kInt32Range.hi))) throw EConvertError(OutOfIntRange(v, name_, false));
      return int(d);
    }
    case ftBoolean: return v.toBool() ? 1 : 0;
    case ftDate: return int(kDayNumberEpoch.daysTo(v.toDate()));
    default: {
      // A whole number stored past 32 bits by another tool is refused, never wrapped.
      if (const auto n = dbe::ExactInt32(v)) return *n;
      throw EConvertError(OutOfIntRange(v, name_, true));
    }
  }
}

void TField::SetAsInteger(const int& n) {
  switch (type_) {
    case ftString: return Store(QString::number(n));
    case ftBoolean: return Store(n != 0);
    case ftFloat: case ftCurrency: return Store(double(n));
    case ftDate: case ftDateTime: return Store(kDayNumberEpoch.addDays(n));
    default: return Store(qlonglong(n));
  }
}

double TField::GetAsFloat() const {
  const QVariant v = ds_->FieldValue(index_);
  if (v.isNull()) return 0.0;
  switch (type_) {
    case ftString: {
      auto d = TryStrToFloat(v.toString());
      if (!d) throw EConvertError(QString("« %1 » n'est pas un nombre correct").arg(v.toString()));
      return *d;
    }
    case ftDate: return double(kDayNumberEpoch.daysTo(v.toDate()));
    case ftBoolean: return v.toBool() ? 1.0 : 0.0;
    default: return v.toDouble();
  }
}

void TField::SetAsFloat(const double& d) {
  switch (type_) {
    case ftString: return Store(FloatToStr(d));
    case ftBoolean: return Store(d != 0.0);
    case ftSmallint: case ftInteger: case ftAutoInc: {
      if (d != std::floor(d)) throw EConvertError(QString("%1 n'est pas un nombre entier correct pour le champ « %2 »").arg(FloatToStr(d), name_));
      return Store(qlonglong(d));
    }
    case ftDate: case ftDateTime: return Store(kDayNumberEpoch.addDays(qint64(std::floor(d))));
    default: return Store(d);
  }
}

Currency TField::GetAsCurrency() const {
  const QVariant v = ds_->FieldValue(index_);
  if (v.isNull()) return Currency();
  return Currency::FromDouble(GetAsFloat());
}

void TField::SetAsCurrency(const Currency& c) {
  if (type_ == ftString) return Store(FloatToStr(c.ToDouble()));
  SetAsFloat(c.ToDouble());
}

QDate TField::GetAsDate() const {
  const QVariant v = ds_->FieldValue(index_);
  if (v.isNull()) return QDate();
  switch (type_) {
    case ftDate: return v.toDate();
    case ftDateTime: return v.toDateTime().date();
    case ftString: {
      auto d = TryStrToDate(v.toString());
      if (!d) throw EConvertError(QString("« %1 » n'est pas une date correcte").arg(v.toString()));
      return *d;
    }
    case ftSmallint: case ftInteger: case ftAutoInc: case ftFloat: case ftCurrency:
      return kDayNumberEpoch.addDays(qint64(std::floor(v.toDouble())));
    default: throw EConvertError(QString("Le champ « %1 » ne se lit pas comme une date").arg(name_));
  }
}

void TField::SetAsDate(const QDate& d) {
  if (!d.isValid()) return Store(QVariant());
  switch (type_) {
    case ftString: return Store(DateToStr(d));
    case ftSmallint: case ftInteger: case ftAutoInc: case ftFloat: case ftCurrency:
      return Store(qlonglong(kDayNumberEpoch.daysTo(d)));
    case ftBoolean: throw EConvertError(QString("Le champ « %1 » ne peut pas recevoir une date").arg(name_));
    default: return Store(d);
  }
}

QDateTime TField::GetAsDateTime() const {
  const QVariant v = ds_->FieldValue(index_);
  if (v.isNull()) return QDateTime();
  if (type_ == ftDateTime) return v.toDateTime();
  return QDateTime(GetAsDate(), QTime(0, 0));
}

void TField::SetAsDateTime(const QDateTime& dt) {
  if (!dt.isValid()) return Store(QVariant());
  if (type_ == ftDateTime) return Store(dt);
  SetAsDate(dt.date());
}

bool TField::GetAsBoolean() const {
  const QVariant v = ds_->FieldValue(index_);
  if (v.isNull()) return false;
  if (type_ == ftString) {
    auto b = TextToBool(v.toString());
    if (!b) throw EConvertError(QString("« %1 » n'est pas une valeur logique correcte").arg(v.toString()));
    return *b;
  }
  if (type_ == ftDate || type_ == ftDateTime) throw EConvertError(QString("Le champ « %1 » ne se lit pas comme une valeur logique").arg(name_));
  return v.toDouble() != 0.0;
}

void TField::SetAsBoolean(const bool& b) {
  switch (type_) {
    case ftString: return Store(b ? QString("True") : QString("False"));
    case ftDate: case ftDateTime: throw EConvertError(QString("Le champ « %1 » ne peut pas recevoir une valeur logique").arg(name_));
    case ftFloat: case ftCurrency: return Store(b ? 1.0 : 0.0);
    case ftSmallint: case ftInteger: case ftAutoInc: return Store(qlonglong(b ? 1 : 0));
    default: return Store(b);
  }
}

QVariant TField::GetValue() const { return ds_->FieldValue(index_); }

void TField::SetValue(const QVariant& v) {
  if (v.isNull() || !v.isValid()) return Store(QVariant());
  switch (v.typeId()) {
    case QMetaType::QString: return SetAsString(v.toString());
    case QMetaType::QDate: return SetAsDate(v.toDate());
    case QMetaType::QDateTime: return SetAsDateTime(v.toDateTime());
    case QMetaType::Bool: return SetAsBoolean(v.toBool());
    case QMetaType::Double: case QMetaType::Float: return SetAsFloat(v.toDouble());
    case QMetaType::Int: case QMetaType::LongLong: case QMetaType::UInt: case QMetaType::Short:
      if (type_ == ftString) return Store(QString::number(v.toLongLong()));
      if (IsIntType(type_)) return Store(v.toLongLong());
      return SetAsFloat(v.toDouble());
    default: return SetAsString(v.toString());
  }
}

QString TField::DisplayText() const {
  const QVariant v = ds_->FieldValue(index_);
  if (v.isNull()) return QString();
  if (!DisplayFormat.isEmpty() && (IsIntType(type_) || IsFloatType(type_)))
    return FormatFloat(DisplayFormat, v.toDouble());
  if (type_ == ftCurrency) return CurrToStrF(Currency::FromDouble(v.toDouble()), 2);
  return GetAsString();
}
