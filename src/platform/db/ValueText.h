// Texts the datasets take for a logical value, and the stored values a whole-number field holds.
#pragma once
#include <QString>
#include <QVariant>
#include <cmath>
#include <cstdint>
#include <optional>

inline std::optional<bool> TextToBool(const QString& s) {
  const QString u = s.trimmed().toUpper();
  if (u == "TRUE" || u == "T" || u == "YES" || u == "Y" || u == "1") return true;
  if (u == "FALSE" || u == "F" || u == "NO" || u == "N" || u == "0") return false;
  return std::nullopt;
}

// A stored whole number (integer, or a real without fraction) that 32 bits hold; nothing for any
// other value, which is never cut to fit.
inline std::optional<int> ExactInt32(const QVariant& v) {
  if (v.typeId() == QMetaType::Double) {
    const double d = v.toDouble();
    if (d == std::floor(d) && std::fabs(d) <= 2147483647.0) return int(d);
    return std::nullopt;
  }
  const qlonglong n = v.toLongLong();
  if (n < INT32_MIN || n > INT32_MAX) return std::nullopt;
  return int(n);
}
