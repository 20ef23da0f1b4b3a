// TDbCheck: walks the table blocks of its descriptor and, for each table, creates it when it is
// missing, repairs its stored auto-increment counter, and restructures it (keeping its rows) when
// its fields or indexes differ from the descriptor.
#pragma once
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "platform/db/DbiStructure.h"
#include "schema/Descriptor.h"

class DbEngineCalls;

enum TChkMessage { CHK_NONE = 0, CHK_TABLECREATE = 1, CHK_TABLEMODIFY = 2, CHK_AUTOINCREPAIR = 3 };

using TNotifyEvent = std::function<void(QObject* Sender)>;
using TCheckEvent = std::function<void(QObject* Sender, TChkMessage ChkMessage, const QString& TblName)>;
using TErrorEvent = std::function<void(QObject* Sender, const EDBEngineError& Message)>;
using TFindDiffEvent =
    std::function<void(QObject* Sender, TChkMessage ChkMessage, const QString& TblName, bool& Correct)>;
using TAddFieldEvent =
    std::function<void(QObject* Sender, const QString& TblName, const QString& FldName)>;
using TTableEvent = std::function<void(QObject* Sender, const QString& TblName)>;

class TDbCheck : public QObject {
 public:
  explicit TDbCheck(QObject* owner = nullptr);
  ~TDbCheck() override;

  // A second folder; not used by the check.
  QString ReadPath() const { return readPath_; }
  void SetReadPath(const QString& p) { readPath_ = p; }
  // Folder of the tables to check (or an alias).
  QString CorrectPath() const { return correctPath_; }
  void SetCorrectPath(const QString& p) { correctPath_ = p; }
  const QStringList& Descriptor() const { return descriptor_; }
  void SetDescriptor(const QStringList& lines) { descriptor_ = lines; }
  // "FILE=label" or "FILE|label" lines: the label the events report for a table file.
  const QStringList& ReadFiles() const { return readFiles_; }
  void SetReadFiles(const QStringList& lines) { readFiles_ = lines; }

  TCheckEvent OnAfterCheck;
  TCheckEvent OnBeforeCheck;
  TNotifyEvent OnComplete;
  TErrorEvent OnError;
  TFindDiffEvent OnFoundDiff;
  TAddFieldEvent OnAddField;
  TAddFieldEvent OnModifyField;
  TTableEvent OnCreateTable;
  TTableEvent OnModifyTable;

  // Runs the check; true when no create, restructure or repair failed. Engine errors while
  // reading a table end the check and reach the caller.
  bool Check();

  // What failed during the last check ("TABLE : text"), whether or not OnError is set.
  const QStringList& Errors() const { return errors_; }
  // Tables the last check left alone because they could not be read (a damaged file, a file
  // locked by another program): "TABLE : text". Not failures of the check itself.
  const QStringList& Unchecked() const { return unchecked_; }
  // The tables the last check rebuilt for their fields, their file's alterations or indexes missing
  // from their description (not for index files gone alone), why, and the columns holding values
  // it removed; the tables made again from an empty file, and those whose lost description it
  // wrote again: "TABLE : text".
  const QStringList& Notes() const { return notes_; }
  // Why the folder of the last check could not be written, when a step failed for that reason;
  // the lines of Errors() then name only what could not be done.
  const QString& FolderObstacle() const { return folderObstacle_; }

  // The engine the check works on (the program's table engine unless replaced).
  void SetEngine(DbEngineCalls* engine);

  // Comparisons of a parsed block against a table's descriptors. They set the operations of the
  // descriptor entries, append the table's extra indexes as drops, and report whether anything
  // differs. Exposed for the tests of the comparison rules.
  bool CompareFields(const QString& tblName, std::vector<FLDDesc>& desc,
                     const std::vector<FLDDesc>& table);
  static bool CompareIndexes(std::vector<IDXDesc>& desc, const std::vector<IDXDesc>& table);

 private:
  QString TableLabel(const QString& fileName) const;
  int CreateTable(const TDescBlock& block);
  int RestructureTable(const TDescBlock& block);
  void RepairAutoInc(const QString& label, int64_t highest);
  // The unique keys to build again that hold a value on several rows, in French; empty when none.
  QString DuplicateKeysText(const TDescBlock& block, const std::vector<FLDDesc>& table);
  // what: the step that failed, as the end of "la table ..." ("ne peut pas être créée"); detail:
  // the engine's account of the failure, when it has one.
  void ReportError(const QString& label, int code, const QString& what = {}, const QString& detail = {});
  // Says which table a restructure rebuilt, why, and which columns holding values it removed.
  // undescribed: the indexes its description no longer listed while their files stayed.
  void NoteRebuild(const QString& label, const QStringList& alterations, const std::vector<FLDDesc>& fields,
                   const std::vector<IDXDesc>& indexes, const std::vector<IDXDesc>& table,
                   const QStringList& undescribed);
  // After a refused restructure: builds the block's indexes on the table as it stands, and gives
  // the refusal's text with what became of them.
  QString IndexesAsTheyStand(const TDescBlock& block, int code, const QString& refusal);
  // Builds the block's indexes on the table as it stands, when it lacks some: what became of them,
  // in French; empty when there was nothing to build or the folder cannot be written. `built`:
  // whether they were.
  QString BuildIndexesAsTheyStand(const TDescBlock& block, bool* built = nullptr);

  QString readPath_;
  QString correctPath_;
  QStringList descriptor_;
  QStringList readFiles_;
  QStringList errors_;
  QStringList unchecked_;
  QStringList notes_;
  QString folderObstacle_;
  DbEngineCalls* engine_;
  // The table being checked.
  QString folder_;
  QString tableName_;
  int line_ = 0;
};
