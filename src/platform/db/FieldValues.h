// What a field of each type holds, how a value is brought to it, and what the operator is told
// of a value it cannot hold. The writes (Post and SQL), the rebuild and the checks all judge a
// value by these rules, so they accept and refuse the same values.
#pragma once
#include <QString>
#include <QVariant>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

#include "platform/db/DbiStructure.h"

namespace dbe {

// ---- whole numbers (16 and 32 bits) ----

struct WholeRange {
  qlonglong lo, hi;
  constexpr bool Holds(qlonglong n) const { return n >= lo && n <= hi; }
};
constexpr WholeRange kInt16Range{-32768, 32767};
constexpr WholeRange kInt32Range{-2147483648LL, 2147483647LL};
constexpr WholeRange WholeRangeOf(int fldType) { return fldType == fldINT16 ? kInt16Range : kInt32Range; }

// A finite real brought to the nearest whole number; one past what 64 bits hold stays past every
// field's range instead of wrapping.
inline qlonglong RoundWhole(double d) {
  if (std::fabs(d) > 9.2e18) return d < 0 ? std::numeric_limits<qlonglong>::min() : std::numeric_limits<qlonglong>::max();
  return std::llround(d);
}

// A stored whole number (integer, or a real without fraction) that 32 bits hold; nothing for any
// other value, which is never cut to fit.
inline std::optional<int> ExactInt32(const QVariant& v) {
  qlonglong n;
  switch (v.typeId()) {
    case QMetaType::Int: return *static_cast<const int*>(v.constData());
    case QMetaType::LongLong: n = *static_cast<const qlonglong*>(v.constData()); break;
    case QMetaType::Double: {
      const double d = *static_cast<const double*>(v.constData());
      if (d == std::floor(d) && std::fabs(d) <= double(kInt32Range.hi)) return int(d);
      return std::nullopt;
    }
    default: n = v.toLongLong();
  }
  if (!kInt32Range.Holds(n)) return std::nullopt;
  return int(n);
}

// ---- money: fixed point with four decimals in 64 bits ----

constexpr double kMaxMoney = 922337203685477.0;
inline const char* const kMaxMoneyText = "922 337 203 685 477";

inline bool MoneyInRange(double d) { return std::fabs(d) <= kMaxMoney; }
inline double RoundMoney(double d) { return double(std::llround(d * 10000.0)) / 10000.0; }
// True when rounding to four decimals leaves the value as it is (up to the last bit of a double).
inline bool MoneyKeepsAsIs(double d) { return std::fabs(RoundMoney(d) - d) <= std::fabs(d) * 4e-16; }

// ---- what the operator is told: one clause per rule, said of the value ----

QString WholeRule(WholeRange r);  // "est hors des limites du champ (-32768 à 32767)"
QString MoneyRangeRule();         // "est hors des limites d'un montant (-922 337 203 685 477 à ...)"
QString MoneyDecimalsRule();      // "a plus de 4 décimales" (the writes round; a rebuild refuses)
QString FiniteRule();             // "n'est pas un nombre fini"
// A write refused by a rule: "<value> n'est pas une valeur correcte pour le champ « <field> » :
// la valeur <rule>."
QString NotHeld(const QString& value, const QString& field, const QString& rule);

}  // namespace dbe
