// A table file opened as a dataset: keyed navigation over one index order, filters, Locate,
// editing, creation from field and index definitions.
#pragma once
#include <QString>
#include <vector>

#include "platform/db/Dataset.h"

enum TTableType { ttDefault, ttParadox, ttDBase };

struct TFieldDef {
  QString Name;
  TFieldType DataType = ftUnknown;
  int Size = 0;  // characters of a string field
  bool Required = false;
};

class TFieldDefs {
 public:
  void Add(const QString& name, TFieldType type, int size = 0, bool required = false) {
    items_.push_back({name, type, size, required});
  }
  void Clear() { items_.clear(); }
  int Count() const { return int(items_.size()); }
  const TFieldDef& operator[](int i) const { return items_.at(i); }
  const std::vector<TFieldDef>& Items() const { return items_; }
 private:
  std::vector<TFieldDef> items_;
};

enum TIndexOption : int { ixPrimary = 1, ixUnique = 2, ixDescending = 4, ixCaseInsensitive = 8 };
using TIndexOptions = int;  // ixPrimary | ixUnique

struct TIndexDef {
  QString Name;    // empty for the primary index
  QString Fields;  // "ORD_CL;NORD"
  TIndexOptions Options = 0;
};

class TIndexDefs {
 public:
  void Add(const QString& name, const QString& fields, TIndexOptions options) {
    items_.push_back({name, fields, options});
  }
  void Clear() { items_.clear(); }
  int Count() const { return int(items_.size()); }
  const TIndexDef& operator[](int i) const { return items_.at(i); }
  const std::vector<TIndexDef>& Items() const { return items_; }
 private:
  std::vector<TIndexDef> items_;
};

class TableCursor;  // engine side

class TTable : public TDataSet {
 public:
  explicit TTable(const QString& name = {});
  ~TTable() override;

  // The folder of the table file (set in BeforeOpen) and the file name, with or without ".DB",
  // found ignoring case.
  QString DatabaseName() const { return databaseName_; }
  void SetDatabaseName(const QString& folder);
  QString TableName() const { return tableName_; }
  void SetTableName(const QString& name);
  TTableType TableType() const { return tableType_; }
  void SetTableType(TTableType t) { tableType_ = t; }
  bool Exclusive() const { return exclusive_; }
  void SetExclusive(bool on);   // an exclusive open fails with DBIERR_FILEBUSY while in use
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool on);

  // Order: a named index ("iNom"; empty = the primary index) or fields ("REGION;ORD").
  // Both may change while open; the current record stays current.
  QString IndexName() const { return indexName_; }
  void SetIndexName(const QString& name);
  QString IndexFieldNames() const { return indexFieldNames_; }
  void SetIndexFieldNames(const QString& fields);

  // Master-detail: while set, only the records whose index fields equal the master's fields are
  // visible, following the master as it moves. masterFields "Id_Titre" or "A;B".
  void SetMasterSource(TDataSet* master, const QString& masterFields);

  // Definitions for CreateTable.
  TFieldDefs FieldDefs;
  TIndexDefs IndexDefs;

  void CreateTable();   // replaces an existing table of that name (table closed)
  void DeleteTable();   // the table file and its companion files (table closed)
  void EmptyTable();    // deletes every record
  bool Exists() const;
  void FlushBuffers();  // the flush: what was posted is on disk when it returns

  QString FilePath() const;  // the table file's full path as found (or as it would be created)

 protected:
  std::vector<FieldInfo> DoOpen() override;
  void DoClose() override;
  bool DoFirst(Record& out) override;
  bool DoLast(Record& out) override;
  bool DoNext(const Record& from, Record& out) override;
  bool DoPrior(const Record& from, Record& out) override;
  bool DoReread(Record& rec) override;
  bool DoGoto(int64_t id, Record& out) override;
  int DoRecordCount() override;
  int DoRecNo(const Record& rec) override;
  bool DoSeek(int index, Record& out) override;
  std::vector<Record> DoReadRows(int first, int count) override;
  bool DoLocate(const std::vector<int>& fields, const QList<QVariant>& values,
                TLocateOptions options, Record& out) override;
  void DoPost(Record& rec, bool inserting, const std::vector<bool>& changed) override;
  void DoDelete(const Record& rec) override;
  void DoFilterChanged() override;
  void DoCheckWritable() override;
  void DoRefresh() override;

 private:
  friend class TableCursor;
  class MasterLink;
  void ApplyOrder();
  void ApplyMaster();
  QString databaseName_;
  QString tableName_;
  TTableType tableType_ = ttDefault;
  bool exclusive_ = false;
  bool readOnly_ = false;
  QString indexName_;
  QString indexFieldNames_;
  std::unique_ptr<TableCursor> cursor_;
  std::unique_ptr<MasterLink> master_;
};

// The flush of a table (the engine's save-changes call on its handle): every record posted is on
// disk when it returns. Inside a TDbTransaction the flush waits for the transaction's end.
void DbiSaveChanges(TTable& table);
