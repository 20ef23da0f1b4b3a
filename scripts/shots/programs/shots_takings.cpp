// A picture of the takings window on a loaded region, for a person to look at: a data folder made
// by the application's own structure check, one region of 24 clients and 16 titles with a day of
// takings, the window opened on it, one cell typed wrong. Writes the PNG named on the command line
// (the window alone; with --screen, the whole screen with the window manager's frame).
#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <cstdio>

#include "operations/UDisto.h"
#include "operations/UDisto1.h"
#include "operations/UGetDay.h"
#include "platform/db/Table.h"
#include "platform/sys/Clock.h"
#include "platform/ui/Dialogs.h"
#include "shell/global.h"
#include "support/AppData.h"

namespace {
using testdata::AddRow;

void Settle(int ms) {
  for (int i = 0; i < ms / 20; ++i) {
    QApplication::processEvents();
    QThread::msleep(20);
  }
}
}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: shots_takings out.png [--screen]\n");
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);
  const bool screen = argc > 2 && QString(argv[2]) == "--screen";
  InitializeFormats();
  QTemporaryDir tmp;
  testdata::MakeAppFolder(tmp.path() + "/");
  ScriptedDialogs dialogs;
  SetDialogs(&dialogs);
  SetClock(QDateTime(QDate(2005, 3, 7), QTime(7, 30)));

  AddRow("Region.db", {"01", "CENTRE VILLE"});
  AddRow("Region.db", {"02", "EST"});
  const char* titres[] = {"EL WATAN", "LE QUOTIDIEN D'ORAN", "LIBERTE", "EL KHABAR", "LE SOIR D'ALGERIE",
                          "EL MOUDJAHID", "HORIZONS", "COMPETITION", "EL HEDDAF", "JEUNE AFRIQUE",
                          "PARIS MATCH", "LE POINT", "L'EXPRESS", "ELLE", "AUTO PLUS", "SCIENCE ET VIE"};
  int i = 0;
  for (const char* t : titres) {
    ++i;
    const QString id = QString("%1").arg(i, 4, 10, QChar('0'));
    AddRow("Titre.DB", {id, i, 0, t, QString(t).left(8), i, 0.4 * i, 0.5 * i, QString::number(i < 10 ? 0 : i % 6), "A", "1",
                     true});
    AddRow("OrgaD.DB", {"01", id, i});
  }
  const char* noms[] = {"LIBRAIRIE DU CENTRE", "KIOSQUE DE LA GARE", "TABAC DES AMIS", "PRESSE 2000",
                        "MAISON DE LA PRESSE", "BUREAU DE TABAC EL NOUR", "KIOSQUE PLACE DES MARTYRS",
                        "LIBRAIRIE EL FETH", "SUPERETTE DU PORT", "RELAIS H AEROPORT", "KIOSQUE BAB EL OUED",
                        "LA PAPETERIE", "TABAC DU MARCHE", "KIOSQUE UNIVERSITE", "LIBRAIRIE DES ECOLES",
                        "TABAC LE DIDOUCHE", "KIOSQUE HYDRA", "PRESSE DU PARC", "BUREAU DE TABAC EL AMEL",
                        "KIOSQUE LES SOURCES", "LIBRAIRIE KALIMA", "TABAC DE LA POSTE", "KIOSQUE BELOUIZDAD",
                        "PRESSE ET LOISIRS"};
  i = 0;
  const QDate day(2005, 3, 7);
  for (const char* n : noms) {
    ++i;
    const QString id = QString("%1").arg(i, 4, 10, QChar('0'));
    AddRow("CLIENT.DB", {id, i, n, QVariant(), QVariant(), QVariant(), "A", "01", 0.05, 0.1, 0.1, 0.2, 0.2, 0.3});
    for (int t = 1; t <= 16; ++t)
      if ((i * 7 + t * 3) % 5 != 0) AddRow("Disto.DB", {day, id, QString("%1").arg(t, 4, 10, QChar('0')), (i * t * 13) % 40, 0.5 * t});
  }

  auto* w = new TfrmDisto1(nullptr);
  w->resize(1180, 700);
  if (QScreen* s = QGuiApplication::primaryScreen())
    w->move(s->availableGeometry().center() - QPoint(w->width() / 2, w->height() / 2));
  w->show();
  QApplication::setActiveWindow(w);
  w->activateWindow();
  Settle(400);
  // Three rows down, one title along; a cell typed wrong further on.
  w->grdDisto->setFocus();
  w->grdDisto->FocusCell(5, 9);
  w->SetCellText(8, 12, "2.5");
  w->SetCellText(10, 4, "123456789");  // wider than its column: marks, not cut digits
  w->grdDisto->FocusCell(4, 6);
  Settle(400);
  const QImage img = screen ? QGuiApplication::primaryScreen()->grabWindow(0).toImage() : w->grab().toImage();
  if (!img.save(out)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(out));
    return 1;
  }
  std::printf("%s\n", qPrintable(out));
  if (!screen) {
    // The other pictures beside the first, named after it.
    auto save = [&](QWidget* v, const char* suffix) {
      QString file = out;
      file.replace(".png", QString(suffix) + ".png");
      v->grab().save(file);
      std::printf("%s\n", qPrintable(file));
    };
    // The import's message over the middle of the window.
    w->pnlMessage->move((w->width() - w->pnlMessage->width()) / 2, (w->height() - w->pnlMessage->height()) / 2);
    w->pnlMessage->show();
    w->pnlMessage->raise();
    Settle(200);
    save(w, "_message");
    // The day-and-titles dialog and the per-client window.
    auto* g = new TfrmGetDay(nullptr);
    g->setWindowTitle("Importation");
    g->show();
    Settle(300);
    save(g, "_getday");
    delete g;
    auto* d = new TfrmDisto(nullptr);
    d->show();
    d->Client.Locate("Id", "0003");
    Settle(300);
    save(d, "_perclient");
    delete d;
  }
  SetDialogs(nullptr);
  delete w;
  return 0;
}
