// The archive chooser of the restore: the backups of a folder ("ZELM.zip" and the numbered ones
// of the automatic backup), newest first. Hands back the chosen file's path and date.
#pragma once
#include <QDialog>

class QComboBox;
class QLabel;
class QListWidget;
class QMenu;
class QPushButton;
class QTreeWidget;
class QAction;

class TfrmRestorFiles : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmRestorFiles(QWidget* owner = nullptr);

  QString FileName;  // the chosen archive's full path
  QString FileDate;  // the text of its date column

  QLabel* Label1;
  QComboBox* cmbDrive;
  QListWidget* DirList;
  QTreeWidget* myListView;
  QPushButton* btnGetDir;
  QPushButton* btnOk;
  QPushButton* btnCancel;
  QMenu* PopupMenu1;
  QAction* mnSelectionner;
  QAction* mnAnnuler;

  // The folder DirList shows (ending in "/").
  QString Directory() const { return dir_; }
  void SetDirectory(const QString& folder);

  void FormShow();
  void FillList();
  void btnGetDirClick();
  void myListViewSelectItem();
  void btnOkClick();
  void btnCancelClick();

 protected:
  void showEvent(QShowEvent* e) override;

 private:
  void FillDirList();
  void FillDrives();
  QString dir_;
  bool shown_ = false;
};
