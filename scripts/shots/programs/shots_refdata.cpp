// The clients, titles, lists, regions, issue-numbering and titles-per-region windows over a few
// rows of plausible data, drawn into FOLDER as refdata_*.png.
//   shots_refdata FOLDER
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include "platform/db/Table.h"
#include "platform/ui/DBGrids.h"
#include "platform/ui/Dialogs.h"
#include "refdata/UClient.h"
#include "refdata/UListe.h"
#include "refdata/UNumTitre.h"
#include "refdata/UOrgaD.h"
#include "refdata/URegion.h"
#include "refdata/UTitres.h"
#include "shell/global.h"
#include "support/AppData.h"

namespace {
QString g_dir;
using testdata::AddRow;

QString Code(int i) { return QString("%1").arg(i, 4, 10, QChar('0')); }

void Shoot(QWidget* w, const QString& name) {
  w->show();
  QApplication::setActiveWindow(w);
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
  const QString file = g_dir + "/refdata_" + name + ".png";
  if (w->grab().save(file)) printf("%s\n", qPrintable(file));
}

template <class F>
void Guarded(const char* name, F f) {
  try {
    f();
  } catch (const Exception& e) {
    fprintf(stderr, "%s: %s\n", name, qPrintable(e.Message()));
  }
}

void Fill() {
  const char* regions[][2] = {{"01", "NORD"}, {"02", "L'EST"}, {"03", "CENTRE VILLE"}};
  for (auto& r : regions) AddRow("Region.db", {r[0], r[1]});
  AddRow("Site.DB", {"A", "ALGER"});
  AddRow("Site.DB", {"B", "BLIDA"});
  AddRow("IMPRIMERIE.DB", {"1", "SIMPREC"});
  AddRow("IMPRIMERIE.DB", {"2", "SIA"});
  const char* noms[] = {"LIBRAIRIE DU CENTRE", "KIOSQUE DE LA GARE", "TABAC DES AMIS", "PRESSE 2000",
                        "MAISON DE LA PRESSE", "BUREAU DE TABAC EL NOUR", "KIOSQUE PLACE DES MARTYRS",
                        "LIBRAIRIE EL FETH", "SUPERETTE DU PORT", "RELAIS H AEROPORT", "KIOSQUE BAB EL OUED",
                        "LA PAPETERIE", "TABAC DU MARCHE", "KIOSQUE UNIVERSITE"};
  int i = 0;
  for (const char* n : noms) {
    ++i;
    AddRow("CLIENT.DB", {Code(i), i, n, "12 RUE DIDOUCHE MOURAD", "021 63 45 12", QVariant(), i % 2 ? "A" : "B",
                         regions[i % 3][0], 0.5, 1, 1.5, 2, 2.5, 3});
  }
  const char* titres[] = {"EL WATAN", "LE QUOTIDIEN D'ORAN", "LIBERTE", "EL KHABAR", "LE SOIR D'ALGERIE",
                          "EL MOUDJAHID", "HORIZONS", "COMPETITION", "EL HEDDAF", "JEUNE AFRIQUE",
                          "PARIS MATCH", "LE POINT", "L'EXPRESS", "ELLE", "AUTO PLUS", "SCIENCE ET VIE"};
  i = 0;
  for (const char* t : titres) {
    ++i;
    AddRow("Titre.DB", {Code(i), i, int(0x0000C0 * (i % 3)), t, QString(t).left(8), i * 3, 0.4 * i, 0.5 * i,
                        QString::number(i < 10 ? 0 : i % 6), "A", i % 2 ? "1" : "2"});
  }
  for (int t = 1; t <= 6; ++t) AddRow("OrgaD.DB", {"01", Code(t), t});
  for (int t = 1; t <= 5; ++t) AddRow("TLISTE.DB", {1, t, "01", Code(t), "NORD MATIN"});
}
}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    fprintf(stderr, "usage: shots_refdata FOLDER\n");
    return 2;
  }
  g_dir = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(g_dir);
  QTemporaryDir program;
  testdata::MakeAppFolder(program.path() + "/");
  CurrentListNo = 1;
  ScriptedDialogs dlg;
  SetDialogs(&dlg);
  Fill();

  Guarded("clients", [] {
    TfrmClient w;
    w.Client.Locate("Id", "0003");
    Shoot(&w, "clients");
  });
  Guarded("titres", [] {
    TfrmTitres w;
    w.Titre.Locate("Id", "0002");
    Shoot(&w, "titres");
  });
  Guarded("listes", [] {
    TfrmListe w;
    w.show();
    QApplication::setActiveWindow(&w);
    QTest::keyClick(&w, Qt::Key_F5);
    w.grdListe->SetRow(2);
    for (int rec : {1, 3}) {
      const QRect r = w.grdTitre->CellRect(0, rec);
      QTest::mouseClick(w.grdTitre->viewport(), Qt::LeftButton, Qt::ControlModifier, r.center());
    }
    Shoot(&w, "listes");
  });
  Guarded("regions", [] {
    TfrmRegion w;
    Shoot(&w, "regions");
  });
  Guarded("numtitre", [] {
    TfrmNumTitre w;
    Shoot(&w, "numtitre");
  });
  Guarded("orgad", [] {
    TfrmOrgaD w;
    Shoot(&w, "orgad");
  });
  SetDialogs(nullptr);
  return 0;
}
