#include "maintenance/URestorFiles.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>
#include <algorithm>

#include "platform/sys/Drives.h"
#include "platform/sys/Files.h"
#include "platform/ui/Dialogs.h"
#include "shell/global.h"

TfrmRestorFiles::TfrmRestorFiles(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
  setObjectName("frmRestorFiles");
  setWindowTitle("Restaurer");
  setFixedSize(560, 330);

  Label1 = new QLabel("Sélectionner le fichier à partir duquel vous voulez restaurer et cliquer sur le bouton OK.", this);
  Label1->setObjectName("Label1");
  Label1->setWordWrap(true);
  Label1->setGeometry(8, 6, 544, 34);

  cmbDrive = new QComboBox(this);
  cmbDrive->setObjectName("cmbDrive");
  cmbDrive->setGeometry(8, 46, 200, 24);
  DirList = new QListWidget(this);
  DirList->setObjectName("DirList");
  DirList->setGeometry(8, 74, 200, 200);
  btnGetDir = new QPushButton("&Parcourir ...", this);
  btnGetDir->setObjectName("btnGetDir");
  btnGetDir->setGeometry(8, 282, 200, 28);

  myListView = new QTreeWidget(this);
  myListView->setObjectName("myListView");
  myListView->setGeometry(216, 46, 336, 228);
  myListView->setColumnCount(2);
  myListView->setHeaderLabels({"Nom", "Date de modification"});
  myListView->setRootIsDecorated(false);
  myListView->setSortingEnabled(false);
  myListView->setSelectionMode(QAbstractItemView::SingleSelection);
  myListView->header()->resizeSection(0, 150);
  myListView->setContextMenuPolicy(Qt::CustomContextMenu);

  btnOk = new QPushButton("OK", this);
  btnOk->setObjectName("btnOk");
  btnOk->setGeometry(356, 282, 92, 28);
  btnOk->setEnabled(false);
  btnCancel = new QPushButton("Annuler", this);
  btnCancel->setObjectName("btnCancel");
  btnCancel->setGeometry(460, 282, 92, 28);

  PopupMenu1 = new QMenu(this);
  mnSelectionner = PopupMenu1->addAction("Sélectionner");
  mnSelectionner->setEnabled(false);
  mnAnnuler = PopupMenu1->addAction("Annuler");

  connect(btnOk, &QPushButton::clicked, this, [this] { btnOkClick(); });
  connect(btnCancel, &QPushButton::clicked, this, [this] { btnCancelClick(); });
  connect(mnSelectionner, &QAction::triggered, this, [this] { btnOkClick(); });
  connect(mnAnnuler, &QAction::triggered, this, [this] { btnCancelClick(); });
  connect(btnGetDir, &QPushButton::clicked, this, [this] { btnGetDirClick(); });
  connect(myListView, &QTreeWidget::itemSelectionChanged, this, [this] { myListViewSelectItem(); });
  connect(myListView, &QTreeWidget::itemDoubleClicked, this, [this] { btnOkClick(); });
  connect(myListView, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& p) { PopupMenu1->popup(myListView->viewport()->mapToGlobal(p)); });
  connect(DirList, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
    if (!item) return;
    SetDirectory(item->text() == ".." ? QFileInfo(dir_ + "..").absoluteFilePath() : dir_ + item->text());
  });
  connect(cmbDrive, &QComboBox::activated, this, [this](int i) {
    const QString root = cmbDrive->itemData(i).toString();
    SetDirectory(root.size() == 2 && root[1] == ':' ? DrivePath(root + "/") : root);
  });
  FillDrives();
}

void TfrmRestorFiles::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  if (!shown_) {
    shown_ = true;
    FormShow();
  }
}

void TfrmRestorFiles::FormShow() { SetDirectory(DataPath); }

void TfrmRestorFiles::FillDrives() {
  cmbDrive->clear();
  cmbDrive->addItem("/", "/");
  const unsigned mask = LogicalDrives();
  for (int i = 0; i < 26; ++i)
    if (mask & (1u << i)) {
      const QString l = QString(QChar('A' + i)) + ":";
      cmbDrive->addItem(l, l);
    }
}

void TfrmRestorFiles::SetDirectory(const QString& folder) {
  dir_ = IncludeTrailingPathDelimiter(QDir::cleanPath(folder));
  const QString drive = ExtractFileDrive(dir_);
  const int i = cmbDrive->findData(drive.isEmpty() ? QString("/") : drive);
  if (i >= 0) cmbDrive->setCurrentIndex(i);
  FillDirList();
  FillList();
}

void TfrmRestorFiles::FillDirList() {
  DirList->clear();
  DirList->addItem(dir_ + "");
  DirList->item(0)->setFlags(Qt::ItemIsEnabled);
  if (dir_ != "/") DirList->addItem("..");
  QStringList subs = QDir(dir_).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
  std::sort(subs.begin(), subs.end(), [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
  DirList->addItems(subs);
}

void TfrmRestorFiles::FillList() {
  myListView->clear();
  struct Row {
    QString name;
    QDateTime date;
  };
  std::vector<Row> rows;
  for (const QString& n : FindFiles(dir_, "ZELM??.zip")) {
    const QFileInfo fi(dir_ + n);
    if (fi.isFile()) rows.push_back({n, fi.lastModified()});
  }
  std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.date > b.date; });
  for (const Row& r : rows) {
    auto* item = new QTreeWidgetItem(myListView);
    item->setText(0, r.name);
    item->setText(1, r.date.toString("dd/MM/yyyy HH:mm:ss"));
  }
  myListViewSelectItem();
}

void TfrmRestorFiles::btnGetDirClick() {
  const QString folder = Dialogs().FolderName(this, "Choisir un répertoire", "/");
  if (!folder.isEmpty()) SetDirectory(folder);
}

void TfrmRestorFiles::myListViewSelectItem() {
  const bool any = !myListView->selectedItems().isEmpty();
  btnOk->setEnabled(any);
  mnSelectionner->setEnabled(any);
}

void TfrmRestorFiles::btnOkClick() {
  const auto sel = myListView->selectedItems();
  if (sel.isEmpty()) {
    ShowError("Veuillez sélectionner un fichier SVP !");
    return;
  }
  FileName = dir_ + sel.first()->text(0);
  FileDate = sel.first()->text(1);
  EndModal(this, ModalResult::OK);
}

void TfrmRestorFiles::btnCancelClick() {
  EndModal(this, ModalResult::Cancel);
}
