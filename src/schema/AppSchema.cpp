#include "schema/AppSchema.h"

#include "platform/ui/Cursor.h"
#include "platform/ui/Dialogs.h"
#include "schema/DbChk.h"

void ConfigureApplicationCheck(TDbCheck& check) {
  check.SetDescriptor(ApplicationDescriptor());
  check.OnFoundDiff = [](QObject*, TChkMessage, const QString&, bool& correct) { correct = true; };
}

std::unique_ptr<TDbCheck> MakeApplicationCheck(QObject* owner) {
  auto check = std::make_unique<TDbCheck>(owner);
  ConfigureApplicationCheck(*check);
  return check;
}

TDbCheck& ApplicationCheck() {
  static const std::unique_ptr<TDbCheck> check = MakeApplicationCheck();
  return *check;
}

void CreateApplicationTables(TDbCheck& check, const QString& dataPath) {
  check.SetCorrectPath(dataPath);
  check.Check();
  ProcessMessages();
}

void RunDatabaseCheck(TDbCheck& check, const QString& dataPath) {
  SetScreenCursor(TCursor::crHourGlass);
  try {
    check.SetCorrectPath(dataPath);
    check.Check();
  } catch (...) {
    SetScreenCursor(TCursor::crDefault);
    throw;
  }
  SetScreenCursor(TCursor::crDefault);
  QString text = QStringLiteral("Contrôle terminé !");
  const QStringList problems = check.Errors() + check.Unchecked();
  if (!check.Notes().isEmpty()) text += "\n\n" + check.Notes().join('\n');
  if (!check.FolderObstacle().isEmpty()) text += "\n\n" + check.FolderObstacle();
  if (!problems.isEmpty()) text += "\n\n" + problems.join('\n');
  MessageDlg(text, problems.isEmpty() ? MsgDlgType::Information : MsgDlgType::Warning, mbOK);
  ProcessMessages();
}

void RunDatabaseCheck(const QString& dataPath) { RunDatabaseCheck(ApplicationCheck(), dataPath); }
