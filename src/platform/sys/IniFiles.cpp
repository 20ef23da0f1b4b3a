#include "platform/sys/IniFiles.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

struct TIniFile::Doc {
  QStringList lines;
  QString eol = "\n";
  bool latin1 = false;
  bool endsWithEol = true;
};

namespace {

bool SameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

// Section name of a header line, or a null string.
QString HeaderName(const QString& line) {
  const QString t = line.trimmed();
  if (!t.startsWith('[')) return QString();
  const int close = t.indexOf(']');
  if (close < 0) return QString();
  return t.mid(1, close - 1).trimmed();
}

bool IsComment(const QString& t) { return t.startsWith(';') || t.startsWith('#'); }

// Key of a "key=value" line, or a null string.
QString KeyOf(const QString& line) {
  const QString t = line.trimmed();
  if (t.isEmpty() || IsComment(t) || t.startsWith('[')) return QString();
  const int eq = t.indexOf('=');
  if (eq < 0) return QString();
  return t.left(eq).trimmed();
}

QString ValueOf(const QString& line) {
  QString v = line.mid(line.indexOf('=') + 1).trimmed();
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    v = v.mid(1, v.size() - 2);
  return v;
}

// [first line after the header, end) of a section; first = -1 when missing.
std::pair<int, int> SectionRange(const QStringList& lines, const QString& section) {
  for (int i = 0; i < lines.size(); ++i) {
    const QString h = HeaderName(lines[i]);
    if (!h.isNull() && SameName(h, section)) {
      int j = i + 1;
      while (j < lines.size() && HeaderName(lines[j]).isNull()) ++j;
      return {i + 1, j};
    }
  }
  return {-1, -1};
}

int FindKey(const QStringList& lines, std::pair<int, int> r, const QString& ident) {
  for (int i = r.first; i >= 0 && i < r.second; ++i)
    if (SameName(KeyOf(lines[i]), ident)) return i;
  return -1;
}

}  // namespace

TIniFile::TIniFile(const QString& fileName) : fileName_(fileName) {}

TIniFile::Doc TIniFile::Load() const {
  Doc d;
  QFile f(fileName_);
  if (!f.open(QIODevice::ReadOnly)) return d;
  const QByteArray raw = f.readAll();
  QStringDecoder utf8(QStringDecoder::Utf8);
  QString text = utf8.decode(raw);
  if (utf8.hasError()) {
    text = QString::fromLatin1(raw);
    d.latin1 = true;
  }
  if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
  if (text.contains("\r\n")) d.eol = "\r\n";
  text.replace("\r\n", "\n");
  d.endsWithEol = text.isEmpty() || text.endsWith('\n');
  if (text.endsWith('\n')) text.chop(1);
  if (!text.isEmpty()) d.lines = text.split('\n');
  return d;
}

void TIniFile::Save(const Doc& d) {
  QString text = d.lines.join(d.eol);
  if (!d.lines.isEmpty() && d.endsWithEol) text += d.eol;
  const QByteArray out = d.latin1 ? text.toLatin1() : text.toUtf8();
  QSaveFile f(fileName_);
  if (!f.open(QIODevice::WriteOnly) || f.write(out) != out.size() || !f.commit())
    throw EIniFileException("Impossible d'écrire dans " + fileName_);
}

QString TIniFile::ReadString(const QString& section, const QString& ident, const QString& def) const {
  const Doc d = Load();
  const int i = FindKey(d.lines, SectionRange(d.lines, section), ident);
  return i < 0 ? def : ValueOf(d.lines[i]);
}

int TIniFile::ReadInteger(const QString& section, const QString& ident, int def) const {
  bool ok = false;
  const int v = ReadString(section, ident, QString()).trimmed().toInt(&ok, 10);
  return ok ? v : def;
}

void TIniFile::WriteString(const QString& section, const QString& ident, const QString& value) {
  Doc d = Load();
  auto r = SectionRange(d.lines, section);
  const QString line = ident + "=" + value;
  if (r.first < 0) {
    d.lines << "[" + section + "]" << line;
  } else if (int i = FindKey(d.lines, r, ident); i >= 0) {
    d.lines[i] = KeyOf(d.lines[i]) + "=" + value;
  } else {
    int at = r.second;  // after the last non-blank line of the section
    while (at > r.first && d.lines[at - 1].trimmed().isEmpty()) --at;
    d.lines.insert(at, line);
  }
  d.endsWithEol = true;
  Save(d);
}

void TIniFile::WriteInteger(const QString& section, const QString& ident, int value) {
  WriteString(section, ident, QString::number(value));
}

void TIniFile::WriteBool(const QString& section, const QString& ident, bool value) {
  WriteString(section, ident, value ? "1" : "0");
}

bool TIniFile::SectionExists(const QString& section) const {
  return SectionRange(Load().lines, section).first >= 0;
}

bool TIniFile::ValueExists(const QString& section, const QString& ident) const {
  const Doc d = Load();
  return FindKey(d.lines, SectionRange(d.lines, section), ident) >= 0;
}

QStringList TIniFile::ReadSection(const QString& section) const {
  const Doc d = Load();
  QStringList out;
  const auto r = SectionRange(d.lines, section);
  for (int i = r.first; i >= 0 && i < r.second; ++i)
    if (const QString k = KeyOf(d.lines[i]); !k.isEmpty()) out << k;
  return out;
}

QStringList TIniFile::ReadSections() const {
  QStringList out;
  for (const QString& l : Load().lines)
    if (const QString h = HeaderName(l); !h.isNull()) out << h;
  return out;
}

void TIniFile::EraseSection(const QString& section) {
  Doc d = Load();
  const auto r = SectionRange(d.lines, section);
  if (r.first < 0) return;
  d.lines.erase(d.lines.begin() + (r.first - 1), d.lines.begin() + r.second);
  Save(d);
}

void TIniFile::DeleteKey(const QString& section, const QString& ident) {
  Doc d = Load();
  const int i = FindKey(d.lines, SectionRange(d.lines, section), ident);
  if (i < 0) return;
  d.lines.removeAt(i);
  Save(d);
}

void TIniFile::EnsureSection(const QString& section) {
  Doc d = Load();
  if (SectionRange(d.lines, section).first >= 0) return;
  d.lines << "[" + section + "]";
  d.endsWithEol = true;
  Save(d);
}
