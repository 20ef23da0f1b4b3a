// Pictures of the reports: the chooser and the preview as PNG, a run of delivery notes and a
// list as PDF (scripts/shots/reports.sh turns them into PNG). shots_reports <folder>
#include <QApplication>
#include <QPrinter>

#include "../../../tests/reports/ReportsFixture.h"
#include "platform/db/Transaction.h"
#include "reports/UPreview.h"
#include "reports/UPrint.h"
#include "reports/URptBon.h"
#include "reports/URptListe.h"
#include "shell/global.h"

namespace {
struct Shots : ReportsTest {
  void TestBody() override {}
  void Fill() {
    FillWeek();
    TDbTransaction tx(DataPath);
    const char* names[] = {"LE MATIN", "SPORT PLUS", "TELE STAR", "AUTO MAG", "LA GAZETTE", "FEMMES"};
    const int colours[] = {0x000080, 0x008000, 0x800080, 0x808000, 0x000000, 0x0000FF};
    for (int i = 0; i < 6; ++i) {
      const QString id = QString("T1%1").arg(i, 2, 10, QChar('0'));
      AddRow("Titre.DB", {id, 10 + i, colours[i], names[i], QString(names[i]).left(6), i % 2 ? 7 + i : 0, 0.5,
                          1.2 + i, i % 2 ? "1" : "0", "A", "1", false});
      for (const char* c : {"C001", "C002", "C003", "C005"})
        AddTaking(QDate(2004, 1, 5), c, id, (i * 3 + c[3]) % 9);
      AddRow("TLISTE.DB", {1, i + 4, "01", id, "Liste du matin"});
    }
    for (int i = 0; i < 3; ++i) AddRow("TLISTE.DB", {1, i + 1, "01", QString("T00%1").arg(i + 1), "Liste du matin"});
    // Names as long as their fields hold, beside figures.
    const QVariant n;
    AddRow("CLIENT.DB", {"C006", 3, "BRAVO TABAC PRESSE DU CENTRE VILLE MAGNY", n, n, n, "A", "01", 0, 0, 0, 0, 0, 0});
    AddRow("Titre.DB", {"T200", 20, 0x800000, "MAGAZINE MENSUEL DES WEEK-ENDS", "MAGAZINES WEEKS", 123, 1.0, 12.5, "1",
                        "A", "1", false});
    AddRow("TLISTE.DB", {1, 10, "01", "T200", "Liste du matin"});
    for (const char* t : {"T001", "T100", "T101", "T200"}) AddTaking(QDate(2004, 1, 5), "C006", t, 888);
    // Titles too long for their column beside their issue (BRAVO's note, the preview's page).
    const std::pair<const char*, int> issues[] = {
        {"MAGAZINE BIMENSUEL", 2}, {"GAZETTE HEBDOMADAIRE", 7}, {"LE MONDE DES ANIMAUX DE COMPAG", 1234}};
    for (int i = 0; i < 3; ++i) {
      const QString id = QString("T30%1").arg(i);
      AddRow("Titre.DB", {id, 30 + i, 0, issues[i].first, "MAG", issues[i].second, 1.0, 3.5, "1", "A", "1", false});
      AddTaking(QDate(2004, 1, 6), "C002", id, 4 + i);
    }
  }
};

bool Pdf(TRPrintJob* job, const QString& file) {
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(file);
  return job && job->Print(printer);
}
}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QString out = QString::fromLocal8Bit(argc > 1 ? argv[1] : ".") + "/";
  Shots s;
  s.Fill();
  // Longer than the note is wide: it goes on two lines.
  Remarque = "Fermé le lundi 12 : livraison le mardi matin ; les invendus de la semaine sont à rendre "
              "le samedi avant midi, merci";

  frmPrint = new TfrmPrint(nullptr);
  frmPrint->DateDeb->setText("05/01/2004");
  frmPrint->DateFin->setText("11/01/2004");
  frmPrint->show();
  QApplication::processEvents();
  frmPrint->grab().save(out + "reports_chooser.png");
  frmPrint->lstPrint->setCurrentRow(1);
  frmPrint->lstPrintClick();
  frmPrint->edNoListe->setText("1");
  QApplication::processEvents();
  frmPrint->grab().save(out + "reports_chooser_liste.png");

  TfrmRptBon bon;
  bon.RevertOrder = false;
  auto bons = bon.RptBon.Prepare();
  delete frmPrint.data();
  TfrmRptListe liste;
  liste.NoListe = 1;
  liste.DateListe = QDateTime(QDate(2004, 1, 5), QTime());
  auto list = liste.rptListe.Prepare();
  if (!Pdf(bons.get(), out + "reports_bons.pdf") || !Pdf(list.get(), out + "reports_liste.pdf")) return 1;

  auto* f = new TfrmPreview(nullptr);
  f->Report = &bon.RptBon;
  f->QRPreview->SetPrintJob(bons.get());
  f->QRPreviewPageAvailable(bons->PageCount());
  f->setWindowState(Qt::WindowNoState);
  f->resize(1100, 900);
  f->show();
  QApplication::processEvents();
  f->sbNextPageClick();
  QApplication::processEvents();
  f->grab().save(out + "reports_preview.png");
  f->cmbZoom->setCurrentIndex(6);
  QApplication::processEvents();
  f->grab().save(out + "reports_preview_width.png");
  f->close();
  QApplication::processEvents();
  return 0;
}
