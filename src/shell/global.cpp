#include "shell/global.h"

#include "platform/sys/Files.h"
#include "platform/sys/Formats.h"
#include "platform/ui/Dialogs.h"
#include "rules/TradeRules.h"

QString AppPath;
QString DataPath;
QString Version;
int16_t Exercice = 0;
int CurrentListNo = 0;
QStringList* SelectedTitles = nullptr;
std::array<QString, 61> Droits;
std::array<QString, 8> JoursSemaine = {"", "Dimanche", "Lundi", "Mardi", "Mercredi", "Jeudi", "Vendredi", "Samedi"};

QString DayName(const QDate& d) { return JoursSemaine[DayOfWeek(d)]; }
QString Remarque;
QString ReportHeader;

void InitializeFormats() {
  TFormatSettings& f = FormatSettings();
  f.DateSeparator = '/';
  f.ShortDateFormat = "DD/MM/YYYY";
  f.TimeSeparator = ':';
  f.ShortTimeFormat = "HH:MM";
  f.DecimalSeparator = '.';
  f.ThousandSeparator = ' ';
  f.CurrencyString = " ";
  f.CurrencyDecimals = 2;
  f.NegCurrFormat = 8;
  JoursSemaine = {"", "Dimanche", "Lundi", "Mardi", "Mercredi", "Jeudi", "Vendredi", "Samedi"};
}

void DeleteFiles(const QString& folder, const QString& mask) {
  for (const QString& name : FindFiles(folder, mask)) DeleteFile(folder + name);
}

QDate WeekStart(const QDate& d) { return trade::WeekOf(d).saturday; }

QDateTime WeekStart(const QDateTime& d) { return QDateTime(WeekStart(d.date()), d.time()); }

bool IsNumber(const QString& text) {
  // trimmed of blanks and control characters
  int b = 0, e = text.size();
  while (b < e && text[b].unicode() <= 32) ++b;
  while (e > b && text[e - 1].unicode() <= 32) --e;
  if (b == e) return false;
  const QChar dec = FormatSettings().DecimalSeparator;
  for (int i = b; i < e; ++i) {
    const QChar c = text[i];
    if (!(c >= '0' && c <= '9') && c != dec) return false;
  }
  return true;
}

QString PadLeft(const QString& text, const QString& pad, int width) {
  QString r = text;
  for (int i = text.size(); i < width; ++i) r.prepend(pad);
  return r;
}

QString DateToSQL(const QDate& d) {
  return QString::number(d.month()) + "/" + QString::number(d.day()) + "/" + QString::number(d.year());
}

QString DateToSQL(const QDateTime& d) { return DateToSQL(d.date()); }

QString RemoveSpaces(const QString& text) {
  if (text.size() <= 3) return text;
  QString r = text;
  r.remove(QChar(' '));
  return r;
}

void ShowError(const QString& text) { MessageDlg(text, MsgDlgType::Error, mbOK); }
