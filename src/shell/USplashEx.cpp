#include "shell/USplashEx.h"

#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QPixmap>

#include "controls/Gradient.h"
#include "controls/VxLabel.h"
#include "platform/sys/Jpeg.h"
#include "shell/Resources.h"
#include "shell/global.h"

namespace {
QPixmap JpegResource(const QString& name) {
  QFile f(":/zelm/" + name);
  if (!f.open(QIODevice::ReadOnly)) return QPixmap();
  return QPixmap::fromImage(DecodeJpeg(f.readAll()));
}

// "ZELM" as the box spells it: a blank after each letter.
QString Spaced(const QString& s) {
  QString r;
  for (QChar c : s) r += QString(c) + ' ';
  return r;
}
}  // namespace

TfrmSplashEx::TfrmSplashEx(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
  InitShellResources();
  setObjectName("frmSplashEx");
  setWindowTitle("A propos ...");
  setStyleSheet("QLabel { color: navy; background: transparent; }");
  Gradient1 = new TGradient(this);
  Gradient1->setObjectName("Gradient1");
  Gradient1->BeginUpdate();
  Gradient1->SetColorEnd(clSilver);
  Gradient1->SetStyle(TGradientStyle::gsReflectedV);
  Gradient1->EndUpdate();
  Gradient1->SetAlign(TAlign::alClient);

  Image1 = new QLabel(this);
  Image1->setObjectName("Image1");
  Image1->setPixmap(JpegResource("logo.jpg"));
  Image2 = new QLabel(this);
  Image2->setObjectName("Image2");
  Image2->setPixmap(JpegResource("journal.jpg"));

  lblProduit = new QLabel(Spaced("ZELM"), this);
  lblProduit->setObjectName("lblProduit");
  QFont big("Verdana", 26);
  big.setBold(true);
  lblProduit->setFont(big);
  lblProduit->setAlignment(Qt::AlignCenter);

  lblVersion = new TVxLabel(this);
  lblVersion->setObjectName("lblVersion");
  lblVersion->BeginLoading();
  lblVersion->SetAlignment(TAlignment::taCenter);
  lblVersion->SetTransparent(true);
  QFont ver("Times New Roman");
  SetFontHeight(ver, -37);
  ver.setBold(true);
  lblVersion->setFont(ver);
  lblVersion->SetFontColor(clGray);
  lblVersion->SetTextStyle(TTextStyle::tsRaised);
  lblVersion->SetShadowColor(clBlack);
  lblVersion->Loaded();

  lblSlogan = new TVxLabel(this);
  lblSlogan->setObjectName("lblSlogan");
  lblSlogan->BeginLoading();
  lblSlogan->SetAlignment(TAlignment::taCenter);
  lblSlogan->SetTransparent(true);
  QFont it("Verdana", 11);
  it.setItalic(true);
  lblSlogan->setFont(it);
  lblSlogan->SetFontColor(clNavy);
  lblSlogan->SetCaption("La Distribution de journaux maitrisée");
  lblSlogan->Loaded();

  lblAuteur = new QLabel("Programme conçu et développé par :\nL'équipe ZELM\nLogiciels pour la presse et la distribution", this);
  lblAuteur->setObjectName("lblAuteur");
  lblAuteur->setAlignment(Qt::AlignCenter);

  auto* lay = new QGridLayout(this);
  lay->setContentsMargins(16, 16, 16, 16);
  lay->setHorizontalSpacing(16);
  lay->addWidget(Image1, 0, 0, 3, 1, Qt::AlignTop);
  lay->addWidget(lblProduit, 0, 1);
  lay->addWidget(lblVersion, 1, 1);
  lay->addWidget(lblSlogan, 2, 1);
  lay->addWidget(Image2, 0, 2, 3, 1, Qt::AlignTop);
  lay->addWidget(lblAuteur, 3, 0, 1, 3);

  lblVersion->setText(Version);
  adjustSize();
  setFixedSize(sizeHint());
}
