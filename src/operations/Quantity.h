// The checks the entry windows share on what the operator types in a quantity cell.
#pragma once
#include <QString>

// A quantity as stored in the takings and returns tables: a whole number, not negative, within
// the field's range. Surrounding blanks are ignored; "2.5", "1.2.3", "-1", "1A", "" and
// "99999999999" are refused.
bool ParseQuantity(const QString& text, int& value);
