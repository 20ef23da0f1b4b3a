// The engine's structure calls: probe, read descriptors, create, restructure, pack.
// Field and index descriptors carry the values the schema text gives, and read back exactly
// as they were created.
#pragma once
#include <QString>
#include <QStringList>
#include <cstdint>
#include <future>
#include <utility>
#include <vector>

#include "platform/sys/Errors.h"

// Engine result codes.
enum DBIResult : int {
  DBIERR_NONE = 0,
  DBIERR_EOF = 8706,            // end of data
  DBIERR_KEYVIOL = 9729,        // key violation
  DBIERR_NOSUCHTABLE = 10024,   // the table does not exist
  DBIERR_FILEBUSY = 10243,      // file busy / in use
  DBIERR_LOCKED = 10241,        // record or table locked
  DBIERR_NOTABLE = 11272,       // not a table file (unknown or damaged format)
  DBIERR_INDEXOUTOFDATE = 12034,// an index is out of date
  DBIERR_INVALIDPARAM = 10498,  // invalid parameter
  DBIERR_NOSUCHFIELD = 10030,   // field not found (reading or writing a field by name)
  DBIERR_RESTRUCTFAIL = 10261,  // a restructure could not carry its rows
  DBIERR_OUTOFRANGE = 10246,    // a value out of range for its field
  DBIERR_KEYDELETED = 8708,     // the record was deleted meanwhile
  DBIERR_BOF = 8705,            // beginning of data
  DBIERR_NOSUCHINDEX = 10022,   // no index of that name or on those fields
  DBIERR_READONLY = 10763,      // the table is read only (file attributes or ReadOnly)
  DBIERR_NOTINEDIT = 10501,     // the dataset is not in edit or insert mode
  DBIERR_SQLERROR = 13059,      // an SQL statement failed (text, table or column)
  DBIERR_OSERROR = 11010,       // the file system refused an operation (disk full, rights)
  DBIERR_TABLEEXISTS = 13060,   // creating a table that exists, without overwriting
  DBIERR_ROLLEDBACK = 13061,    // the transaction was rolled back: none of its rows are stored
};

// Raised by every failing engine call.
class EDBEngineError : public Exception {
 public:
  EDBEngineError(int code, const QString& msg) : Exception(msg), code_(code) {}
  explicit EDBEngineError(int code);  // with the engine's standard text for the code
  int ErrorCode() const { return code_; }
 private:
  int code_;
};

// Logical field types and subtypes, as the schema numbers them.
enum FieldType : uint16_t {
  fldUNKNOWN = 0, fldZSTRING = 1, fldDATE = 2, fldBOOL = 4, fldINT16 = 5, fldINT32 = 6, fldFLOAT = 7
};
enum FieldSubType : uint16_t { fldstNONE = 0, fldstMONEY = 21, fldstAUTOINC = 29 };

enum class CrtOp { None, Add, Modify, Drop };

struct FLDDesc {
  uint16_t iFldNum = 0;   // position in the table, 1-based; 0 for a field to add
  QString szName;         // at most 31 characters
  uint16_t iFldType = fldUNKNOWN;
  uint16_t iSubType = fldstNONE;
  int16_t iUnits1 = 1;    // length of a string field
  int16_t iUnits2 = 0;    // decimal places
  bool bReadOnly = false;
  CrtOp op = CrtOp::None; // restructure operation (create and restructure only)
};

struct IDXDesc {
  QString szName;         // empty for the primary index
  QString szTagName;
  uint16_t iIndexId = 0;  // position in the table, 1-based (read); restructure number (write)
  uint16_t iFldsInKey = 0;
  std::vector<uint16_t> aiKeyFld;  // field numbers, 1-based, at most 16
  bool bPrimary = false;
  bool bUnique = false;
  bool bDescending = false;
  bool bMaintained = true;
  bool bCaseInsensitive = false;
  bool bExpIdx = false;
  bool bSubset = false;
  bool bOutOfDate = false;
  QString szFormat;
  uint16_t iKeyExpType = 0;
  QString szKeyExp;
  QString szKeyCond;
  CrtOp op = CrtOp::None;
};

enum class TableType { Paradox, DBase, Default };

struct CURProps {
  QString szName;        // table file name as opened
  TableType eType = TableType::Paradox;
  uint16_t iFields = 0;
  uint16_t iIndexes = 0;
  int64_t iRecords = 0;
};

struct CRTblDesc {
  QString szTblName;     // file name, with or without ".DB"
  TableType eType = TableType::Paradox;
  bool bPack = false;
  std::vector<FLDDesc> fields;
  std::vector<IDXDesc> indexes;
};

// A field and an index as a new table, or a restructure adding them, describes them.
inline FLDDesc FieldToAdd(const QString& name, uint16_t type, int16_t units1 = 1, uint16_t sub = fldstNONE) {
  FLDDesc f;
  f.szName = name;
  f.iFldType = type;
  f.iSubType = sub;
  f.iUnits1 = units1;
  f.op = CrtOp::Add;
  return f;
}

inline IDXDesc IndexToAdd(const QString& name, std::vector<uint16_t> keys, bool primary, bool caseInsensitive) {
  IDXDesc x;
  x.szName = name;
  x.aiKeyFld = std::move(keys);
  x.iFldsInKey = uint16_t(x.aiKeyFld.size());
  x.bPrimary = x.bUnique = primary;
  x.bCaseInsensitive = caseInsensitive;
  x.op = CrtOp::Add;
  return x;
}

namespace Dbi {
// Result code of opening the table shared (or exclusive) and closing it again.
int ProbeTable(const QString& folder, const QString& fileName, bool exclusive);
// What a table file holds, read without changing it.
struct TableFileContents {
  // Objects besides the table and the engine's own (triggers, views, other tables, SQLite's own
  // among them, indexes no description gives), in French: "le déclencheur « zz »".
  QStringList foreign;
  // Where the file's own tables are not what the engine makes for the description it holds (a
  // column renamed or added by another tool, a CHECK, a default, WITHOUT ROWID...), in French:
  // "la colonne « PU » manque". Judged by SQLite's stored text, not by that description.
  QStringList differences;
  // The described indexes; bOutOfDate when the file lacks the index or holds another one under
  // its name (not unique, partial, other fields or order).
  std::vector<IDXDesc> indexes;
  std::vector<FLDDesc> fields;  // as the description gives them
  bool rowsTable = true;  // the rows table is there, and a table
  // The rows table checks the types of its values (STRICT); one made before the program wrote
  // STRICT tables is otherwise as made, and `differences` does not count it.
  bool strict = true;
  QString path, rowsTableName;
  std::vector<QString> sqlNames;        // per index: its SQLite index
  std::vector<QStringList> keyColumns;  // per index: the names of its key's fields
  QStringList heldColumns;  // the rows table's columns, in its order
  // The fields of each unique key the file holds that its description does not give (a
  // description of indexes emptied by another tool).
  std::vector<QStringList> undescribedKeys;
};
// Said among `differences` when the rows table's columns and the description's fields come in
// another order.
inline const char* const kColumnsOutOfOrder = "les colonnes ne sont pas dans l'ordre que le programme leur donne";
// True when the file holds the engine's description of a table but no field in it (another tool
// emptied it): the table cannot be opened, for want of its description.
bool DescriptionWithoutFields(const QString& folder, const QString& fileName);
// The values of a table file's rows that their fields cannot hold, judged as a rebuild carries
// them (dbe::Carry). Each field goes with the column of its name, ignoring case; a column no field
// names is not read.
struct ValuesBeyondFields {
  bool read = true;     // false when the rows could not be read this way (WITHOUT ROWID...)
  int64_t count = 0;    // every value refused
  QStringList named;    // the first ten by row: "Table X.DB, champ F, fiche N : <value and reason>"
};
// Reads every row on connections of its own, in parts at once: safe on another thread while the
// engine works, but no write to the file may wait on it. The file is found on the calling thread.
std::future<ValuesBeyondFields> StartValuesCheck(const QString& folder, const QString& fileName,
                                                 const std::vector<FLDDesc>& fields);
TableFileContents ReadTableFileContents(const QString& folder, const QString& fileName);
// Drops every object of TableFileContents::foreign. Returns the result code.
int RemoveForeignObjects(const QString& folder, const QString& fileName);
// The indexes ("" the primary one) whose index files, made with the table as it is, are beside it
// while its description no longer lists them (taken out of it by another tool).
QStringList UndescribedIndexes(const QString& folder, const QString& fileName);
// How many key values more than one row holds under the key of `key` (its fields, its case rule),
// read from the rows themselves or from an index shown to hold each row once; 0 when the table
// lacks a key field (its rows hold none).
int64_t DuplicateKeys(const QString& folder, const QString& fileName, const IDXDesc& key);
// The same, read from the file's index `sqlName` in key order (values compared as stored, so for
// a case-sensitive key only) on connections of its own: safe on another thread while the engine
// works. The index is trusted only when it holds as many entries as the table holds rows (a file
// altered behind SQLite's back may call an index unique over rows it does not cover).
// -1 when the file cannot be read, kIndexNotWhole when the index does not hold every row once.
constexpr int64_t kIndexNotWhole = -2;
int64_t RepeatedKeysInIndex(const QString& path, const QString& table, const QString& sqlName,
                            const QStringList& columns);
// Descriptors of an existing table; raise EDBEngineError when the table cannot be read. The fields
// are those its rows table really has, in its order, typed as its description types them where
// the two agree, else fldUNKNOWN (see HeldFields). An index
// reads as out of date when the file does not hold it as described, or, for a unique one, when
// it holds a key twice or does not cover every row (read from the index and the rows).
CURProps GetCursorProps(const QString& folder, const QString& fileName);
std::vector<FLDDesc> GetFieldDescs(const QString& folder, const QString& fileName);
std::vector<IDXDesc> GetIndexDescs(const QString& folder, const QString& fileName);
// Creates the table (every field and index with operation Add), overwriting a file of that name.
// Returns the result code.
int CreateTable(const QString& folder, const CRTblDesc& desc, bool overwrite = true);
// Restructures a table keeping its rows: fields with op None/Modify carry the data of table field
// iFldNum (numbered as GetFieldDescs gives them: the columns the rows table really has), Add
// fields start empty; table fields not listed are removed; indexes with op Drop are removed
// (iIndexId = their position), Modify ones replace the index at iIndexId, Add ones are built.
// Each value is carried as SQLite stores it, exactly: one the new field cannot hold as it is
// (out of range, a fraction into a whole number, a text into a number) fails the restructure,
// naming the table, field, row and value, and the table stays as it was. Builds the new file
// aside (only what the engine makes, with the file's permissions) and swaps it in only when
// every row was carried over. Returns the result code.
int DoRestructure(const QString& folder, const CRTblDesc& desc);
// Builds the table's indexes again in its file as it stands, its rows and columns untouched: the
// given ones (key fields numbered in `fields`, found by name in the table's description) replace
// those of the same name (or the primary one), the others stay. For a table whose rebuild was
// refused. Whole or not at all, the companion files included. Returns the result code, and in
// `why` the reason of a failure.
int BuildIndexes(const QString& folder, const QString& fileName, const std::vector<FLDDesc>& fields,
                 const std::vector<IDXDesc>& indexes, QString& why);
// A table file of the engine's whose description of its fields is missing or empty, or whose list
// of indexes is missing, while its rows table is there: describes again the columns of the rows
// table that `fields` name, typed as there, in the rows table's order, its rows untouched; its
// described indexes keep the fields of their SQLite index (a missing list starts empty). DBIERR_NONE when done; DBIERR_NOTABLE when the file is not such a table
// (nothing done); another code, with `why`, when it could not be written.
int RestoreDescription(const QString& folder, const QString& fileName, const std::vector<FLDDesc>& fields,
                            QString& why);
// Packs the table (reclaims the space of deleted rows), keeping the auto-increment counter.
int PackTable(const QString& folder, const QString& fileName);
// The full text (standard message and reason) of the last failure of CreateTable, DoRestructure or
// PackTable, for the error reported to the user; empty after a success.
QString LastErrorText();
// The columns the last successful DoRestructure removed while they held values, with how many
// rows held one, in the table's order.
std::vector<std::pair<QString, int64_t>> LastRemovedColumns();
// The stored auto-increment counter: signed 32-bit little-endian at byte offset 73 of the file.
constexpr int kAutoIncOffset = 73;
// Reads and writes that counter safely also while the engine has the table open (never open and
// close the table file yourself while it is in use: that would drop the engine's locks on it).
// Read returns false when the file cannot be read; Write raises EDBEngineError (DBIERR_FILEBUSY
// when the table is in use elsewhere).
bool ReadAutoIncCounter(const QString& folder, const QString& fileName, int32_t& value);
void WriteAutoIncCounter(const QString& folder, const QString& fileName, int32_t value);
// Deletes, in the table's folder, every file named as the table with any extension except ".DB",
// ".DBF" and ".MB" (the memo file), and never the engine's own journal ("-journal"); stops after
// the first file that cannot be deleted. Returns the number of files deleted.
int DeleteTableAuxFiles(const QString& folder, const QString& fileName);
// True while the table is open in this program or locked by another one.
bool IsTableInUse(const QString& folder, const QString& fileName);
// The table file of a name in a folder, found ignoring case, with or without ".DB"; empty when
// there is none.
QString FindTableFile(const QString& folder, const QString& fileName);
}  // namespace Dbi
