// The checks the entry windows share on what the operator types in a quantity cell.
#pragma once
#include <QString>
#include <algorithm>
#include <vector>

class QFont;
class QFontMetrics;

// A quantity as stored in the takings and returns tables: a whole number, not negative, within
// the field's range. Surrounding blanks are ignored; "2.5", "1.2.3", "-1", "1A", "" and
// "99999999999" are refused.
bool ParseQuantity(const QString& text, int& value);

// An amount of money as typed in a payment or a price cell: digits with at most one "." and at
// most two decimals, not negative, within what a money field holds. Surrounding blanks are
// ignored; "", "A", "1.2.3", "1,5,0", "-1" and "1.234" are refused. The value is exact (no
// binary rounding): "0.29" gives 2900 hundredths of a hundredth.
class Currency;
bool ParseAmount(const QString& text, Currency& value);

// What a quantity cell shows in a width of pixels: its text when it fits, else "#" marks across
// the width, as a spreadsheet does, so that a number is never shown with some digits cut away.
QString FitInCell(const QString& text, int width, const QFontMetrics& fm);
// The same in a font, cheap enough for painting every cell.
QString FitInCell(const QString& text, int width, const QFont& font);

// The quantities of an entry grid's cells as numbers, each parsed once, when its text is accepted
// into the cell: a cell holds its quantity, or none when its text is not one (empty included).
// The grid keeps the text the operator sees; the painting, the totals and the save read here.
// Cells are addressed as in the grid (column, row); outside the grid there is no quantity.
class QuantityCells {
 public:
  // Every cell without a quantity.
  void Reset(int cols, int rows);
  int ColCount() const { return cols_; }
  int RowCount() const { return rows_; }
  void Set(int c, int r, int q);
  // The text now in a cell; true when it is a quantity.
  bool Accept(int c, int r, const QString& text);
  bool IsNumber(int c, int r) const { return At(c, r) >= 0; }
  // The cell's quantity; 0 without one.
  int Value(int c, int r) const { return std::max(0, At(c, r)); }
  // The sum of the quantities of a column from a row down, cells without one left out.
  long long ColumnTotal(int c, int fromRow) const;
  // A column's cells take those of another, from a row down.
  void CopyColumn(int from, int to, int fromRow);

 private:
  static constexpr int kNone = -1;  // quantities are never negative
  int At(int c, int r) const {
    return c < 0 || r < 0 || c >= cols_ || r >= rows_ ? kNone : q_[size_t(r) * cols_ + c];
  }
  int cols_ = 0, rows_ = 0;
  std::vector<int> q_;
};
