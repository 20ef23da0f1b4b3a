#include "operations/Quantity.h"

#include <QFontMetrics>
#include <algorithm>
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

#include "platform/sys/Formats.h"

bool ParseAmount(const QString& text, Currency& value) {
  const QString t = text.trimmed();
  if (t.isEmpty() || t.size() > 16) return false;
  qint64 whole = 0, cents = 0;
  int decimals = -1;  // digits after the point; -1 before it
  int digits = 0;
  for (QChar c : t) {
    if (c == '.') {
      if (decimals >= 0) return false;
      decimals = 0;
      continue;
    }
    if (c < '0' || c > '9') return false;
    const int d = c.unicode() - '0';
    if (decimals < 0) {
      whole = whole * 10 + d;
      ++digits;
    } else {
      if (++decimals > 2) return false;
      cents = cents * 10 + d;
      ++digits;
    }
  }
  if (digits == 0) return false;
  if (decimals == 1) cents *= 10;
  // Money keeps four decimals in a 64-bit integer; twelve whole digits are plenty for a wholesaler.
  if (whole > 999999999999LL) return false;
  value = Currency::FromRaw(whole * 10000 + cents * 100);
  return true;
}

QString FitInCell(const QString& text, int width, const QFontMetrics& fm) {
  if (fm.horizontalAdvance(text) <= width) return text;
  const int mark = std::max(1, fm.horizontalAdvance(QChar('#')));
  return QString(std::max(1, width / mark), QChar('#'));
}

QString FitInCell(const QString& text, int width, const QFont& font) {
  if (text.size() <= 4) return text;
  return FitInCell(text, width, QFontMetrics(font));
}
