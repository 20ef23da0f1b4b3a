// How a table file stands against the schema: one judgement in one wording, on which the
// structure check acts (rebuild or refuse) and the restore acts (take, bring to today's layout,
// or refuse).
#pragma once
#include <QString>
#include <QStringList>
#include <vector>

#include "platform/db/DbiStructure.h"
#include "schema/Descriptor.h"

// Objects named in a box: the first ten, then how many more, so that the box stays on the screen.
QString AtMostTen(const QStringList& items);

// "l'index primaire", "l'index iNom".
QString IndexLabel(const IDXDesc& x);

// A field's type in words ("texte de 40 caractères", "entier", "montant").
QString TypeName(const FLDDesc& f);

// The schema's table file whose rows table is `inner` (by its name); "" when none.
QString SchemaTableNamed(const QString& inner);

// Two indexes are the same when names, tags, keys and flags agree (the maintained flag and the
// expression type apart).
bool SameIndex(const IDXDesc& a, const IDXDesc& b);

// The schema's indexes against a table's: each descriptor index gets its restructure number and
// its operation (modify, add), and the table's indexes the schema does not name are appended as
// drops. True when anything differs.
bool CompareIndexes(std::vector<IDXDesc>& desc, const std::vector<IDXDesc>& table);

// Where the file's rows table is not the one the engine makes for the description the file
// carries, by what SQLite holds, in French; fields out of order are said against the schema's
// order: which of the two, the table's columns or the description's fields, is out of it.
QStringList FileAgainstDescription(const Dbi::TableFileContents& held, const TDescBlock& schema);

// The description's fields against the schema's: the differences that no rebuild can take
// without changing or losing a value, in French; `earlier` when the file is an earlier layout of
// the program's own (fields the schema added since missing, a text field shorter).
QStringList FieldsAgainstSchema(const std::vector<FLDDesc>& file, const std::vector<FLDDesc>& schema, bool* earlier);

// Values the fields cannot hold, in French: "une valeur que son champ ne peut pas contenir :
// Table X.DB, champ F, fiche N : ..."; empty when there is none.
QString ValuesBeyondText(const Dbi::ValuesBeyondFields& values);

struct TableVerdict {
  // Why the file cannot be taken as a table of the schema, as the end of "Le fichier X ...";
  // empty when it can.
  QString refusal;
  // An earlier layout of the program's own: a rebuild brings it to today's.
  bool earlier = false;
};

// A table file of the schema's table `table` judged by what it holds: the table it holds, what
// else, its rows table against its description, its description against the schema, its
// indexes against the schema's. Its keys and values are read apart.
TableVerdict JudgeTableFile(const Dbi::TableFileContents& held, const QString& table);
