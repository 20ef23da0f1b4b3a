#include "operations/Quantity.h"

#include <limits>

bool ParseQuantity(const QString& text, int& value) {
  const QString t = text.trimmed();
  if (t.isEmpty() || t.size() > 10) return false;
  qint64 v = 0;
  for (QChar c : t) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c.unicode() - '0');
  }
  if (v > std::numeric_limits<qint32>::max()) return false;
  value = int(v);
  return true;
}
