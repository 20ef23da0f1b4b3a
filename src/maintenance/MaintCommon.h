// What the backups, the restore, the reindexing and the purge share: the table files of the
// schema, the archive's file patterns, the progress rule and the safe writing of an archive.
#pragma once
#include <QString>
#include <QStringList>

#include "zip/ZipArch.h"

class QProgressBar;

// The table file names of the schema ("CLIENT.DB", ...), in schema order: the name each
// "object Table:" line gives, as the schema's blocks are read.
QStringList SchemaTableFiles();
// One file pattern per table: the folder, then the table file name up to and including
// its first ".", then "*" (CLIENT.* carries the table with every companion file).
QStringList BackupSpecs(const QString& dataPath);
// True when a file of an archive is one of the schema's tables or a companion file of one: the
// name, ignoring case, is a table's base name followed by the table's own extension or by a
// companion extension (PX, Xnn, Ynn, MB, VAL, TV, FAM). The table file it belongs to is returned.
bool IsTableFileName(const QString& fileName, QString* tableFile = nullptr);

// The progress bar rule of the backup windows: the total at TotalSize2Process, the share done in
// ten-thousandths (+1) at each update, back to 1 at the end of the batch.
class TZipProgressBar {
 public:
  explicit TZipProgressBar(QProgressBar* bar) : bar_(bar) {}
  void Progress(ProgressType type, qint64 size);
 private:
  QProgressBar* bar_;
  qint64 total_ = 0;
  qint64 done_ = 0;
};

// Writes every table of the data folder into the archive `target` with the component, while no
// table can be written. On a single file the archive is written under a temporary name beside
// the target, listed back and counted, and only then takes the target's name (the earlier
// archive goes to the trash at that moment). With `span` the component's disk spanning writes
// it. False when nothing was written; what went wrong has been reported.
bool WriteTablesArchive(TZipArchiver& zip, const QString& dataPath, const QString& target, bool span);

// Puts the tables of an archive in place of the data folder's. Only the program's table files
// are taken, each by its file name whatever folder of the archive holds it; they are extracted
// into a fresh folder under AppPath + "Temp/". The archive is refused whole when it cannot be read
// or extracted, when a file is not what its directory says, when a table file does not hold its
// own table, when a file of the program is there twice, or when an entry would leave the
// extraction folder or is a link. A table open here or in another program stops the restore.
// "" when done, else the failure in French; unless the text says the restore is incomplete,
// nothing in the data folder has changed. `untouched` gets the tables the archive did not hold.
QString RestoreTablesArchive(TZipArchiver& zip, const QString& archive, QStringList* untouched = nullptr);
// True when an archive entry's name would leave the extraction folder (absolute, a drive, "..").
bool LeavesFolder(const QString& name);
// Deletes what a restore that was killed left: its extraction folders under AppPath + "Temp" and
// its copies ("~restaure.*") beside the tables, once a restore killed while it replaced the
// tables has been completed. Copies a list still names (their move failed) are kept with it.
void RemoveRestoreLeftovers();
// A restore killed after its copies were whole and listed ("~restaure.journal") is completed:
// every listed copy still there takes its table's place. The list goes only once every move
// succeeded; a copy that could not move stays, with the list, for the next try. Without the list
// nothing is done.
void FinishInterruptedRestore(const QString& dataPath);
