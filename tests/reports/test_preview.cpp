// The preview: navigation, the page box, zoom, printing a range in copies, closing while the
// pages are still produced.
#include <QApplication>
#include <QComboBox>
#include <QTimer>
#include <QLabel>
#include <QPrinter>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>

#include "ReportsFixture.h"
#include "platform/db/Transaction.h"
#include "reports/UPreview.h"
#include "reports/URptListe.h"
#include "shell/global.h"

namespace {
class PreviewTest : public ReportsTest {
 protected:
  // A list of one title over clients: 70 clients give several pages, 2 give one.
  void MakeList(int clients) {
    TDbTransaction tx(DataPath);
    AddRow("Region.db", {"03", "Est"});
    AddRow("Titre.DB", {"T010", 1, 0, "TITRE", "TIT", 0, 0.5, 1.0, "0", "A", "1", false});
    for (int c = 0; c < clients; ++c)
      AddRow("CLIENT.DB", {QString("E%1").arg(c, 3, 10, QChar('0')), c + 1, "CLIENT", QVariant(), QVariant(),
                           QVariant(), "A", "03", 0, 0, 0, 0, 0, 0});
    AddRow("TLISTE.DB", {1, 1, "03", "T010", "Liste"});
  }
  std::vector<TRPage> Run(const std::function<void(TfrmPreview*)>& inspect) {
    return RunPreview(
        [&] {
          TfrmRptListe rpt(nullptr);
          rpt.NoListe = 1;
          rpt.DateListe = QDateTime(QDate(2004, 1, 5), QTime());
          rpt.Preview();
        },
        inspect);
  }
};
}  // namespace

TEST_F(PreviewTest, NavigationZoomAndThePageBox) {
  MakeList(120);
  int count = 0;
  Run([&](TfrmPreview* f) {
    count = f->PageCount();
    ASSERT_GE(count, 3);
    EXPECT_EQ(f->windowTitle(), QString("Liste - %1 pages").arg(count));
    EXPECT_TRUE(f->isMaximized());
    EXPECT_EQ(f->windowModality(), Qt::ApplicationModal);
    EXPECT_EQ(f->Panels[0]->text(), QString("Page : 1/%1").arg(count));
    EXPECT_TRUE(f->Panels[1]->text().isEmpty());
    EXPECT_EQ(f->cmbZoom->currentText(), "100 %");
    EXPECT_FALSE(f->sbFirstPage->isEnabled());
    EXPECT_FALSE(f->sbPreviousPage->isEnabled());
    EXPECT_TRUE(f->sbNextPage->isEnabled());
    f->sbNextPage->click();
    EXPECT_EQ(f->QRPreview->PageNumber(), 2);
    EXPECT_EQ(f->Panels[0]->text(), QString("Page : 2/%1").arg(count));
    EXPECT_TRUE(f->sbPreviousPage->isEnabled());
    f->sbLastPage->click();
    EXPECT_EQ(f->QRPreview->PageNumber(), count);
    EXPECT_FALSE(f->sbNextPage->isEnabled());
    EXPECT_FALSE(f->sbLastPage->isEnabled());
    f->sbPreviousPage->click();
    EXPECT_EQ(f->sePage->value(), count - 1);
    f->sbFirstPage->click();
    EXPECT_EQ(f->QRPreview->PageNumber(), 1);
    // A typed page number shows that page and brings the buttons and the status along.
    f->sePage->selectAll();
    Type(f->sePage, "2");
    QTest::keyClick(f->sePage, Qt::Key_Return);
    EXPECT_EQ(f->QRPreview->PageNumber(), 2);
    EXPECT_EQ(f->Panels[0]->text(), QString("Page : 2/%1").arg(count));
    EXPECT_TRUE(f->sbFirstPage->isEnabled());
    // Above the page count: set back to the last page.
    f->sePage->selectAll();
    Type(f->sePage, "99");
    QTest::keyClick(f->sePage, Qt::Key_Return);
    EXPECT_EQ(f->sePage->value(), count);
    EXPECT_EQ(f->QRPreview->PageNumber(), count);
    EXPECT_EQ(f->Panels[0]->text(), QString("Page : %1/%1").arg(count));
    // Zoom: the page grows and shrinks; the page width fits the view.
    const int w100 = f->QRPreview->PageWidget()->width();
    f->cmbZoom->setCurrentIndex(0);
    EXPECT_EQ(f->QRPreview->Zoom(), 200);
    EXPECT_NEAR(f->QRPreview->PageWidget()->width(), 2 * w100, 2);
    f->cmbZoom->setCurrentIndex(5);
    EXPECT_NEAR(f->QRPreview->PageWidget()->width(), w100 / 4, 2);
    f->cmbZoom->setCurrentIndex(6);
    EXPECT_LE(f->QRPreview->PageWidget()->width(), f->QRPreview->viewport()->width());
    EXPECT_GT(f->QRPreview->PageWidget()->width(), f->QRPreview->viewport()->width() - 10);
    // The close button keeps to the right edge.
    EXPECT_EQ(f->btnClose->x(), f->width() - f->btnClose->width() - 13);
  });
  EXPECT_EQ(previews, 1);
}

TEST_F(PreviewTest, PrintsTheChosenPagesInCopiesOnTheProgramsPrinter) {
  MakeList(120);
  const QString pdf = dir.File("liste.pdf");
  Run([&](TfrmPreview* f) {
    // Cancelled: nothing printed, the window stays.
    f->SpinEditCopies->setValue(3);
    dlg->QueuePrinter(false);
    f->btnPrint->click();
    EXPECT_EQ(dlg->Asked().back().kind, "print");
    EXPECT_EQ(dlg->Asked().back().text, QString("1-%1 x3").arg(f->PageCount()));  // copies preselected
    EXPECT_TRUE(f->isVisible());
    // Pages 2 to 3 in 2 copies, on the printer the dialog hands over.
    dlg->QueuePrinterHandler([&](QPrinter& printer, TPrintRange& range) {
      EXPECT_EQ(&printer, &Printer());
      printer.setOutputFormat(QPrinter::PdfFormat);
      printer.setOutputFileName(pdf);
      range.FromPage = 2;
      range.ToPage = 3;
      range.Copies = 2;
      return true;
    });
    QTest::keyClick(f, Qt::Key_F10);
    EXPECT_EQ(f->Report->PrinterSettings.Copies, 2);
    EXPECT_TRUE(f->isVisible());
    // A printer that cannot be opened is reported, not passed over.
    dlg->QueuePrinterHandler([&](QPrinter& printer, TPrintRange&) {
      printer.setOutputFileName(dir.File("no/such/folder/x.pdf"));
      return true;
    });
    f->btnPrint->click();
    ASSERT_FALSE(dlg->Messages().isEmpty());
    EXPECT_TRUE(dlg->Messages().last().startsWith("L'impression a échoué"));
  });
  EXPECT_EQ(PdfPages(pdf), 4);
  Printer().setOutputFileName(QString());
}

TEST_F(PreviewTest, AOnePageReportDisablesThePageButtons) {
  MakeList(2);
  Run([&](TfrmPreview* f) {
    EXPECT_EQ(f->windowTitle(), "Liste - 1 page");
    for (QWidget* w : std::initializer_list<QWidget*>{f->sbFirstPage, f->sbPreviousPage, f->sbNextPage,
                                                      f->sbLastPage, f->sePage})
      EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_TRUE(f->btnPrint->isEnabled());
    EXPECT_EQ(f->Panels[0]->text(), "Page : 1/1");
  });
}

TEST_F(PreviewTest, ClosingWhileProducingStopsTheProduction) {
  MakeList(200);
  int produced = -1, later = -1;
  QTimer timer;
  timer.setInterval(0);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* f = qobject_cast<TfrmPreview*>(w); f && f->isVisible() && f->PageCount() >= 1) {
        timer.stop();
        produced = f->PageCount();
        EXPECT_FALSE(f->ToolBar->isEnabled());
        EXPECT_EQ(f->Panels[1]->text(), "Impression en cours ...");
        QObject::connect(f->QRPreview->PrintJob(), &TRPrintJob::PageAvailable, [&](int n) { later = n; });
        f->close();
        return;
      }
  });
  timer.start();
  {
    TfrmRptListe rpt(nullptr);
    rpt.NoListe = 1;
    rpt.DateListe = QDateTime(QDate(2004, 1, 5), QTime());
    rpt.Preview();  // returns although the report had more pages to make
  }
  timer.stop();
  EXPECT_GE(produced, 1);
  EXPECT_EQ(later, -1);  // no page was made after the close
}
