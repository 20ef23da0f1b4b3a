#include "maintenance/USaveRestore.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include "maintenance/URestorFiles.h"
#include "platform/db/DbiStructure.h"
#include "platform/db/Maintenance.h"
#include "platform/sys/Drives.h"
#include "platform/sys/Files.h"
#include "platform/ui/Cursor.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/EventGuard.h"
#include "shell/global.h"

namespace {

const char* kNothingRestored = " Aucune donnée n'a été modifiée.";

// An entry whose name would leave the extraction folder: absolute, with a drive letter, or
// climbing out through "..".
bool LeavesFolder(const QString& name) {
  if (name.startsWith('/') || name.startsWith('\\')) return true;
  if (name.size() >= 2 && name[1] == ':') return true;
  const QStringList parts = QString(name).replace('\\', '/').split('/');
  return parts.contains("..");
}

// A symbolic link stored by a Unix host: its mode sits in the high half of the attributes.
bool IsLinkEntry(const ZipDirEntry& e) {
  return e.HostSystem == 3 && ((e.ExtFileAttrib >> 16) & 0170000) == 0120000;
}

bool SameCrc(const QString& path, const ZipDirEntry& e) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly) || f.size() != qint64(e.UncompressedSize)) return false;
  uLong crc = crc32(0L, Z_NULL, 0);
  QByteArray buf(1 << 16, Qt::Uninitialized);
  for (;;) {
    const qint64 n = f.read(buf.data(), buf.size());
    if (n < 0) return false;
    if (n == 0) break;
    crc = crc32(crc, reinterpret_cast<const Bytef*>(buf.constData()), uInt(n));
  }
  return uint32_t(crc) == e.CRC32;
}

// The name a file of the archive takes in the data folder: the one already there when only the
// case differs, else its own.
QString TargetName(const QString& dataPath, const QString& name) {
  for (const QString& e : QDir(dataPath).entryList(QDir::Files | QDir::Hidden))
    if (e.compare(name, Qt::CaseInsensitive) == 0) return e;
  return name;
}

bool CopyDurably(const QString& from, const QString& to) {
  QFile::remove(to);
  if (!QFile::copy(from, to)) return false;
  QFile f(to);
  if (!f.open(QIODevice::ReadWrite)) return false;
  f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
  return ::fsync(f.handle()) == 0;
}

void SyncFolder(const QString& folder) {
  const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

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
  SetModalResult(this, ModalResult::Cancel);
  reject();
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
  SetBusy(true);
  QString failure;
  try {
    failure = RestoreFrom(ToDriveName(archive));
  } catch (...) {
    SetBusy(false);
    throw;
  }
  ProcessMessages();
  SetBusy(false);
  if (!failure.isEmpty()) ShowError(failure);
}

QString TfrmSaveRestore::RestoreFrom(const QString& archive) {
  TZipArchiver& zip = *ZipArchiver1;
  zip.SetZipFileName(archive);
  if (zip.ZipFileName().isEmpty())
    return "L'archive " + archive + " est endommagée ou illisible." + kNothingRestored;
  for (const ZipDirEntry& e : zip.DirEntries) {
    if (LeavesFolder(e.FileName))
      return "L'archive contient un fichier dont le chemin sort du dossier de restauration : " + e.FileName +
             "." + kNothingRestored;
    if (IsLinkEntry(e)) return "L'archive contient un lien : " + e.FileName + "." + kNothingRestored;
  }
  const std::vector<ZipDirEntry> entries = zip.DirEntries;

  // A fresh, empty folder: nothing left by an earlier restore can be taken for part of this one.
  QTemporaryDir work(AppPath + "Temp/restaure-XXXXXX");
  if (!work.isValid())
    return "Impossible de créer le répertoire : " + AppPath + "Temp/restaure-..." + kNothingRestored;
  const QString dir = IncludeTrailingPathDelimiter(work.path());
  zip.ExtrBaseDir = dir;
  zip.FSpecArgs.clear();
  zip.FSpecArgs << "*.*";
  zip.Extract();
  if (zip.SuccessCount != int(entries.size()))
    return "L'archive " + archive + " n'a pas pu être extraite entièrement." + kNothingRestored;
  {
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
      it.next();
      if (it.fileInfo().isSymLink()) return "L'archive contient un lien : " + it.fileName() + "." + kNothingRestored;
    }
  }
  // Every file must be what the archive's directory says it is.
  struct Item {
    QString source, table, target;
  };
  std::vector<Item> items;
  QStringList tables;
  for (const ZipDirEntry& e : entries) {
    const QString name = QString(e.FileName).replace('\\', '/');
    if (name.contains('/')) continue;  // not a file of the data folder
    if (!SameCrc(dir + name, e))
      return "Le fichier " + name + " de l'archive est endommagé." + kNothingRestored;
    QString table;
    if (!IsTableFileName(name, &table)) continue;  // not one of the program's files
    items.push_back({dir + name, table, TargetName(DataPath, name)});
    if (!tables.contains(table)) tables << table;
  }
  if (items.empty()) return "L'archive " + archive + " ne contient aucune table du programme." + kNothingRestored;

  const QStringList here = Dbi::TablesOpenHere(DataPath, tables);
  if (!here.isEmpty())
    return "La restauration est impossible tant que ces tables sont ouvertes : " + here.join(", ") + "." +
           kNothingRestored;
  const QStringList elsewhere = Dbi::TablesOpenElsewhere(DataPath, tables);
  if (!elsewhere.isEmpty())
    return "La restauration est impossible : ces tables sont utilisées par un autre programme : " +
           elsewhere.join(", ") + "." + kNothingRestored;

  // Copies beside the tables first; the tables are replaced only once every copy is whole.
  QStringList copies;
  for (const Item& i : items) {
    const QString copy = DataPath + "~restaure." + i.target;
    ProcessMessages();
    if (!CopyDurably(i.source, copy)) {
      copies << copy;
      for (const QString& c : copies) QFile::remove(c);
      return "Impossible de copier " + ExtractFileName(i.source) + " dans " + DataPath + "." + kNothingRestored;
    }
    copies << copy;
  }
  // A journal left beside a table would roll the restored file back at its first opening.
  for (const QString& t : tables) {
    const QString file = TargetName(DataPath, t);
    QFile::remove(DataPath + file + "-journal");
  }
  QStringList failed;
  for (size_t k = 0; k < items.size(); ++k) {
    const QString target = DataPath + items[k].target;
    if (std::rename(QFile::encodeName(copies[int(k)]).constData(), QFile::encodeName(target).constData()) != 0) {
      QFile::remove(copies[int(k)]);
      failed << items[k].target;
    }
  }
  SyncFolder(DataPath);
  if (!failed.isEmpty())
    return "La restauration est incomplète : ces fichiers n'ont pas pu être remplacés : " + failed.join(", ") + ".";
  return QString();
}

void TfrmSaveRestore::ZipArchiver1Progress(ProgressType type, const QString&, qint64 size) {
  progress_.Progress(type, size);
}

void TfrmSaveRestore::ZipArchiver1Message(int, const QString&) { ProcessMessages(); }
