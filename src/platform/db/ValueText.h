// Texts the datasets take for a logical value.
#pragma once
#include <QString>
#include <optional>

inline std::optional<bool> TextToBool(const QString& s) {
  const QString u = s.trimmed().toUpper();
  if (u == "TRUE" || u == "T" || u == "YES" || u == "Y" || u == "1") return true;
  if (u == "FALSE" || u == "F" || u == "NO" || u == "N" || u == "0") return false;
  return std::nullopt;
}
