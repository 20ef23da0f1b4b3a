#include "platform/sys/Formats.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

TFormatSettings& FormatSettings() {
  static TFormatSettings s;
  return s;
}

Currency Currency::FromDouble(double v) {
  return FromRaw(static_cast<int64_t>(std::llround(v * 10000.0)));
}

static QString Pad2(int v) { return QString::number(v).rightJustified(2, '0'); }

QString DateToStr(const QDate& d) {
  if (!d.isValid()) return QString();
  const QChar sep = FormatSettings().DateSeparator;
  return Pad2(d.day()) + sep + Pad2(d.month()) + sep + QString::number(d.year()).rightJustified(4, '0');
}

QString TimeToStr(const QTime& t) {
  if (!t.isValid()) return QString();
  return Pad2(t.hour()) + FormatSettings().TimeSeparator + Pad2(t.minute());
}

QString DateTimeToStr(const QDateTime& dt) { return DateToStr(dt.date()) + " " + TimeToStr(dt.time()); }

std::optional<QDate> TryStrToDate(const QString& text) {
  const QString s = text.trimmed();
  const QStringList parts = s.split(FormatSettings().DateSeparator);
  if (parts.size() != 3) return std::nullopt;
  bool okD, okM, okY;
  const int d = parts[0].trimmed().toInt(&okD);
  const int m = parts[1].trimmed().toInt(&okM);
  int y = parts[2].trimmed().toInt(&okY);
  if (!okD || !okM || !okY) return std::nullopt;
  if (parts[2].trimmed().size() <= 2) y += (y < 50 ? 2000 : 1900);  // two-digit years
  QDate r(y, m, d);
  if (!r.isValid()) return std::nullopt;
  return r;
}

QDate StrToDate(const QString& s) {
  auto r = TryStrToDate(s);
  if (!r) throw EConvertError("'" + s + "' n'est pas une date correcte");
  return *r;
}

int DayOfWeek(const QDate& d) { return d.dayOfWeek() % 7 + 1; }  // Qt: Monday=1..Sunday=7

QString IntToStr(int64_t v) { return QString::number(v); }

std::optional<int64_t> TryStrToInt(const QString& text) {
  const QString s = text.trimmed();
  if (s.isEmpty()) return std::nullopt;
  bool ok;
  const qlonglong v = s.toLongLong(&ok, 10);
  if (!ok) return std::nullopt;
  return v;
}

int64_t StrToInt(const QString& s) {
  auto r = TryStrToInt(s);
  if (!r) throw EConvertError("'" + s + "' n'est pas une valeur entière correcte");
  return *r;
}

std::optional<double> TryStrToFloat(const QString& text) {
  QString s = text.trimmed();
  if (s.isEmpty()) return std::nullopt;
  const QChar dec = FormatSettings().DecimalSeparator;
  QByteArray b;
  for (QChar c : s) {
    if (c == dec) b += '.';
    else if (c.isDigit() || c == '+' || c == '-' || c == 'e' || c == 'E') b += char(c.unicode());
    else return std::nullopt;
  }
  // from_chars ignores the C locale, which the toolkit sets from the desktop's at start.
  const char* first = b.constData();
  const char* last = first + b.size();
  if (first != last && *first == '+') ++first;
  double v = 0;
  const auto [end, ec] = std::from_chars(first, last, v);
  if (ec != std::errc() || end != last || !std::isfinite(v)) return std::nullopt;
  return v;
}

double StrToFloat(const QString& s) {
  auto r = TryStrToFloat(s);
  if (!r) throw EConvertError("'" + s + "' n'est pas une valeur en virgule flottante correcte");
  return *r;
}

QString FloatToStr(double v) {
  QString s = QString::number(v, 'g', 15);
  if (FormatSettings().DecimalSeparator != '.') s.replace('.', FormatSettings().DecimalSeparator);
  return s;
}

static QString GroupDigits(const QString& intPart, QChar sep) {
  QString out;
  const int n = intPart.size();
  for (int i = 0; i < n; ++i) {
    if (i > 0 && (n - i) % 3 == 0) out += sep;
    out += intPart[i];
  }
  return out;
}

// Fixed-point text of a non-negative value, rounded half up from its 15 significant digits
// (so 2.005 shows as 2.01, as a user who typed 2.005 expects).
static QString FixedDigits(double a, int decimals) {
  char buf[64];
  // d.dddddddddddddde±xx, whatever the C locale says about the decimal point
  const auto res = std::to_chars(buf, buf + sizeof buf - 1, a, std::chars_format::scientific, 14);
  *res.ptr = '\0';
  QString mant = QString::fromLatin1(buf, 16).remove('.');
  const int exp = std::atoi(buf + 17);
  // digits of the integer part and the fraction, from the mantissa
  QString intDigits, fracDigits;
  if (exp >= 0) {
    QString m = mant;
    while (m.size() < exp + 1) m += '0';
    intDigits = m.left(exp + 1);
    fracDigits = m.mid(exp + 1);
  } else {
    intDigits = "0";
    fracDigits = QString(-exp - 1, '0') + mant;
  }
  while (fracDigits.size() <= decimals) fracDigits += '0';
  const bool roundUp = fracDigits[decimals] >= '5';
  QString all = intDigits + fracDigits.left(decimals);
  if (roundUp) {
    int i = all.size() - 1;
    while (i >= 0) {
      if (all[i] == '9') { all[i] = '0'; --i; }
      else { all[i] = QChar(all[i].unicode() + 1); break; }
    }
    if (i < 0) all.prepend('1');
  }
  const int intLen = all.size() - decimals;
  QString ip = all.left(intLen);
  while (ip.size() > 1 && ip.startsWith('0')) ip.remove(0, 1);
  if (decimals == 0) return ip;
  return ip + "." + all.mid(intLen);
}

QString FormatFloat(const QString& picture, double v) {
  // Sections "pos;neg;zero" as usual; only the first two matter here.
  const QStringList sections = picture.split(';');
  QString pic = sections[0];
  bool negSection = false;
  if (v < 0 && sections.size() > 1 && !sections[1].isEmpty()) {
    pic = sections[1];
    negSection = true;
  }
  const int dot = pic.indexOf('.');
  const QString intPic = dot >= 0 ? pic.left(dot) : pic;
  const QString fracPic = dot >= 0 ? pic.mid(dot + 1) : QString();
  int minFrac = 0, maxFrac = 0;
  for (QChar c : fracPic) {
    if (c == '0') { ++maxFrac; minFrac = maxFrac; }
    else if (c == '#') ++maxFrac;
  }
  int minInt = 0;
  bool grouping = false;
  QChar groupSep = FormatSettings().ThousandSeparator;
  bool sawDigit = false;
  for (QChar c : intPic) {
    if (c == '0') { ++minInt; sawDigit = true; }
    else if (c == '#') sawDigit = true;
    else if (c == ',' ) grouping = true;
    else if (c == ' ' && sawDigit) { grouping = true; groupSep = ' '; }
  }
  QString digits = FixedDigits(std::fabs(v), maxFrac);
  QString ip = digits, fp;
  const int p = digits.indexOf('.');
  if (p >= 0) { ip = digits.left(p); fp = digits.mid(p + 1); }
  while (fp.size() > minFrac && fp.endsWith('0')) fp.chop(1);
  if (ip == "0" && minInt == 0) ip.clear();
  while (ip.size() < minInt) ip.prepend('0');
  if (grouping) ip = GroupDigits(ip, groupSep);
  QString out = ip;
  if (!fp.isEmpty()) out += FormatSettings().DecimalSeparator + fp;
  const bool isZero = digits.toDouble() == 0.0;
  if (v < 0 && !negSection && !isZero) out.prepend('-');
  // Literal text before the first and after the last placeholder is kept.
  int first = -1, last = -1;
  for (int i = 0; i < pic.size(); ++i)
    if (pic[i] == '0' || pic[i] == '#') { if (first < 0) first = i; last = i; }
  if (first > 0) {
    QString prefix = pic.left(first);
    prefix.remove('"');
    out.prepend(prefix);
  }
  if (last >= 0 && last + 1 < pic.size()) {
    QString suffix = pic.mid(last + 1);
    suffix.remove('"');
    out += suffix;
  }
  return out;
}

QString CurrToStrF(Currency c, int decimals) {
  const bool neg = c.Raw() < 0;
  const int64_t a = neg ? -c.Raw() : c.Raw();
  // Round half away from zero at the wanted decimals.
  int64_t div = 1;
  for (int i = decimals; i < 4; ++i) div *= 10;
  const int64_t scaled = (a + div / 2) / div;  // value * 10^decimals
  int64_t pow10 = 1;
  for (int i = 0; i < decimals; ++i) pow10 *= 10;
  QString ip = GroupDigits(QString::number(scaled / pow10), FormatSettings().ThousandSeparator);
  QString out = ip;
  if (decimals > 0)
    out += FormatSettings().DecimalSeparator + QString::number(scaled % pow10).rightJustified(decimals, '0');
  if (neg && scaled != 0) out.prepend('-');
  return out;
}

QString FormatCurr(Currency c) {
  const auto& fs = FormatSettings();
  QString body = CurrToStrF(c < Currency() ? -c : c, fs.CurrencyDecimals);
  if (c < Currency() && body != CurrToStrF(Currency(), fs.CurrencyDecimals))
    return "-" + body + " " + fs.CurrencyString;  // format 8: minus, number, blank, currency
  return body + fs.CurrencyString;                // positive format 1: number then currency string
}
