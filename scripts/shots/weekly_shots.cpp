// Pictures of the weekly windows (unsold returns, payments, purchases) on generated data, for
// scripts/shots/weekly.sh: weekly_shots <output folder>. Each window is shown on the screen and
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
#include "platform/db/Table.h"
#include "platform/sys/Clock.h"
#include "platform/ui/Dialogs.h"
#include "shell/global.h"

namespace {
struct Spec {
  const char* file;
  std::vector<std::tuple<const char*, TFieldType, int>> fields;
  const char* primary;
};

void Create(const Spec& s) {
  TTable t;
  t.SetDatabaseName(DataPath);
  t.SetTableName(s.file);
  for (const auto& [n, ty, sz] : s.fields) t.FieldDefs.Add(n, ty, sz);
  t.IndexDefs.Add("", s.primary, ixPrimary | ixUnique);
  if (QString(s.file) == "CLIENT.DB") t.IndexDefs.Add("iOrd", "Ord", 0);
  if (QString(s.file) == "Region.db") t.IndexDefs.Add("iLibelle", "Libelle", 0);
  if (QString(s.file) == "Titre.DB") t.IndexDefs.Add("iOrd", "Nord", 0);
  t.CreateTable();
}

void Fill(const QString& file, const std::vector<QList<QVariant>>& rows) {
  TTable t;
  t.SetDatabaseName(DataPath);
  t.SetTableName(file);
  t.Open();
  for (const auto& r : rows) {
    t.Append();
    for (int i = 0; i < r.size(); ++i)
      if (r[i].isValid()) t.Fields(i)->Value = r[i];
    t.Post();
  }
}

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
  AppPath = tmp.path() + "/";
  DataPath = AppPath + "Data/";
  QDir().mkpath(DataPath);
  InitializeFormats();
  ScriptedDialogs dialogs;
  SetDialogs(&dialogs);
  const QDate sat(2025, 6, 7), today(2025, 6, 11);
  SetClock(QDateTime(today, QTime(9, 0)));

  Create({"Region.db", {{"Id", ftString, 2}, {"Libelle", ftString, 30}}, "Id"});
  Create({"CLIENT.DB",
          {{"Id", ftString, 4}, {"Ord", ftInteger, 0}, {"Nom", ftString, 40}, {"Adr", ftString, 50}, {"Tel", ftString, 20},
           {"Fax", ftString, 20}, {"Site", ftString, 1}, {"Region", ftString, 2}, {"Ab0", ftCurrency, 0},
           {"Ab1", ftCurrency, 0}, {"Ab2", ftCurrency, 0}, {"Ab3", ftCurrency, 0}, {"Ab4", ftCurrency, 0},
           {"Ab5", ftCurrency, 0}},
          "Id"});
  Create({"Titre.DB",
          {{"Id", ftString, 4}, {"Nord", ftSmallint, 0}, {"Couleur", ftInteger, 0}, {"Titre", ftString, 30},
           {"Diminutif", ftString, 15}, {"Num", ftInteger, 0}, {"Pha", ftCurrency, 0}, {"Prix", ftCurrency, 0},
           {"Periode", ftString, 1}, {"Site", ftString, 1}, {"Imprimerie", ftString, 1}, {"Liste", ftBoolean, 0}},
          "Id"});
  Create({"Disto.DB",
          {{"DateJ", ftDate, 0}, {"Id_Client", ftString, 4}, {"Id_Titre", ftString, 4}, {"Qte_Prise", ftInteger, 0},
           {"PU", ftCurrency, 0}},
          "DateJ;Id_Client;Id_Titre"});
  Create({"Retour.DB",
          {{"Week", ftDate, 0}, {"Id_Client", ftString, 4}, {"Id_Titre", ftString, 4}, {"Qte", ftInteger, 0}},
          "Week;Id_Client;Id_Titre"});
  Create({"VCR.DB", {{"Week", ftDate, 0}, {"Id_Client", ftString, 4}, {"Montant", ftCurrency, 0}}, "Week;Id_Client"});
  Create({"Ha.DB", {{"DateH", ftDate, 0}, {"Id", ftString, 4}, {"Qte", ftInteger, 0}, {"Pu", ftCurrency, 0}}, "DateH;Id"});

  Fill("Region.db", {{"01", "ALGER CENTRE"}, {"02", "BAB EL OUED"}, {"03", "HUSSEIN DEY"}});
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
  Fill("CLIENT.DB", rows);
  rows.clear();
  for (int t = 1; t <= 16; ++t)
    rows.push_back({bench::Code(t, 4), t, 0, titres[t - 1], {}, 0, bench::Price(t) * 0.8, bench::Price(t) * 10,
                    t < 10 ? "0" : "1", "A", "1", false});
  Fill("Titre.DB", rows);
  bench::Rng rng;
  rows.clear();
  for (int d = 0; d < 7; ++d)
    for (int c = 1; c <= 12; ++c)
      for (int t = 1; t <= 16; ++t)
        rows.push_back({sat.addDays(d), bench::Code(c, 4), bench::Code(t, 4), 2 + rng.Quantity(),
                        bench::Price(t) * 10 - bench::Rebate(c, t < 10 ? 0 : 1)});
  Fill("Disto.DB", rows);
  rows.clear();
  for (int c = 1; c <= 12; ++c)
    for (int t = 1; t <= 16; ++t) rows.push_back({sat, bench::Code(c, 4), bench::Code(t, 4), rng.Quantity() / 2});
  Fill("Retour.DB", rows);
  Fill("Retour.DB", {{sat.addDays(-7), "0001", "0001", 0}});
  rows.clear();
  for (int c = 1; c <= 12; ++c)
    if (c % 4 != 0) rows.push_back({sat, bench::Code(c, 4), 1000.0 + 137.5 * c});
  Fill("VCR.DB", rows);
  rows.clear();
  for (int d = 0; d < 5; ++d)
    for (int t = 1; t <= 16; ++t) rows.push_back({sat.addDays(d), bench::Code(t, 4), 100 + 10 * t + d, bench::Price(t) * 8});
  Fill("Ha.DB", rows);

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
