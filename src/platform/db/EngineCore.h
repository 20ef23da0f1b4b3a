// Inside the table engine: connections, table files, their stored descriptions, statements.
//
// One SQLite connection serves every table file of a folder that is in use: the files are attached
// to it, so every dataset and query on a file goes through the same connection, sees what the
// others stored and never waits on a lock another part of the program holds. A connection takes
// at most SQLite's attach limit (10 here); a folder with more files in use gets a second one, and
// a query whose files sit on different connections has them moved onto one. A file nothing uses
// is detached and closed at once (or at the end of the transaction that wrote it). A transaction
// that wrote several files, on one connection or several, commits them as one (GroupCommit.h).
//
// Each table file keeps, besides its rows table (named after the file's base name), its own
// descriptors in zelm_table / zelm_fields / zelm_indexes, so that they read back exactly as they
// were created.
#pragma once
#include <functional>
#include <QDate>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <cstdint>
#include <algorithm>
#include <map>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/db/Dataset.h"
#include "platform/db/DbiStructure.h"
#include "platform/db/FieldValues.h"

struct sqlite3;
struct sqlite3_stmt;

namespace dbe {

struct IndexMeta {
  IDXDesc desc;                 // as created (op None)
  QString sqlName;              // name of the SQLite index, empty when none
  QStringList companions;       // companion file names (".PX", ".X02", ".Y02")
  bool missing = false;         // a companion file is gone or belongs to another table
};

struct TableMeta {
  QString inner;                // name of the rows table inside the file
  QString stamp;                // identifies this build of the table; written into companions
  TableType type = TableType::Paradox;
  std::vector<FLDDesc> fields;  // iFldNum 1..n
  std::vector<IndexMeta> indexes;
  // How its case-insensitive indexes compare texts: ZNOCASE, or NOCASE in a file built before
  // ZNOCASE existed (its stored indexes are kept, so the order must be theirs).
  QString ciCollation = "ZNOCASE";
  int FieldIndex(const QString& name) const;  // 0-based, ignoring case; -1
};

// The case-insensitive order: texts compared folded to upper case without accents ("é" = "E",
// "Œ" = "OE"), over all of Unicode. Registered as the collation ZNOCASE on every connection the
// program opens; texts that fold the same compare equal, so an index in that order still finds
// "EPICERIE" for "épicerie" and keeps a unique key unique whatever the case.
QString ZFold(const QString& s);
// Every SQLite connection the process opens from now on knows the engine's collations.
void RegisterCollationsEverywhere();
void RegisterCollations(sqlite3* db);
int ZCompare(const QString& a, const QString& b);  // <0, 0, >0

class Conn;

struct TableFile {
  QString path;        // absolute
  QString folderKey;
  Conn* conn = nullptr;
  QString alias;       // schema name on its connection
  int refs = 0;
  bool exclusive = false;
  int lockFd = -1;     // open while attached: advisory lock against other processes
  TableMeta meta;
  uint64_t version = 1;  // grows with every write through the engine
  int32_t counter = 0;   // auto-increment counter (offset 73)
  bool counterDirty = false;
  // The counter was last set past the largest key stored, at this data_version: until the file
  // changes underneath, the keys handed out need no new look.
  bool counterChecked = false;
  int64_t counterCheckedAt = -1;
  bool written = false;  // written in the connection's open transaction
  bool pragmasPending = false;
  bool readOnly = false;  // attached while it could not be written: SQLite keeps it read-only
  int64_t dataVersion = -1;  // SQLite's count of commits by other processes, last seen

  QString Q() const;             // alias."inner", for SQL
  QString Col(int field) const;  // "name" of a field (0-based)
};

// Where a caller keeps the statement it prepared last, so that running it again skips the
// lookup of its text in the connection's cache. Good while the connection's generation is the
// one seen (every finalize of a cached statement starts a new one, unique in the process).
struct StmtSlot {
  uint64_t gen = 0;
  sqlite3_stmt* s = nullptr;
};

// Column i of the row a statement stands on, as a raw storage value: qlonglong, double, QString, null.
QVariant ColumnValue(sqlite3_stmt* s, int i);

// A cached prepared statement, reset when the object goes.
class Stmt {
 public:
  Stmt(Conn* c, const QString& sql);
  Stmt(Conn* c, const QString& sql, StmtSlot* slot);
  ~Stmt();
  Stmt(const Stmt&) = delete;
  Stmt& operator=(const Stmt&) = delete;
  void Bind(int i, const QVariant& v);  // 1-based; storage values
  void BindAll(const QList<QVariant>& vs, int from = 1);
  bool Step();  // true on a row
  int Columns() const;
  QVariant Value(int i) const;  // raw storage value: qlonglong, double, QString, null
  int64_t Int(int i) const;
  QString Text(int i) const;
  bool IsNull(int i) const;
  sqlite3_stmt* Raw() const { return s_; }
  Conn* C() const { return c_; }
 private:
  Conn* c_;
  sqlite3_stmt* s_;
  bool owned_ = false;
};

class Conn {
 public:
  explicit Conn(const QString& folderKey);
  ~Conn();
  sqlite3* db = nullptr;
  QString folderKey;
  int maxAttached = 10;
  std::vector<TableFile*> files;
  bool inTx = false;
  std::unordered_map<QString, sqlite3_stmt*> cache;
  std::unordered_set<sqlite3_stmt*> inUse;  // held by a Stmt now
  // Long statements (a many-row insert) apart: only the last few, which are run again when a
  // save writes the same rows of values (a new week of zeros).
  std::vector<std::pair<QString, sqlite3_stmt*>> longCache;
  uint64_t gen = 0;                         // see StmtSlot
  void NewGen();

  sqlite3_stmt* Prepare(const QString& sql);
  void Exec(const QString& sql);
  [[noreturn]] void Fail(int rc, const QString& what);
  // "\nTable : <file>" for each file of the connection a statement names (empty when none).
  QString TablesNamedIn(const QString& sql) const;
  void DropCached(const QString& alias);
};

// Standard message of an engine result code.
QString StdMessage(int code);
// The French cause of an SQLite result code a table file can meet; empty for the others.
QString FrenchCause(int rc);
[[noreturn]] void Raise(int code, const QString& detail = {});
// "Table : <file>", the line that names the table in an error.
QString TableDetail(const QString& path);

// A text as a string field of `size` characters holds it: up to its first NUL (the field's
// text ends there), every character whole (a lone half of a UTF-16 pair becomes U+FFFD, a cut
// never splits a pair), at most `size` characters when size > 0.
QString FitText(const QString& s, int size);

// Storage: what a field's value becomes in the file and back.
QVariant ToStorage(const FLDDesc& f, const QVariant& v);    // normalised value -> column value
QVariant FromStorage(const FLDDesc& f, const QVariant& v);  // column value -> normalised value
// FromStorage(f, ColumnValue(s, i)), read straight from the statement for the usual values.
QVariant ReadField(const FLDDesc& f, sqlite3_stmt* s, int i);
QString SqlType(const FLDDesc& f);
// ISO dates ("2005-03-07") both ways, without the general (and slow) date format parser.
QString IsoFromDate(const QDate& d);
QDate DateFromIso(const QString& s);  // invalid when the text is not such a date
QString Quote(const QString& identifier);  // "name"
// The arguments after the value of the zfit() call that applies a field's rules to a value
// written through SQL: ", type, subtype, size, 'name')".
QString FitArgs(const FLDDesc& f);
// A value as SQLite stores it, carried into a field exactly: false, with the value and the reason
// in French, when the field cannot hold it as it is. What a rebuild carries and what the checks of
// a table file accept.
bool Carry(const QVariant& raw, const FLDDesc& to, QVariant& out, QString& why);
// Makes zfit() known to a connection.
void RegisterFieldRules(sqlite3* db);
// When SQLite's message is zfit's refusal: its engine code and French text, taken once.
bool TakeFitRefusal(const QString& sqliteMessage, int& code, QString& message);

class Engine {
 public:
  static Engine& Get();

  enum class Mode { Shared, Exclusive, Probe };
  // Attaches the table file (or takes another reference). Probe: shared, without dropping indexes
  // whose companions are gone. Raises EDBEngineError.
  TableFile* Open(const QString& path, Mode mode);
  void Close(TableFile* f);
  TableFile* Find(const QString& path) const;
  // Holds a table file for a structure call: not attached, locked against every other use.
  TableFile* Reserve(const QString& path);
  void Unreserve(TableFile* f);
  bool InUse(const QString& path) const;  // in this process

  // Puts the files on one connection (for a query); returns it. A statement that writes goes
  // where the open transaction's rows are. Never stores part of a transaction: a statement that
  // would need it is refused (DBIERR_FILEBUSY), the transaction intact.
  Conn* Colocate(const std::vector<TableFile*>& files, bool write = false);
  // Before a write inside a transaction: the file joins the connection holding the transaction's
  // rows when it can. Cursors and statements on the file must be prepared after it.
  void Gather(TableFile* f);

  // Writes: BeforeWrite starts the folder's transaction on the connection when one is open;
  // AfterWrite records the change.
  void BeforeWrite(TableFile* f);
  void AfterWrite(TableFile* f);
  // Reads inside a transaction scope share its transaction (one lock for the whole operation).
  void BeforeRead(TableFile* f);

  // Folder transactions.
  // Rows another process stored since the file was last looked at make the cursors read again.
  void CheckOthers(TableFile* f);

  void BeginScope(const QString& folder);
  // Ends a scope. The outermost end commits; when an inner scope rolled back, it rolls back
  // instead and raises DBIERR_ROLLEDBACK (when raise).
  void EndScope(const QString& folder, bool raise);
  // Ends a scope with a rollback: the outermost rolls back now, an inner one dooms the whole
  // transaction to a rollback at the outermost end.
  void RollbackScope(const QString& folder);
  bool InScope(const QString& folderKey) const;

  // Auto-increment counter: the next value for an insert.
  int32_t NextAutoInc(TableFile* f);
  void StoreCounter(TableFile* f, bool raise);

  static QString FolderKey(const QString& folder);
  static QString PathKey(const QString& path);

 private:
  Engine() = default;
  struct Folder {
    std::vector<std::unique_ptr<Conn>> conns;
    int scope = 0;
    bool doomed = false;       // an inner scope rolled back: the outermost end rolls back too
  };
  Folder& FolderOf(const QString& key);
  Conn* ConnWithRoom(Folder& fo, Conn* avoid = nullptr);
  void Attach(TableFile* f, Conn* c);
  void SetPragmas(Conn* c, TableFile* f);
  bool Detach(TableFile* f);  // false when it must wait for the transaction's end
  void Commit(Conn* c, bool raise, bool together = true);
  void CommitFolder(Folder& fo, bool raise);  // every open transaction of the folder
  void AfterCommit(Conn* c);
  // Commits the transactions of several connections as one (see GroupCommit.h); raises when
  // nothing could be stored.
  void CommitTogether(const std::vector<Conn*>& conns);
  // Rolls the connection's transaction back and puts the caches (versions, counters, pending
  // settings and detaches) back in line with the files. False when SQLite refused.
  bool Rollback(Conn* c);
  void RollbackFolder(Folder& fo);  // raises when not everything could be undone
  void LoadMeta(TableFile* f, bool reconcile);
  void Move(TableFile* f, Conn* to);
  // A file attached while it could not be written stays read-only to SQLite for as long as it is
  // attached: before a write, one that can be written again is attached anew.
  void ReattachIfWritable(TableFile* f);
  Conn* WriterOf(const QString& folderKey);  // the connection holding most of a scope's rows
  bool MakeRoom(Conn* c, const std::vector<TableFile*>& keep);  // false when every file must stay
  void DetachUnused();

  std::map<QString, Folder> folders_;
  std::map<QString, std::unique_ptr<TableFile>> files_;  // by path
  uint64_t aliasSeq_ = 0;
};

// A file of a folder by name, ignoring case; empty when none.
QString FindCI(const QString& folder, const QString& name);
// The tables the engine makes in a table file, as "name(columns) options": what follows
// "CREATE TABLE " both when it creates them and in SQLite's stored text of a file it made
// (sqlite_master.sql), so that a file is judged by the very text its creation writes.
const std::vector<std::pair<QString, QString>>& DescriptionTables();  // (name, definition)
QString RowsTableDefinition(const TableMeta& meta);
// What a file holds otherwise than the engine makes it for its own description: its description
// tables, its rows table (columns, their order, types, constraints, defaults, table options) and
// the tables SQLite keeps only when asked (sqlite_sequence), read from SQLite's stored text and
// pragmas. In French, one clause each ("la colonne « PU » manque"); empty when it is as made.
QStringList DefinitionDifferences(Conn* c, const TableFile* f);
// The fields the rows table of a file attached as `alias` really has, in its order (iFldNum its
// position): each typed as the description types the field of its name when its column is of
// that type, else fldUNKNOWN. A description altered beside its table names no field here.
std::vector<FLDDesc> HeldFields(Conn* c, const QString& alias, const TableMeta& description);
// Builds the tables of a new table file on an attached, empty database: descriptions, rows table
// and (when withIndexes) its indexes.
void CreateSchema(Conn* c, const QString& alias, const TableMeta& meta, bool withIndexes);
void CreateIndexes(Conn* c, const QString& alias, const TableMeta& meta);
// Writes the rows of zelm_indexes for every index of meta (the table is empty before).
void StoreIndexDescriptions(Conn* c, const QString& alias, const TableMeta& meta);
// Checks a description for creation; raises DBIERR_INVALIDPARAM with the reason.
void ValidateMeta(const TableMeta& meta);
// SQLite index names and companion names of every index, from their positions.
void NameIndexes(const QString& tablePath, TableMeta& meta);
QString NewStamp();
void SyncFolder(const QString& folder);
// Reads the stored description of a table file through a connection on which it is attached.
TableMeta ReadMeta(Conn* c, const QString& alias);
// The file holds the index as described: unique as described, over all the rows, on the described
// fields in order, in their order and comparison.
bool IndexAsDescribed(Conn* c, const TableFile* f, const IndexMeta& x);
// Companion files of the indexes: names, writing, checking.
QStringList CompanionNames(const QString& tablePath, const TableMeta& meta, int indexPos);
// suffix: written aside under name + suffix, synced (a rebuild's, put in place once the table is).
void WriteCompanions(const QString& tablePath, const TableMeta& meta, const QString& suffix = {});
// Puts in place the companions a killed rebuild wrote aside for the table as it now is; removes
// those of a rebuild that did not replace it. The caller holds the table against rebuilds.
// Returns the companions that could not be put in place.
QStringList CompletePendingCompanions(const QString& tablePath, const TableMeta& meta);
bool CompanionOk(const QString& tablePath, const TableMeta& meta, const IndexMeta& idx);
void RemoveCompanions(const QString& tablePath);
// The table held aside for a structure call, released on every path.
struct Reservation {
  TableFile* f = nullptr;
  explicit Reservation(const QString& path) : f(Engine::Get().Reserve(path)) {}
  ~Reservation() { Engine::Get().Unreserve(f); }
};
// Attaches a table file to a connection under alias, with the engine's journal (scratch: a file
// built aside, without one).
void AttachAs(Conn& c, const QString& path, const QString& alias, bool scratch = false);
// Gives the table new companions around `commit`, the step that makes the file hold the new indexes:
// written aside first (removed again when commit fails), then in place of the old ones. Raises
// when one cannot be put in place.
void ReplaceCompanions(const QString& tablePath, const TableMeta& meta, const std::function<void()>& commit);
// The indexes ("" the primary one) whose companion files of the table's build lie beside it while
// its description lists no such index: taken out of the description, not lost with their files.
QStringList UndescribedCompanionIndexes(const QString& tablePath, const TableMeta& meta);
// Removes what killed rebuilds left in a folder (only those of tablePath, whose lock the caller
// holds, when given).
void SweepRebuilds(const QString& folder, const QString& tablePath = {});
// Locks against other processes (flock on the table file). Returns the fd or -1.
int LockFile(const QString& path, bool exclusive);
void UnlockFile(int fd);
// Counter in the header, written with the file not attached anywhere in this process.
bool ReadCounterRaw(const QString& path, int32_t& value);
void WriteCounterRaw(int fd, int32_t value);  // fd of the file, open for writing
// The counter as the header holds it now, read through the file's lock descriptor.
void ReadCounterFd(TableFile* f);

// A table file of a folder opened for a look or a call; raises EDBEngineError when it is missing
// or cannot be opened.
TableFile* OpenTableFile(const QString& folder, const QString& fileName, Engine::Mode mode);
// fn(file) on the table file opened so, closed however fn ends.
template <class F>
auto WithTableFile(const QString& folder, const QString& fileName, Engine::Mode mode, F fn) {
  TableFile* f = OpenTableFile(folder, fileName, mode);
  try {
    auto r = fn(f);
    Engine::Get().Close(f);
    return r;
  } catch (...) {
    Engine::Get().Close(f);
    throw;
  }
}
// A literal of SQL text: 'it''s'.
QString QuoteLiteral(const QString& text);

}  // namespace dbe

// The dataset field type of a stored field.
TFieldType FieldTypeOf(const FLDDesc& f);
