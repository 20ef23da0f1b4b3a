// The application's tables as creating them takes them, read from the one schema text: for the
// programs and tests that make tables of the program's layout without running the check.
#pragma once
#include <QString>
#include <vector>

#include "platform/db/DbiStructure.h"
#include "schema/Descriptor.h"

// The schema text of every data table, as stored with the program.
QStringList ApplicationDescriptor();
// The table file names of the schema ("CLIENT.DB", ...), in schema order.
QStringList ApplicationTableFiles();

// A block's table as the structure check creates it: every field and index to add.
CRTblDesc CreateDescOf(const TDescBlock& block);
// Every table of the application's schema, in the schema's order.
std::vector<CRTblDesc> ApplicationTableDescs();
// The application's table of that file name, found ignoring case. Raises Exception when the
// schema has no such table.
CRTblDesc ApplicationTableDesc(const QString& fileName);
// The schema's block of that table file name, found ignoring case; null when there is none.
const TDescBlock* ApplicationBlock(const QString& fileName);
// The schema text of that table alone, from its "object Table:" line to its "end": a descriptor
// for a check of that one table. Empty when the schema has no such table.
QStringList ApplicationBlockLines(const QString& fileName);
