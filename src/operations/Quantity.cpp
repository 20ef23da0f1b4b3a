#include "operations/Quantity.h"

#include <QFontMetrics>
#include <algorithm>
#include <limits>
#include <vector>

#include "platform/sys/Formats.h"

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
  if (text.isEmpty()) return text;  // nothing to cut, however narrow
  // Every painted cell comes here: the metrics of the last few fonts are kept (a grid paints its
  // cells in two or three), and a text of digits is first measured by its widest digit, without
  // its glyphs.
  struct Metrics {
    QFont font;
    QFontMetrics fm;
    int digit;
  };
  static auto* kept = new std::vector<Metrics>;  // never freed: no font may outlive the application
  static size_t next = 0;
  const Metrics* m = nullptr;
  for (const Metrics& k : *kept)
    if (k.font == font) {
      m = &k;
      break;
    }
  if (!m) {
    const QFontMetrics fm(font);
    int digit = 0;
    for (char c = '0'; c <= '9'; ++c) digit = std::max(digit, fm.horizontalAdvance(QChar(c)));
    constexpr size_t kFonts = 4;
    if (kept->size() < kFonts) {
      kept->push_back({font, fm, digit});
      m = &kept->back();
    } else {
      (*kept)[next] = {font, fm, digit};
      m = &(*kept)[next];
      next = (next + 1) % kFonts;
    }
  }
  bool digits = true;
  for (QChar c : text) digits = digits && c >= '0' && c <= '9';
  if (digits && text.size() * m->digit <= width) return text;
  return FitInCell(text, width, m->fm);
}

void QuantityCells::Reset(int cols, int rows) {
  cols_ = std::max(0, cols);
  rows_ = std::max(0, rows);
  q_.assign(size_t(cols_) * rows_, kNone);
}

void QuantityCells::Set(int c, int r, int q) {
  if (c < 0 || r < 0 || c >= cols_ || r >= rows_) return;
  q_[size_t(r) * cols_ + c] = q < 0 ? kNone : q;
}

bool QuantityCells::Accept(int c, int r, const QString& text) {
  int q = 0;
  const bool number = ParseQuantity(text, q);
  Set(c, r, number ? q : kNone);
  return number;
}

long long QuantityCells::ColumnTotal(int c, int fromRow) const {
  long long total = 0;
  if (c < 0 || c >= cols_) return 0;
  for (int r = std::max(0, fromRow); r < rows_; ++r) total += std::max(0, q_[size_t(r) * cols_ + c]);
  return total;
}

void QuantityCells::CopyColumn(int from, int to, int fromRow) {
  if (from < 0 || to < 0 || from >= cols_ || to >= cols_) return;
  for (int r = std::max(0, fromRow); r < rows_; ++r) q_[size_t(r) * cols_ + to] = q_[size_t(r) * cols_ + from];
}
