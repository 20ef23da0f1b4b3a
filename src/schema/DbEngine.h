// Routines on the table engine that serve the structure check and the maintenance.
#pragma once
#include <QString>
#include <cstdint>
#include <future>
#include <optional>
#include <vector>

#include "platform/db/DbiStructure.h"
#include "schema/Descriptor.h"

// The engine's structure calls as the check makes them. The check goes through this interface so
// that it can run on another engine (tests); DefaultEngineCalls() is the program's table engine.
class DbEngineCalls {
 public:
  virtual ~DbEngineCalls() = default;
  virtual int ProbeTable(const QString& folder, const QString& fileName, bool exclusive) = 0;
  virtual CURProps GetCursorProps(const QString& folder, const QString& fileName) = 0;
  virtual std::vector<FLDDesc> GetFieldDescs(const QString& folder, const QString& fileName) = 0;
  virtual std::vector<IDXDesc> GetIndexDescs(const QString& folder, const QString& fileName) = 0;
  virtual int CreateTable(const QString& folder, const CRTblDesc& desc) = 0;
  virtual int DoRestructure(const QString& folder, const CRTblDesc& desc) = 0;
  // The highest value stored in an integer field; nothing for an empty table.
  virtual std::optional<int64_t> HighestValue(const QString& folder, const QString& fileName,
                                              const QString& fieldName) = 0;
  // The table's stored auto-increment counter. Read: false when the file cannot be read.
  // Write: raises EDBEngineError (DBIERR_FILEBUSY when the table is in use elsewhere).
  virtual bool ReadAutoIncCounter(const QString& folder, const QString& fileName, int32_t& value) = 0;
  virtual void WriteAutoIncCounter(const QString& folder, const QString& fileName, int32_t value) = 0;
  // Reads every page of the table's file without changing it: empty when the file is sound,
  // else what is wrong with it (in French).
  virtual QString CheckIntegrity(const QString& folder, const QString& fileName) {
    (void)folder;
    (void)fileName;
    return {};
  }
  // The objects the table's file holds that are neither the table nor the engine's own
  // (triggers, views, other tables, indexes), in French; and their removal (result code).
  virtual QStringList ForeignObjects(const QString& folder, const QString& fileName) {
    (void)folder;
    (void)fileName;
    return {};
  }
  virtual int RemoveForeignObjects(const QString& folder, const QString& fileName) {
    (void)folder;
    (void)fileName;
    return DBIERR_NONE;
  }
  // Where the table's file holds its tables otherwise than the engine makes them for the fields
  // it describes (a column renamed or added behind the engine's back, a CHECK, WITHOUT ROWID...),
  // judged by what the file really holds, in French; empty when it holds them as made.
  // Fields out of order are said against the schema's table `schema`.
  virtual QStringList StructureDifferences(const QString& folder, const QString& fileName, const TDescBlock& schema) {
    (void)folder;
    (void)fileName;
    (void)schema;
    return {};
  }
  // Starts reading every value of the table's rows against the fields of the same names: those
  // they cannot hold as a rebuild carries them. Nothing may write to the file until it is read.
  virtual std::future<Dbi::ValuesBeyondFields> StartValuesCheck(const QString& folder, const QString& fileName,
                                                                const std::vector<FLDDesc>& fields) {
    (void)folder;
    (void)fileName;
    (void)fields;
    std::promise<Dbi::ValuesBeyondFields> none;
    none.set_value({});
    return none.get_future();
  }
  // The full French text of the last failed create or restructure (its reason included), empty
  // when the engine has none; and the columns the last restructure removed while they held
  // values, with how many rows held one.
  virtual QString LastErrorText() { return {}; }
  virtual std::vector<std::pair<QString, int64_t>> LastRemovedColumns() { return {}; }
  // The table's file is there but empty (a copy that failed): it holds no table.
  virtual bool TableFileEmpty(const QString& folder, const QString& fileName) {
    (void)folder;
    (void)fileName;
    return false;
  }
  // The indexes ("" the primary one) that the table's description no longer lists while their
  // index files, made with the table, are beside it.
  virtual QStringList UndescribedIndexes(const QString& folder, const QString& fileName) {
    (void)folder;
    (void)fileName;
    return {};
  }
  // How many key values more than one row holds under the key of `key`.
  virtual int64_t DuplicateKeys(const QString& folder, const QString& fileName, const IDXDesc& key) {
    (void)folder;
    (void)fileName;
    (void)key;
    return 0;
  }
  // Builds the indexes of a table whose rebuild was refused, in its file as it stands (key fields
  // numbered in `fields`); the result code, and why it failed.
  virtual int BuildIndexes(const QString& folder, const QString& fileName, const std::vector<FLDDesc>& fields,
                           const std::vector<IDXDesc>& indexes, QString& why) {
    (void)folder;
    (void)fileName;
    (void)fields;
    (void)indexes;
    (void)why;
    return DBIERR_INVALIDPARAM;
  }
  // Writes again the description of a table file that lost it (its fields, or its list of
  // indexes), from its rows table and `fields`: DBIERR_NONE when done, DBIERR_NOTABLE when the file is not
  // such a table, another code (and why) when it could not be done.
  virtual int RestoreDescription(const QString& folder, const QString& fileName,
                                      const std::vector<FLDDesc>& fields, QString& why) {
    (void)folder;
    (void)fileName;
    (void)fields;
    (void)why;
    return DBIERR_NOTABLE;
  }
  // Why the table's folder (ofFolder) or else its file cannot be written (a read-only share, a
  // file without write permission), in French; empty when it can.
  virtual QString WriteObstacle(const QString& folder, const QString& fileName, bool ofFolder) {
    (void)folder;
    (void)fileName;
    (void)ofFolder;
    return {};
  }
};
DbEngineCalls& DefaultEngineCalls();

// Result code of opening the table read-only (shared unless asked exclusive) and closing it.
int ProbeTable(const QString& folderOrAlias, const QString& fileName, TableType type,
               bool exclusive);

// The engine knows no aliases: every name is a folder.
bool IsAlias(const QString& name);
QString AliasDirectory(const QString& alias);
// A folder path ending in "/" (a path ending in "/" or ":" is left as it is).
QString AddBackslash(const QString& path);

// The table's file in the folder, its name matched ignoring case ("CLIENT" finds "Client.DB");
// empty when there is none.
QString FindTableFile(const QString& folder, const QString& fileName);

// Reads every page of a table's file, read-only: empty when it is sound, else what is wrong.
QString CheckTableIntegrity(const QString& folder, const QString& fileName);

// Deletes the table's companion files: every file named as the table with another extension than
// ".DB", ".DBF" or ".MB" (the memo file). The engine's own journal is never touched: a journal left
// by a crash is what rolls the table back. Stops at the first file that cannot be deleted (the
// files of a table in use cannot be). Returns how many were deleted.
int DeleteTableAuxFiles(const QString& folderOrAlias, const QString& fileName);
