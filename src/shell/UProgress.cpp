#include "shell/UProgress.h"

#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

QPointer<TfrmProgress> frmProgress;

TfrmProgress::TfrmProgress(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
  setObjectName("frmProgress");
  setWindowTitle("Traitement en cours");
  setFixedSize(576, 50);
  QFont bold("Verdana");
  bold.setBold(true);

  lProgress = new QLabel("Traitement en cours ... Patientez.", this);
  lProgress->setObjectName("lProgress");
  lProgress->setFont(bold);
  lProgress->setAlignment(Qt::AlignCenter);
  lProgress->setGeometry(0, 2, 576, 20);
  lProgress->setStyleSheet("color: #404040;");

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
