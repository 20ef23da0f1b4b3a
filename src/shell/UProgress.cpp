#include "shell/UProgress.h"

#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

#include "controls/VxLabel.h"

QPointer<TfrmProgress> frmProgress;

TfrmProgress::TfrmProgress(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
  setObjectName("frmProgress");
  setWindowTitle("Traitement en cours");
  setFixedSize(576, 50);
  QFont bold("Verdana");
  bold.setBold(true);

  lProgress = new TVxLabel(this);
  lProgress->setObjectName("lProgress");
  lProgress->BeginLoading();
  lProgress->SetAutoSize(false);
  lProgress->setGeometry(0, 2, 576, 20);
  lProgress->SetAlignment(TAlignment::taCenter);
  lProgress->SetTransparent(true);
  lProgress->setFont(bold);
  lProgress->SetFontColor(RGB(0x40, 0x40, 0x40));
  lProgress->SetTextStyle(TTextStyle::tsRecessed);
  lProgress->SetLightTextStyle(true);
  lProgress->SetCaption("Traitement en cours ... Patientez.");
  lProgress->Loaded();

  Panel1 = new QFrame(this);
  Panel1->setObjectName("Panel1");
  Panel1->setFrameShape(QFrame::Panel);
  Panel1->setFrameShadow(QFrame::Sunken);
  Panel1->setGeometry(4, 24, 568, 24);
  MyGauge = new QProgressBar(Panel1);
  MyGauge->setObjectName("MyGauge");
  MyGauge->setOrientation(Qt::Horizontal);
  MyGauge->setTextVisible(true);
  MyGauge->setAlignment(Qt::AlignCenter);
  MyGauge->setFont(bold);
  MyGauge->setRange(0, 100);
  MyGauge->setValue(0);
  MyGauge->setStyleSheet(
      "QProgressBar { background: white; color: black; border: none; text-align: center; }"
      "QProgressBar::chunk { background: navy; }");
  MyGauge->setGeometry(2, 2, 564, 20);
}
