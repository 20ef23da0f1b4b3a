#include "shell/USplash.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

#include "controls/Gradient.h"
#include "controls/VxLabel.h"
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
  Panel1->setStyleSheet("QFrame#Panel1 { border: 4px outset #c0c0c0; }");
  Gradient1 = new TGradient(Panel1);
  Gradient1->setObjectName("Gradient1");
  Gradient1->BeginUpdate();
  Gradient1->SetColorEnd(clGray);
  Gradient1->SetReverse(true);
  Gradient1->SetStyle(TGradientStyle::gsReflectedH);
  Gradient1->EndUpdate();
  Gradient1->SetAlign(TAlign::alClient);

  lblVersion = new TVxLabel(this);
  lblVersion->setObjectName("lblVersion");
  lblVersion->BeginLoading();
  lblVersion->SetAutoSize(false);
  lblVersion->setGeometry(8, 14, 321, 50);
  lblVersion->SetAlignment(TAlignment::taCenter);
  lblVersion->SetTransparent(true);
  QFont big("Times New Roman");
  SetFontHeight(big, -37);
  big.setBold(true);
  lblVersion->setFont(big);
  lblVersion->SetFontColor(clGray);
  lblVersion->SetTextStyle(TTextStyle::tsRaised);
  lblVersion->SetShadowColor(clBlack);
  lblVersion->Loaded();

  Label1 = new QLabel("Chargement en cours...", this);
  Label1->setObjectName("Label1");
  Label1->setAlignment(Qt::AlignCenter);
  Label1->setGeometry(8, 74, 321, 20);
  Label1->setStyleSheet("color: black; background: transparent;");

  lblVersion->setText(Version);
  if (QScreen* s = QGuiApplication::primaryScreen()) move(s->geometry().center() - rect().center());
}
