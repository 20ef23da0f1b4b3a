#include "maintenance/USaveRestore.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>

#include "maintenance/URestorFiles.h"
#include "platform/sys/Drives.h"
#include "platform/sys/Files.h"
#include "platform/ui/Cursor.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/EventGuard.h"
#include "shell/global.h"
#include "shell/SessionEnd.h"

void SetSaveMode(TfrmSaveRestore* f) {
  f->setWindowTitle("Sauvegarde");
  f->btnSave->setVisible(true);
  f->btnRestore->setVisible(false);
}

void SetRestoreMode(TfrmSaveRestore* f) {
  f->setWindowTitle("Restaure");
  f->btnRestore->setVisible(true);
  f->btnSave->setVisible(false);
}

TfrmSaveRestore::TfrmSaveRestore(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      progress_(nullptr) {
  setObjectName("frmSaveRestore");
  setWindowTitle("Sauvegarde/restaure");
  setFixedSize(300, 110);

  btnSave = new QPushButton("&Sauvegarder", this);
  btnSave->setObjectName("btnSave");
  btnSave->setToolTip("Préparer la sauvegarde");
  btnSave->setGeometry(40, 25, 105, 30);
  btnRestore = new QPushButton("&Restaurer", this);
  btnRestore->setObjectName("btnRestore");
  btnRestore->setToolTip("Préparer la restauration");
  btnRestore->setGeometry(160, 25, 105, 30);
  btnClose = new QPushButton("&Fermer", this);
  btnClose->setObjectName("btnClose");
  btnClose->setToolTip("Fermer cet écran");
  btnClose->setGeometry(160, 25, 105, 30);

  stBar = new QStatusBar(this);
  stBar->setObjectName("stBar");
  stBar->setSizeGripEnabled(false);
  stBar->setGeometry(0, 110 - 22, 300, 22);
  ProgressBar1 = new QProgressBar(stBar);
  ProgressBar1->setObjectName("ProgressBar1");
  ProgressBar1->setTextVisible(false);

  ZipArchiver1 = new TZipArchiver(this);
  ZipArchiver1->setObjectName("ZipArchiver1");
  ZipArchiver1->SetMinZipLibVers(170);
  ZipArchiver1->SetMinUnzLibVers(170);
  ZipArchiver1->OnProgress = [this](QObject*, ProgressType t, const QString& n, qint64 s) { ZipArchiver1Progress(t, n, s); };
  ZipArchiver1->OnMessage = [this](QObject*, int code, const QString& m) { ZipArchiver1Message(code, m); };
  progress_ = TZipProgressBar(ProgressBar1);

  connect(btnSave, &QPushButton::clicked, this, [this] { GuardEvent([this] { btnSaveClick(); }); });
  connect(btnRestore, &QPushButton::clicked, this, [this] { GuardEvent([this] { btnRestoreClick(); }); });
  connect(btnClose, &QPushButton::clicked, this, [this] { btnCloseClick(); });
  FormCreate();
}

TfrmSaveRestore::~TfrmSaveRestore() {
  ZipArchiver1->UnloadZipLib();
  ZipArchiver1->UnloadUnzLib();
}

void TfrmSaveRestore::FormCreate() {
  btnRestore->setEnabled(Droits[15] == "2");
  btnSave->setEnabled(Droits[15] == "2");
  // Both at the same place: only one of them is shown.
  btnSave->move(40, 25);
  btnRestore->move(40, 25);
  ProgressBar1->setGeometry(0, 0, stBar->width(), stBar->height());
  ProgressBar1->setMinimum(0);
  ProgressBar1->hide();
  ZipArchiver1->SetDLLDirectory(AppPath);
  ZipArchiver1->LoadZipLib();
  ZipArchiver1->LoadUnzLib();
  ProcessMessages();
}

void TfrmSaveRestore::closeEvent(QCloseEvent* e) {
  if (!btnClose->isEnabled()) {  // an archive is being written or read
    e->ignore();
    return;
  }
  QDialog::closeEvent(e);
}

void TfrmSaveRestore::keyPressEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_Escape && !btnClose->isEnabled()) return;
  QDialog::keyPressEvent(e);
}

void TfrmSaveRestore::btnCloseClick() {
  EndModal(this, ModalResult::Cancel);
}

void TfrmSaveRestore::SetBusy(bool busy) {
  if (busy) {
    SetScreenCursor(TCursor::crHourGlass);
    btnSave->setEnabled(false);
    btnRestore->setEnabled(false);
    btnClose->setEnabled(false);
    ProgressBar1->show();
  } else {
    ProgressBar1->hide();
    btnSave->setEnabled(Droits[15] == "2");
    btnRestore->setEnabled(Droits[15] == "2");
    btnClose->setEnabled(true);
    SetScreenCursor(TCursor::crDefault);
  }
  ProcessMessages();
}

void TfrmSaveRestore::btnSaveClick() {
  const QString folder = Dialogs().FolderName(this, "Choisir l'endroit où sauvegarder.", AppPath);
  if (folder.isEmpty()) return;
  const QString drive = ExtractFileDrive(folder).toUpper();
  if (drive == "A:") {
    qint64 freeBytes = -1, total = -1;
    do {
      QApplication::beep();
      if (MessageDlg("Insérer une disquette dans le lecteur SVP.", MsgDlgType::Information, mbOK | mbCancel) !=
          ModalResult::OK)
        return;
      ProcessMessages();
      if (!GetDiskFreeSpace("A:", freeBytes, total)) freeBytes = -1;
    } while (freeBytes == -1);
  }
  TEndOfSessionHold hold;
  SetBusy(true);
  const bool span = drive == "A:" || drive == "B:";
  if (span) ZipArchiver1->AddOptions << AddDiskSpan;
  QString target = IncludeTrailingPathDelimiter(folder) + "ZELM" + ".zip";
  if (span) target = ToDriveName(target);  // follows the disks put in the drive
  try {
    WriteTablesArchive(*ZipArchiver1, DataPath, target, span);
  } catch (...) {
    ZipArchiver1->AddOptions >> AddDiskSpan;
    SetBusy(false);
    throw;
  }
  ZipArchiver1->AddOptions >> AddDiskSpan;
  SetBusy(false);
}

void TfrmSaveRestore::btnRestoreClick() {
  if (MessageDlg("Etes-vous sûr de vouloir procéder à la restauration ?", MsgDlgType::Confirmation, mbYes | mbNo) !=
      ModalResult::Yes)
    return;
  QString archive;
  {
    auto* f = new TfrmRestorFiles(this);
    const ModalResult r = Dialogs().RunModal(f);
    archive = f->FileName;
    delete f;
    if (r != ModalResult::OK) return;
  }
  if (!FileExists(DrivePath(archive))) {
    MessageDlg("Le fichier de sauvegarde est introuvable à l'endroit indiqué ! " + archive + "\r", MsgDlgType::Error,
               mbOK);
    return;
  }
  const QString temp = AppPath + "Temp" + "/";
  if (!DirectoryExists(temp) && !CreateDir(temp)) {
    MessageDlg("Impossible de créer le répertoire : " + temp + "\r", MsgDlgType::Error, mbOK);
    return;
  }
  if (MessageDlg("Toutes les données actuelles seront remplacées par celles contenues dans les fichiers "
                 "sélectionnés !\r\rProcéder à la restauration ?",
                 MsgDlgType::Confirmation, mbYes | mbNo) != ModalResult::Yes)
    return;
  TEndOfSessionHold hold;
  SetBusy(true);
  QString failure;
  QStringList untouched;
  try {
    failure = RestoreFrom(ToDriveName(archive), untouched);
  } catch (...) {
    SetBusy(false);
    throw;
  }
  ProcessMessages();
  SetBusy(false);
  if (!failure.isEmpty()) ShowError(failure);
  else if (!untouched.isEmpty())
    MessageDlg("Ces tables n'étaient pas dans l'archive et restent inchangées : " + untouched.join(", ") + ".",
               MsgDlgType::Information, mbOK);
}

QString TfrmSaveRestore::RestoreFrom(const QString& archive, QStringList& untouched) {
  return RestoreTablesArchive(*ZipArchiver1, archive, &untouched);
}

void TfrmSaveRestore::ZipArchiver1Progress(ProgressType type, const QString&, qint64 size) {
  progress_.Progress(type, size);
}

void TfrmSaveRestore::ZipArchiver1Message(int, const QString&) { ProcessMessages(); }
