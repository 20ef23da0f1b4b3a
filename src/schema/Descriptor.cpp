#include "schema/Descriptor.h"

#include "schema/WordUtils.h"

namespace {

const QString kKeywordDelims = QStringLiteral(" \t(");
const QString kBlank = QStringLiteral(" \t");

// Values stand between "(" and ")", separated by ";". A line without ")" runs to its end.
QStringList Values(const QString& line) {
  const int open = line.indexOf('(');
  if (open < 0) return {};
  int close = line.indexOf(')', open + 1);
  if (close < 0) close = line.size();
  return line.mid(open + 1, close - open - 1).split(';');
}

QString Text(const QStringList& v, int pos) {
  return pos <= v.size() ? v[pos - 1].trimmed() : QString();
}

int Number(const QStringList& v, int pos, int def) {
  bool ok = false;
  const int n = Text(v, pos).toInt(&ok, 10);
  return ok ? n : def;
}

bool Flag(const QStringList& v, int pos) { return (Number(v, pos, 0) & 0xFF) != 0; }

}  // namespace

QString DescKeyword(const QString& line) { return WordAt(1, line, kKeywordDelims).toUpper(); }

TableType TableTypeOf(const QString& fileName) {
  const int dot = fileName.lastIndexOf('.');
  const QString ext = dot < 0 ? QString() : fileName.mid(dot).toUpper();
  if (ext == ".DBF") return TableType::DBase;
  if (ext == ".DB") return TableType::Paradox;
  return TableType::Default;
}

FLDDesc ParseFieldLine(const QString& line, int number) {
  const QStringList v = Values(line);
  FLDDesc f;
  f.iFldNum = static_cast<uint16_t>(number);
  f.szName = Text(v, 1).left(31);
  f.iFldType = static_cast<uint16_t>(Number(v, 3, fldUNKNOWN));
  f.iSubType = static_cast<uint16_t>(Number(v, 4, fldstNONE));
  f.iUnits1 = static_cast<int16_t>(Number(v, 5, 1));
  f.iUnits2 = static_cast<int16_t>(Number(v, 6, 0));
  f.op = CrtOp::None;
  return f;
}

IDXDesc ParseIndexLine(const QString& line, int number) {
  const QStringList v = Values(line);
  IDXDesc x;
  x.iIndexId = static_cast<uint16_t>(number);
  x.szName = Text(v, 1);
  x.szTagName = Text(v, 2);
  x.iFldsInKey = static_cast<uint16_t>(Number(v, 3, 0));
  for (const QString& k : Text(v, 4).split(',', Qt::SkipEmptyParts)) {
    bool ok = false;
    const int n = k.trimmed().toInt(&ok, 10);
    if (ok && n > 0 && x.aiKeyFld.size() < 16) x.aiKeyFld.push_back(static_cast<uint16_t>(n));
  }
  x.bPrimary = Flag(v, 5);
  x.bUnique = Flag(v, 6);
  x.bDescending = Flag(v, 7);
  x.bMaintained = Flag(v, 8);
  x.bCaseInsensitive = Flag(v, 9);
  x.bExpIdx = Flag(v, 10);
  x.bSubset = Flag(v, 11);
  if (v.size() >= 12) x.szTagName = Text(v, 12);
  x.szFormat = Text(v, 13);
  x.iKeyExpType = static_cast<uint16_t>(Number(v, 14, 0));
  x.szKeyExp = Text(v, 15);
  x.szKeyCond = Text(v, 16);
  x.op = CrtOp::None;
  return x;
}

TDescBlock ParseBlock(const QStringList& lines, int& line) {
  TDescBlock b;
  b.firstLine = line;
  b.fileName = WordAt(3, lines.value(line), kBlank);
  b.type = TableTypeOf(b.fileName);
  while (line + 1 < lines.size()) {
    const QString& next = lines[line + 1];
    const QString kw = DescKeyword(next);
    if (kw == "OBJECT") break;  // a block left open ends where the next one starts
    ++line;
    if (kw == "FIELD") {
      b.fields.push_back(ParseFieldLine(next, static_cast<int>(b.fields.size()) + 1));
    } else if (kw == "INDEX") {
      b.indexes.push_back(ParseIndexLine(next, static_cast<int>(b.indexes.size()) + 1));
    } else if (kw == "END") {
      break;
    }
  }
  b.lastLine = line;
  return b;
}

std::vector<TDescBlock> DescriptorBlocks(const QStringList& lines) {
  std::vector<TDescBlock> blocks;
  for (int l = 0; l < lines.size(); ++l)
    if (DescKeyword(lines[l]) == "OBJECT") blocks.push_back(ParseBlock(lines, l));
  return blocks;
}

QStringList DescriptorTables(const QStringList& lines) {
  QStringList names;
  for (const QString& l : lines) {
    if (DescKeyword(l) != "OBJECT") continue;
    const QString name = WordAt(3, l, kBlank);
    if (!name.isEmpty()) names << name;
  }
  return names;
}
