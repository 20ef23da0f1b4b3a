#include "shell/USplash.h"

#include <QFrame>
#include <QGraphicsDropShadowEffect>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

#include "shell/global.h"

TfrmSplash::TfrmSplash(QWidget* owner) : QWidget(owner, Qt::SplashScreen | Qt::FramelessWindowHint) {
  setObjectName("frmSplash");
  setFixedSize(337, 104);
  Panel1 = new QFrame(this);
  Panel1->setObjectName("Panel1");
  Panel1->setGeometry(0, 0, 337, 104);
  Panel1->setFrameShape(QFrame::Panel);
  Panel1->setFrameShadow(QFrame::Raised);
  Panel1->setLineWidth(4);
  Panel1->setStyleSheet(
      "QFrame#Panel1 { border: 4px outset #c0c0c0; background: qlineargradient(x1:0, y1:0, x2:1, y2:0,"
      " stop:0 #808080, stop:0.5 #000080, stop:1 #808080); }");

  lblVersion = new QLabel(this);
  lblVersion->setObjectName("lblVersion");
  lblVersion->setAlignment(Qt::AlignCenter);
  lblVersion->setGeometry(8, 14, 321, 50);
  QFont big("Verdana", 24);
  big.setBold(true);
  lblVersion->setFont(big);
  lblVersion->setStyleSheet("color: white; background: transparent;");
  auto* shadow = new QGraphicsDropShadowEffect(lblVersion);
  shadow->setColor(Qt::black);
  shadow->setOffset(2, 2);
  shadow->setBlurRadius(0);
  lblVersion->setGraphicsEffect(shadow);

  Label1 = new QLabel("Chargement en cours...", this);
  Label1->setObjectName("Label1");
  Label1->setAlignment(Qt::AlignCenter);
  Label1->setGeometry(8, 74, 321, 20);
  Label1->setStyleSheet("color: white; background: transparent;");

  lblVersion->setText(Version);
  if (QScreen* s = QGuiApplication::primaryScreen()) move(s->geometry().center() - rect().center());
}
