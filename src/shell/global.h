// State shared by the windows, and the small procedures every subsystem calls.
#pragma once
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>

class TTable;

// Folders, always ending in "/": the program's folder and its "Data/" folder.
extern QString AppPath;
extern QString DataPath;
extern QString Version;
extern int16_t Exercice;  // working year
extern int CurrentListNo;
// Codes of the titles ticked in the day-and-titles dialog; made on first use, freed by its readers.
extern QStringList* SelectedTitles;
extern std::array<QString, 61> Droits;      // access levels, 0..60
extern std::array<QString, 8> JoursSemaine;  // 1 = "Dimanche" .. 7 = "Samedi"; 0 unused
// The French name of a day ("Lundi").
QString DayName(const QDate& d);
extern QString Remarque;
extern QString ReportHeader;

// Fixes the process formats and the day names (done once before any window exists).
void InitializeFormats();

// Deletes every entry of a folder (ending in "/") that matches a mask; failures are ignored.
void DeleteFiles(const QString& folder, const QString& mask);
// The Saturday on or before a date: the week rule's (trade::WeekOf), under the shared procedure's name.
QDate WeekStart(const QDate& d);
QDateTime WeekStart(const QDateTime& d);  // time of day kept
// The next code of a table: the largest all-digit code of the field plus one, zero-padded to
// the width. Codes that are not all digits are passed over; a code that would not fit the width
// is refused with an error instead of being cut or repeated.
QString NewKey(TTable* table, const QString& fieldName, int width);
bool IsNumber(const QString& text);
QString PadLeft(const QString& text, const QString& pad, int width);
QString DateToSQL(const QDate& d);
QString DateToSQL(const QDateTime& d);
QString RemoveSpaces(const QString& text);
void ShowError(const QString& text);
