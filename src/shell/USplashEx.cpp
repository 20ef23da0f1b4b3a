#include "shell/USplashEx.h"

#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QPixmap>

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
  setStyleSheet(
      "QDialog#frmSplashEx { background: qlineargradient(x1:0, y1:0, x2:0, y2:1,"
      " stop:0 #000080, stop:0.5 #5EAEFF, stop:1 #000080); }"
      "QLabel { color: white; background: transparent; }");

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

  lblVersion = new QLabel(this);
  lblVersion->setObjectName("lblVersion");
  QFont ver("Verdana", 14);
  ver.setBold(true);
  lblVersion->setFont(ver);
  lblVersion->setAlignment(Qt::AlignCenter);

  lblSlogan = new QLabel("La Distribution de journaux maitrisée", this);
  lblSlogan->setObjectName("lblSlogan");
  QFont it("Verdana", 11);
  it.setItalic(true);
  lblSlogan->setFont(it);
  lblSlogan->setAlignment(Qt::AlignCenter);

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
