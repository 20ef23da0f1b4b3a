#include "maintenance/UReindex.h"

#include <QFile>
#include <QProgressBar>

#include "platform/db/Maintenance.h"
#include "platform/sys/Files.h"
#include "platform/ui/Cursor.h"
#include "platform/ui/Dialogs.h"
#include "schema/DbChk.h"
#include "schema/DbEngine.h"
#include "schema/WordUtils.h"
#include "shell/UProgress.h"
#include "shell/SessionEnd.h"

namespace {

void FreeProgress() {
  delete frmProgress;
  frmProgress = nullptr;
}

}  // namespace

void Reindex(TDbCheck& check, const QString& folder) {
  const QString dir = IncludeTrailingPathDelimiter(folder);
  const QStringList& lines = check.Descriptor();
  // A folder that cannot be written would refuse every deletion one file at a time: it is named
  // once, in the structure check's words, before anything is tried.
  const QString obstacle = DefaultEngineCalls().WriteObstacle(dir, QString(), true);
  if (!obstacle.isEmpty()) {
    MessageDlg(obstacle + "\rLes index n'ont pas été supprimés ni reconstruits : rien n'a été modifié.",
               MsgDlgType::Error, mbOK);
    return;
  }
  // On this system a file can be deleted under the table that has it open: the table would go
  // on with indexes the check then builds a second time beside it. Nothing is done then.
  QStringList tables;
  for (const QString& line : lines)
    if (WordAt(1, line, " (").toUpper() == "OBJECT") tables << WordAt(3, line, " ").toUpper();
  const QStringList open = Dbi::TablesOpenHere(dir, tables);
  if (!open.isEmpty()) {
    MessageDlg("Réindexation impossible : ces tables sont ouvertes : " + open.join(", ") +
                   ".\rFermez les fenêtres qui les utilisent, puis recommencez.",
               MsgDlgType::Error, mbOK);
    return;
  }

  TEndOfSessionHold hold;
  check.SetCorrectPath(folder);
  SetScreenCursor(TCursor::crHourGlass);
  frmProgress = new TfrmProgress(nullptr);
  frmProgress->setWindowTitle("Impression");
  frmProgress->lProgress->SetCaption("Réindexation en cours, patientez ...");
  frmProgress->MyGauge->setRange(0, int(lines.size()));
  frmProgress->MyGauge->setValue(0);
  frmProgress->show();
  ProcessMessages();
  try {
    QString failures;
    for (int i = 0; i < lines.size(); ++i) {
      const QString& line = lines[i];
      if (line.isEmpty()) continue;
      if (WordAt(1, line, " (").toUpper() == "OBJECT") {
        const QString table = WordAt(3, line, " ").toUpper();
        const int dot = table.indexOf('.');
        const QString base = dot < 0 ? table : table.left(dot);
        const QStringList busy = Dbi::TablesOpenElsewhere(dir, {table});
        // The engine's journal never matches a mask: a table is never torn from its journal.
        for (const QString& name : FindFiles(dir, base + ".*")) {
          const QString upper = name.toUpper();
          if (upper == table || upper == base + ".MB") continue;
          if (!busy.isEmpty() || !QFile::remove(dir + name)) failures += "- " + dir + name + "\r";
        }
      }
      frmProgress->MyGauge->setValue(i + 1);
    }
    ProcessMessages();
    if (!failures.isEmpty()) {
      MessageDlg("Impossible de supprimer : \r" + failures, MsgDlgType::Error, mbOK);
    } else {
      check.SetCorrectPath(folder);
      check.Check();
      ProcessMessages();
      // A table left without its indexes is never passed over in silence.
      QString problems;
      if (!check.FolderObstacle().isEmpty()) problems += check.FolderObstacle() + "\r";
      if (!check.Errors().isEmpty()) problems += check.Errors().join("\r") + "\r";
      if (!check.Unchecked().isEmpty())
        problems += "Ces tables n'ont pas pu être lues ; leurs index n'ont pas été reconstruits :\r" +
                    check.Unchecked().join("\r") + "\r";
      if (!problems.isEmpty())
        MessageDlg("Réindexation terminée, avec ces réserves :\r" + problems.chopped(1) +
                       (check.Notes().isEmpty() ? QString() : "\r\r" + check.Notes().join("\r")),
                   MsgDlgType::Warning, mbOK);
      else if (!check.Notes().isEmpty())
        MessageDlg("Réindexation terminée.\r\r" + check.Notes().join("\r"), MsgDlgType::Information, mbOK);
    }
  } catch (...) {
    FreeProgress();
    SetScreenCursor(TCursor::crDefault);
    throw;
  }
  FreeProgress();
  SetScreenCursor(TCursor::crDefault);
  ProcessMessages();
}
