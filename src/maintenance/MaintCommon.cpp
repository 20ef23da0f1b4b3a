#include "maintenance/MaintCommon.h"

#include <QDir>
#include <QFileInfo>
#include <QProgressBar>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <cstdio>

#include "platform/db/Maintenance.h"
#include "platform/sys/Files.h"
#include "platform/ui/Cursor.h"
#include "schema/AppSchema.h"
#include "shell/global.h"

QStringList SchemaTableFiles() {
  QStringList out;
  for (const QString& line : ApplicationDescriptor())
    if (line.contains("object Table:")) out << line.mid(13, 50).trimmed();
  return out;
}

QStringList BackupSpecs(const QString& dataPath) {
  QStringList out;
  for (const QString& t : SchemaTableFiles()) {
    const int dot = t.indexOf('.');
    out << dataPath + (dot < 0 ? t + "." : t.left(dot + 1)) + "*";
  }
  return out;
}

bool IsTableFileName(const QString& fileName, QString* tableFile) {
  static const QRegularExpression companion("^(PX|MB|VAL|TV|FAM|[XY][0-9A-F]{2})$",
                                            QRegularExpression::CaseInsensitiveOption);
  const int dot = fileName.indexOf('.');
  if (dot <= 0) return false;
  const QString base = fileName.left(dot);
  const QString ext = fileName.mid(dot + 1);
  for (const QString& t : SchemaTableFiles()) {
    const int tdot = t.indexOf('.');
    if (t.left(tdot).compare(base, Qt::CaseInsensitive) != 0) continue;
    if (ext.compare(t.mid(tdot + 1), Qt::CaseInsensitive) == 0 || companion.match(ext).hasMatch()) {
      if (tableFile) *tableFile = t;
      return true;
    }
  }
  return false;
}

void TZipProgressBar::Progress(ProgressType type, qint64 size) {
  ProcessMessages();
  switch (type) {
    case TotalSize2Process:
      bar_->setRange(0, 10001);
      bar_->setValue(1);
      total_ = size;
      done_ = 0;
      break;
    case ProgressUpdate:
      done_ += size;
      bar_->setValue(total_ == 0 ? 10001 : int(std::min<qint64>(10001, done_ * 10000 / total_ + 1)));
      break;
    case EndOfBatch:
      bar_->setValue(1);
      break;
    default:
      break;
  }
  ProcessMessages();
}

namespace {

// Files of the data folder the specifications take.
int FilesToArchive(const QString& dataPath) {
  int n = 0;
  for (const QString& spec : BackupSpecs(dataPath))
    for (const QString& f : FindFiles(dataPath, ExtractFileName(spec)))
      if (FileExists(dataPath + f)) ++n;
  return n;
}

}  // namespace

bool WriteTablesArchive(TZipArchiver& zip, const QString& dataPath, const QString& target, bool span) {
  TTablesReadLock lock(dataPath, SchemaTableFiles());
  if (!lock.Locked()) {
    ShowError("La sauvegarde n'a pas été faite : " + lock.Failure());
    return false;
  }
  if (span) {
    zip.SetZipFileName(target);
    zip.EraseFile(target, htdAllowUndo);
    zip.FSpecArgs = BackupSpecs(dataPath);
    zip.Add();
    return zip.SuccessCount > 0;
  }

  const QString folder = ExtractFilePath(target);
  const QString temp = folder + QString(".%1.%2.part")
                                    .arg(ExtractFileName(target))
                                    .arg(QRandomGenerator::global()->generate(), 8, 16, QChar('0'));
  QFile::remove(temp);
  const int expected = FilesToArchive(dataPath);
  zip.SetZipFileName(temp);
  zip.FSpecArgs = BackupSpecs(dataPath);
  zip.Add();
  const int added = zip.SuccessCount;
  int listed = -1;
  {
    TZipArchiver check;
    check.Unattended = true;
    check.SetZipFileName(temp);
    if (!check.ZipFileName().isEmpty()) listed = check.EntryCount();
  }
  zip.SetZipFileName(QString());
  if (added <= 0 || added != expected || listed != expected) {
    QFile::remove(temp);
    if (added > 0)  // the component said nothing: it thinks all went well
      ShowError("La sauvegarde n'a pas pu être écrite entièrement dans " + target +
                " ; l'archive précédente est conservée.");
    return false;
  }
  if (FileExists(target)) zip.EraseFile(target, htdAllowUndo);
  // rename() replaces in one step whatever is still there (a trash that refused the file).
  if (std::rename(QFile::encodeName(temp).constData(), QFile::encodeName(target).constData()) != 0) {
    QFile::remove(temp);
    ShowError("Impossible d'écrire l'archive " + target + ".");
    return false;
  }
  zip.SetZipFileName(target);
  return true;
}
