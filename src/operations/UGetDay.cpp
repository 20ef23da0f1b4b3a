#include "operations/UGetDay.h"

#include <QShowEvent>

#include "controls/Gradient.h"
#include "platform/sys/Formats.h"
#include "platform/ui/Dialogs.h"
#include "shell/global.h"

QListWidget* MakeTitleColumns(QWidget* parent, const QRect& geometry, int columnWidth) {
  auto* list = new QListWidget(parent);
  list->setObjectName("lstTitle");
  list->setGeometry(geometry);
  list->setFont(QFont("Verdana", 8));
  list->setFlow(QListView::TopToBottom);
  list->setWrapping(true);
  list->setResizeMode(QListView::Adjust);
  list->setGridSize(QSize(columnWidth, 18));
  return list;
}

QString TDayChoice::Question(const QString& what, const QString& scopeText) const {
  return "Vous avez choisi " + what + " les prises du " + DayName(day) + ", " + dayText + " " + scopeText +
         "\r\rContinuer le traitement ?";
}

std::optional<TDayChoice> AskDayChoice(const QString& caption, const QString& kind, const QString& excludedDay) {
  auto* f = new TfrmGetDay(nullptr);
  f->ExcludedDay = excludedDay;
  f->setWindowTitle(caption);
  f->lKind->setText(kind);
  const ModalResult result = Dialogs().RunModal(f);
  TDayChoice choice;
  choice.dayText = f->cmbDay->currentText();
  choice.allClients = f->cmbClient->currentIndex() == 1;
  delete f;
  if (result != ModalResult::OK) return std::nullopt;
  const auto day = TryStrToDate(choice.dayText);
  if (!day) return std::nullopt;
  choice.day = *day;
  return choice;
}

TfrmGetDay::TfrmGetDay(QWidget* parent) : TAppForm(parent) {
  setObjectName("frmGetDay");
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  QDate.SQL.Add("SELECT DISTINCT DateJ ");
  QDate.SQL.Add("FROM DISTO.DB");
  QDate.SQL.Add("ORDER BY DATEJ DESCENDING");
  qTitle.SQL.Add("SELECT ID, NORD, TITRE FROM TITRE ORDER BY NORD");
  InDataPath(QDate);
  InDataPath(qTitle);

  setFixedSize(470, 420);  // refuses every change of size
  Gradient1 = GradientBackground(this, QRect(0, 0, 470, 398));
  lKind = MakeLabel(this, "Importer les prises de :", 12, 10, 200);
  SetBold(lKind);
  Label2 = MakeLabel(this, "Appliquer pour  : ", 250, 10, 200);
  lDay = new QLabel(this);
  lDay->setObjectName("lDay");
  lDay->setGeometry(12, 30, 90, 24);
  lDay->setFrameShape(QFrame::Box);
  lDay->setAlignment(Qt::AlignCenter);
  lDay->setAutoFillBackground(true);
  cmbDay = new QComboBox(this);
  cmbDay->setObjectName("cmbDay");
  cmbDay->setGeometry(106, 30, 120, 24);
  SetBold(cmbDay);
  cmbClient = new QComboBox(this);
  cmbClient->setObjectName("cmbClient");
  cmbClient->setGeometry(250, 30, 200, 24);
  cmbClient->addItems({"Le client courant", "Tous les clients"});
  Label3 = MakeLabel(this, "Cocher les prises à importer", 12, 64, 250);
  lstTitle = MakeTitleColumns(this, QRect(12, 84, 446, 256), 214);
  btnSelectAll = new QPushButton("Tout sélectionner", this);
  btnSelectAll->setObjectName("btnSelectAll");
  BtnInvertSel = new QPushButton("Inverser la sélection", this);
  BtnInvertSel->setObjectName("BtnInvertSel");
  btnOk = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), "OK", this);
  btnOk->setObjectName("btnOk");
  BitBtn2 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), "Annuler", this);
  BitBtn2->setObjectName("BitBtn2");
  int x = 12;
  for (QPushButton* b : {btnSelectAll, BtnInvertSel, btnOk, BitBtn2}) {
    const int w = b == btnOk || b == BitBtn2 ? 90 : 124;
    b->setGeometry(x, 352, w, 30);
    b->setAutoDefault(false);
    x += w + 6;
  }
  btnOk->setDefault(true);
  stBar = new TPanelStatusBar(this, {});
  stBar->setGeometry(0, 398, 470, 22);

  connect(cmbDay, &QComboBox::currentIndexChanged, this, [this] { GuardEvent([this] { cmbDayChange(); }); });
  connect(cmbClient, &QComboBox::currentIndexChanged, this, [this] { GuardEvent([this] { cmbDayChange(); }); });
  OnClick(btnSelectAll, this, &TfrmGetDay::btnSelectAllClick);
  OnClick(BtnInvertSel, this, &TfrmGetDay::BtnInvertSelClick);
  connect(btnOk, &QPushButton::clicked, this, [this] {
    EndModal(this, ModalResult::OK);
  });
  connect(BitBtn2, &QPushButton::clicked, this, [this] {
    EndModal(this, ModalResult::Cancel);
  });
  CenterOnScreen();
}

void TfrmGetDay::showEvent(QShowEvent* e) {
  TAppForm::showEvent(e);
  if (!shown_) {
    shown_ = true;
    GuardEvent([this] { FormShow(); });
  }
}

void TfrmGetDay::FormShow() {
  lstTitle->clear();
  qTitle.Open();
  for (const auto& row : qTitle.ReadRows(0, qTitle.RecordCount())) {
    auto* item = new QListWidgetItem(row[0].toString() + ". " + row[2].toString(), lstTitle);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Checked);
  }
  qTitle.Close();
  cmbDay->blockSignals(true);
  cmbDay->clear();
  QDate.Open();
  for (const auto& row : QDate.ReadRows(0, QDate.RecordCount())) {
    const QString day = DateToStr(row[0].toDate());
    if (day != ExcludedDay) cmbDay->addItem(day);
  }
  QDate.Close();
  cmbDay->blockSignals(false);
  if (cmbDay->count() > 0) {
    cmbDay->setCurrentIndex(0);
    cmbDayChange();
  }
  cmbClient->setCurrentIndex(0);
  btnOk->setEnabled(cmbDay->count() > 0);
}

void TfrmGetDay::cmbDayChange() {
  if (auto d = TryStrToDate(cmbDay->currentText())) lDay->setText(DayName(*d));
}

void TfrmGetDay::btnSelectAllClick() {
  for (int i = 0; i < lstTitle->count(); ++i) lstTitle->item(i)->setCheckState(Qt::Checked);
}

void TfrmGetDay::BtnInvertSelClick() {
  for (int i = 0; i < lstTitle->count(); ++i) {
    QListWidgetItem* it = lstTitle->item(i);
    it->setCheckState(it->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
  }
}

void TfrmGetDay::FillSelectedTitles(bool ok) {
  if (!SelectedTitles) SelectedTitles = new QStringList;
  SelectedTitles->clear();
  if (!ok) return;
  for (int i = 0; i < lstTitle->count(); ++i) {
    QListWidgetItem* it = lstTitle->item(i);
    if (it->checkState() == Qt::Checked) *SelectedTitles << it->text().section('.', 0, 0);
  }
}

void TfrmGetDay::done(int r) {
  const ModalResult own = GetModalResult(this);
  FillSelectedTitles(own == ModalResult::OK || (own == ModalResult::None && r == QDialog::Accepted));
  TAppForm::done(r);
}
