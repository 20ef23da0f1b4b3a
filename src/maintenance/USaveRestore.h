// The manual backup of every data table into "ZELM.zip" in a chosen folder (spanning floppy
// disks on drive A: or B:), and the restore of the tables from a chosen archive.
#pragma once
#include <QDialog>
#include <memory>

#include "maintenance/MaintCommon.h"

class QProgressBar;
class QPushButton;
class QStatusBar;

class TfrmSaveRestore : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmSaveRestore(QWidget* owner = nullptr);
  ~TfrmSaveRestore() override;

  QPushButton* btnSave;
  QPushButton* btnRestore;
  QPushButton* btnClose;
  QStatusBar* stBar;
  QProgressBar* ProgressBar1;
  TZipArchiver* ZipArchiver1;

  void FormCreate();
  void btnSaveClick();
  void btnRestoreClick();
  void btnCloseClick();
  void ZipArchiver1Progress(ProgressType type, const QString& fileName, qint64 size);
  void ZipArchiver1Message(int errCode, const QString& message);

 protected:
  void closeEvent(QCloseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;

 private:
  // Puts the tables of the extracted archive in place of the data folder's; "" when done,
  // otherwise what went wrong (nothing of the data folder has changed then). `untouched` gets
  // the tables the archive did not hold.
  QString RestoreFrom(const QString& archive, QStringList& untouched);
  void SetBusy(bool busy);
  TZipProgressBar progress_;
  bool closed_ = false;
};

// Modes of the window as the main window opens it.
void SetSaveMode(TfrmSaveRestore* f);
void SetRestoreMode(TfrmSaveRestore* f);
