// Pictures of the weekly windows (unsold returns, payments, purchases) on generated data, for
// scripts/shots/weekly.sh: shots_weekly <output folder>. Each window is shown on the screen and
// grabbed with its frame, so that a window manager's decorations are in the picture.
#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <cstdio>

#include "BenchData.h"
#include "operations/UHa.h"
#include "operations/UListVCR.h"
#include "operations/URetour.h"
#include "platform/sys/Clock.h"
#include "platform/ui/Dialogs.h"
#include "shell/global.h"
#include "support/AppData.h"

namespace {
void Shot(QWidget* w, const QString& file) {
  w->show();
  w->raise();
  w->activateWindow();
  for (int i = 0; i < 20; ++i) {
    QApplication::processEvents();
    QThread::msleep(25);
  }
  const QRect f = w->frameGeometry();
  QPixmap p = QGuiApplication::primaryScreen()->grabWindow(0, f.x(), f.y(), f.width(), f.height());
  if (p.isNull() || p.width() < 10) p = w->grab();
  p.save(file);
  std::printf("%s\n", qPrintable(file));
}
}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString("shots");
  QDir().mkpath(out);
  QTemporaryDir tmp;
  testdata::MakeAppFolder(tmp.path() + "/");
  InitializeFormats();
  ScriptedDialogs dialogs;
  SetDialogs(&dialogs);
  const QDate sat(2025, 6, 7), today(2025, 6, 11);
  SetClock(QDateTime(today, QTime(9, 0)));

  testdata::AddRows("Region.db", {{"01", "ALGER CENTRE"}, {"02", "BAB EL OUED"}, {"03", "HUSSEIN DEY"}});
  const char* noms[] = {"LIBRAIRIE DU CENTRE", "KIOSQUE DE LA GARE", "TABAC DES AMIS", "PRESSE 2000",
                        "MAISON DE LA PRESSE", "TABAC EL NOUR", "KIOSQUE DES MARTYRS", "LIBRAIRIE EL FETH",
                        "SUPERETTE DU PORT", "RELAIS AEROPORT", "KIOSQUE UNIVERSITE", "LA PAPETERIE"};
  const char* titres[] = {"EL WATAN", "LE QUOTIDIEN D'ORAN", "LIBERTE", "EL KHABAR", "LE SOIR D'ALGERIE",
                          "EL MOUDJAHID", "HORIZONS", "COMPETITION", "EL HEDDAF", "JEUNE AFRIQUE",
                          "PARIS MATCH", "LE POINT", "L'EXPRESS", "ELLE", "AUTO PLUS", "SCIENCE ET VIE"};
  std::vector<QList<QVariant>> rows;
  for (int c = 1; c <= 12; ++c)
    rows.push_back({bench::Code(c, 4), c, noms[c - 1], {}, {}, {}, "A", "01", bench::Rebate(c, 0),
                    bench::Rebate(c, 1), 0, 0, 0, 0});
  testdata::AddRows("CLIENT.DB", rows);
  rows.clear();
  for (int t = 1; t <= 16; ++t)
    rows.push_back({bench::Code(t, 4), t, 0, titres[t - 1], {}, 0, bench::Price(t) * 0.8, bench::Price(t) * 10,
                    t < 10 ? "0" : "1", "A", "1", false});
  testdata::AddRows("Titre.DB", rows);
  bench::Rng rng;
  rows.clear();
  for (int d = 0; d < 7; ++d)
    for (int c = 1; c <= 12; ++c)
      for (int t = 1; t <= 16; ++t)
        rows.push_back({sat.addDays(d), bench::Code(c, 4), bench::Code(t, 4), 2 + rng.Quantity(),
                        bench::Price(t) * 10 - bench::Rebate(c, t < 10 ? 0 : 1)});
  testdata::AddRows("Disto.DB", rows);
  rows.clear();
  for (int c = 1; c <= 12; ++c)
    for (int t = 1; t <= 16; ++t) rows.push_back({sat, bench::Code(c, 4), bench::Code(t, 4), rng.Quantity() / 2});
  testdata::AddRows("Retour.DB", rows);
  testdata::AddRows("Retour.DB", {{sat.addDays(-7), "0001", "0001", 0}});
  rows.clear();
  for (int c = 1; c <= 12; ++c)
    if (c % 4 != 0) rows.push_back({sat, bench::Code(c, 4), 1000.0 + 137.5 * c});
  testdata::AddRows("VCR.DB", rows);
  rows.clear();
  for (int d = 0; d < 5; ++d)
    for (int t = 1; t <= 16; ++t) rows.push_back({sat.addDays(d), bench::Code(t, 4), 100 + 10 * t + d, bench::Price(t) * 8});
  testdata::AddRows("Ha.DB", rows);

  {
    TfrmRetour w;
    w.resize(1100, 560);
    w.show();
    QApplication::processEvents();
    w.cmbRegion->SetKeyValue("01");
    w.LoadGrid();
    w.grdRetour->FocusCell(6, 5);
    Shot(&w, out + "/weekly_retour.png");
    w.ShowTotals("0002");
    w.grdRetour->FocusCell(5, 4);
    Shot(&w, out + "/weekly_retour_totals.png");
    w.Modified = false;
  }
  {
    TfrmListVCR w;
    w.grdVCR->FocusCell(2, 3);
    Shot(&w, out + "/weekly_vcr.png");
  }
  {
    TfrmHa w;
    Shot(&w, out + "/weekly_ha.png");
  }
  SetDialogs(nullptr);
  return 0;
}
