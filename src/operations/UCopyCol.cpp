#include "operations/UCopyCol.h"

#include "platform/ui/Dialogs.h"

TfrmCopyCol::TfrmCopyCol(QWidget* parent) : TAppForm(parent) {
  setObjectName("frmCopyCol");
  setWindowTitle("Copie de Prises");
  setFixedSize(360, 170);
  Label1 = MakeLabel(this, "Prises à copier : ", 12, 16, 110);
  cmbColSource = new QComboBox(this);
  cmbColSource->setObjectName("cmbColSource");
  cmbColSource->setGeometry(124, 12, 224, 24);
  Label2 = MakeLabel(this, "Prises cibles : ", 12, 52, 110);
  cmbColCible = new QComboBox(this);
  cmbColCible->setObjectName("cmbColCible");
  cmbColCible->setGeometry(124, 48, 224, 24);
  btnOk = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), "Copier", this);
  btnOk->setObjectName("btnOk");
  btnOk->setGeometry(160, 96, 90, 30);
  btnOk->setDefault(true);
  btnOk->setEnabled(false);
  BitBtn2 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), "Annuler", this);
  BitBtn2->setObjectName("BitBtn2");
  BitBtn2->setGeometry(258, 96, 90, 30);
  BitBtn2->setAutoDefault(false);
  stBar = new TPanelStatusBar(this, {});
  stBar->setGeometry(0, 148, 360, 22);
  connect(cmbColCible, &QComboBox::currentIndexChanged, this, [this] { GuardEvent([this] { cmbColCibleChange(); }); });
  OnClick(btnOk, this, &TfrmCopyCol::btnOkClick);
  connect(BitBtn2, &QPushButton::clicked, this, [this] {
    EndModal(this, ModalResult::Cancel);
  });
  CenterOnScreen();
}

void TfrmCopyCol::SetTitles(const QStringList& titles) {
  cmbColSource->clear();
  cmbColCible->clear();
  cmbColSource->addItems(titles);
  cmbColCible->addItems(titles);
  cmbColSource->setCurrentIndex(titles.isEmpty() ? -1 : 0);
  cmbColCible->setCurrentIndex(-1);
  btnOk->setEnabled(false);
}

void TfrmCopyCol::cmbColCibleChange() {
  btnOk->setEnabled(cmbColCible->currentIndex() >= 0 && cmbColSource->currentIndex() != cmbColCible->currentIndex());
}

void TfrmCopyCol::btnOkClick() {
  const QString text = "Les prises du journal : " + cmbColCible->currentText() + " seront remplacées par celles du journal " +
                       cmbColSource->currentText() + "\rEtes-vous sûr de vouloir procéder au remplacement ?";
  if (MessageDlg(text, MsgDlgType::Confirmation, mbYes | mbCancel) != ModalResult::Yes) return;
  EndModal(this, ModalResult::OK);
}
