// The schema text: one block per table ("object Table: NAME", field and index lines, "end").
#pragma once
#include <QString>
#include <QStringList>
#include <vector>

#include "platform/db/DbiStructure.h"

// One table block as read from the text.
struct TDescBlock {
  QString fileName;               // third blank-separated word of the "object" line
  TableType type = TableType::Default;
  std::vector<FLDDesc> fields;    // numbered 1, 2, ... in the order of their lines
  std::vector<IDXDesc> indexes;   // iIndexId numbered 1, 2, ... in the order of their lines
  int firstLine = 0, lastLine = 0;  // its "object" line and its "end" line in the text
};

// First word of a line (delimiters blank and "("), in upper case: "OBJECT", "FIELD", ...
QString DescKeyword(const QString& line);
// The table type an extension gives: ".DB" Paradox, ".DBF" dBASE, anything else the default.
TableType TableTypeOf(const QString& fileName);

// One "field(...)" or "index(...)" line, values filled by position, defaults for empty ones.
FLDDesc ParseFieldLine(const QString& line, int number);
IDXDesc ParseIndexLine(const QString& line, int number);

// Reads the block whose "object" line is lines[line]. Leaves `line` on the block's "end" line,
// or on the last line before the next "object" line or the end of the text when "end" is missing.
TDescBlock ParseBlock(const QStringList& lines, int& line);

// The table file names of every block, in order.
QStringList DescriptorTables(const QStringList& lines);
// Every block of the text, in order.
std::vector<TDescBlock> DescriptorBlocks(const QStringList& lines);
