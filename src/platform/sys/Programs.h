// Starting other programs of the desktop.
#pragma once
#include <QString>
#include <QStringList>

// Result codes as the program reports them: above 31 the program started; 0 out of memory;
// 2 or 3 the program was not found; 11 it cannot be run.
enum : int { EXEC_OUTOFMEMORY = 0, EXEC_FILENOTFOUND = 2, EXEC_PATHNOTFOUND = 3, EXEC_BADFORMAT = 11, EXEC_OK = 33 };

// The full path of the first of these programs found on PATH, or "".
QString FindProgram(const QStringList& names);
// Starts a program detached from this one; returns one of the codes above.
int StartProgram(const QString& path, const QStringList& args = {});
// The desktop calculators looked for, in order.
QStringList CalculatorPrograms();
// Starts the first desktop calculator found; EXEC_FILENOTFOUND when there is none.
int StartCalculator();
