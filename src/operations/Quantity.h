// The checks the entry windows share on what the operator types in a quantity cell.
#pragma once
#include <QString>

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
// The same in a font; a text of four characters or fewer is taken as it is, unmeasured (it fits
// every quantity column of the entry grids), so that painting stays cheap.
QString FitInCell(const QString& text, int width, const QFont& font);
