// Process-wide text formats for dates, times, numbers and money.
// Our own code on purpose: a French (or any) system locale must not change stored or shown data.
#pragma once
#include <QDate>
#include <QDateTime>
#include <QString>
#include <cstdint>
#include <optional>


struct TFormatSettings {
  QChar DateSeparator = '/';
  QString ShortDateFormat = "DD/MM/YYYY";
  QChar TimeSeparator = ':';
  QString ShortTimeFormat = "HH:MM";
  QChar DecimalSeparator = '.';
  QChar ThousandSeparator = ' ';
  QString CurrencyString = " ";
  int CurrencyDecimals = 2;
  int NegCurrFormat = 8;  // minus, number, blank, currency string
};

// The formats of the whole process, fixed at start.
TFormatSettings& FormatSettings();

// Money: fixed point with four decimals, as the engine keeps it in memory.
class Currency {
 public:
  constexpr Currency() = default;
  static constexpr Currency FromRaw(int64_t raw) { Currency c; c.raw_ = raw; return c; }
  static Currency FromDouble(double v);
  double ToDouble() const { return double(raw_) / 10000.0; }
  int64_t Raw() const { return raw_; }
  Currency operator+(Currency o) const { return FromRaw(raw_ + o.raw_); }
  Currency operator-(Currency o) const { return FromRaw(raw_ - o.raw_); }
  Currency operator-() const { return FromRaw(-raw_); }
  Currency& operator+=(Currency o) { raw_ += o.raw_; return *this; }
  Currency& operator-=(Currency o) { raw_ -= o.raw_; return *this; }
  Currency operator*(int64_t n) const { return FromRaw(raw_ * n); }
  Currency operator*(double f) const { return FromDouble(ToDouble() * f); }
  auto operator<=>(const Currency&) const = default;
 private:
  int64_t raw_ = 0;
};

// Dates as "DD/MM/YYYY" and back. StrToDate throws EConvertError on a bad text.
QString DateToStr(const QDate& d);
QString TimeToStr(const QTime& t);             // "HH:MM"
QString DateTimeToStr(const QDateTime& dt);    // "DD/MM/YYYY HH:MM"
QDate StrToDate(const QString& s);
std::optional<QDate> TryStrToDate(const QString& s);
// Day of week as the program counts it: 1 = Sunday .. 7 = Saturday.
int DayOfWeek(const QDate& d);

// Numbers. Text is read with "." as the decimal separator, blanks around ignored.
QString IntToStr(int64_t v);
int64_t StrToInt(const QString& s);  // throws EConvertError
std::optional<int64_t> TryStrToInt(const QString& s);
double StrToFloat(const QString& s);  // throws EConvertError
std::optional<double> TryStrToFloat(const QString& s);
QString FloatToStr(double v);  // shortest text, "." decimal, no grouping

// FormatFloat with the usual picture syntax: "0" digit, "#" optional digit, "." decimal point,
// "," grouping by thousands, and a literal blank that groups in pictures such as "### ##0".
QString FormatFloat(const QString& picture, double v);
// Money shown with the process formats: grouping, two decimals, currency string, minus first.
QString CurrToStrF(Currency c, int decimals = 2);  // "1 234.50" (no currency string)
QString FormatCurr(Currency c);                    // with the currency string per the format

// Conversion failure of a text to a number or a date.
#include "platform/sys/Errors.h"
