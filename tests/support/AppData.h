// A program folder for the tests and the picture programs: the globals pointed at it, its data
// folder with the application's own tables, and helpers to fill and read them and to drive the
// windows with keys and mouse as a person does.
#pragma once
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <Qt>
#include <vector>

class QWidget;
class TStringGrid;

namespace testdata {

// Points AppPath at root (ending in "/") and DataPath at its "Data/" folder, which it makes empty
// of tables.
void UseProgramFolder(const QString& root);
// The same, with every table of the application's schema made in the data folder.
void MakeAppFolder(const QString& root);

// Appends rows to a table of the data folder; values in field order, invalid entries left null.
void AddRow(const QString& table, const QList<QVariant>& values);
void AddRows(const QString& table, const std::vector<QList<QVariant>>& rows);

// n clients "0001"... with long names and addresses, region "01", site "A", in one transaction:
// a CLIENT table of several data pages.
void AddClients(int n);
// Overwrites size bytes of a file from offset with noise, the same on every run; false when the
// file cannot be written there.
bool WriteNoise(const QString& file, qint64 offset, int size);
// Runs SQL on a table file as another tool would (straight through SQLite, no engine, no rules).
void Sqlite(const QString& file, const QString& sql);

// How Rows writes a cell: the stored value, the same with dates as "DD/MM/YYYY", or the field's
// display text.
enum class Cells { Values, Dates, Display };
// Every row of a SELECT on the data folder as "v1|v2|...", nulls empty.
QStringList Rows(const QString& sql, Cells cells = Cells::Values);
// First cell of the first row, "" when there is none.
QString Value(const QString& sql, Cells cells = Cells::Values);
void Exec(const QString& sql);

// Shows the window and makes it active, so that the focus and the keys go where a person puts them.
void Activate(QWidget* w);
// Keys to whatever holds the focus.
void Type(const QString& text);
void Press(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier);
void Click(QWidget* w);
void ClickCell(TStringGrid* g, int col, int row);
void DoubleClickCell(TStringGrid* g, int col, int row);
// The grid's texts from row `from` on, one line per row: cells from firstCol joined with "|".
QStringList GridRows(TStringGrid* g, int from = 0, int firstCol = 0);

}  // namespace testdata
