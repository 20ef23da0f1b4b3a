#include "ReportsFixture.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>

#include "platform/db/Table.h"
#include "platform/db/Transaction.h"
#include "platform/ui/Cursor.h"
#include "reports/UPreview.h"
#include "shell/global.h"

ReportsTest::ReportsTest() {
  for (const QString& f : QDir(ZELM_BIN_DIR).entryList({"RAPPORT.*"}, QDir::Files))
    QFile::copy(QString(ZELM_BIN_DIR) + "/" + f, AppPath + f);
  Remarque.clear();
  ReportHeader = "ZELM";
  CurrentListNo = 1;
}

ReportsTest::~ReportsTest() { SetScreenCursor(TCursor::crDefault); }

void ReportsTest::AddTaking(const QDate& d, const QString& client, const QString& title, int qte) {
  AddRow("Disto.DB", {d, client, title, qte, 1.0});
}

void ReportsTest::FillWeek() {
  TDbTransaction tx(DataPath);
  AddRow("Region.db", {"01", "Nord"});
  AddRow("Region.db", {"02", "Sud"});
  const QVariant n;
  // Id, Ord, Nom, Adr, Tel, Fax, Site, Region, Ab0..Ab5
  AddRow("CLIENT.DB", {"C001", 1, "ALPHA", n, n, n, "A", "01", 0.10, 0.20, 0.5, 0, 0, 0});
  AddRow("CLIENT.DB", {"C002", 2, "BRAVO", n, n, n, "A", "01", 0, 0, 0, 0, 0, 0});
  AddRow("CLIENT.DB", {"C003", 2, "CHARLIE", n, n, n, "A", "01", 0, 0, 0, 0, 0, 0});
  AddRow("CLIENT.DB", {"C004", 3, "DELTA", n, n, n, "A", "02", 0, 0, 0, 0, 0, 0});
  AddRow("CLIENT.DB", {"C005", 4, "ECHO", n, n, n, "A", "01", 0, 0, 0, 0, 0, 0});
  // Id, Nord, Couleur, Titre, Diminutif, Num, Pha, Prix, Periode, Site, Imprimerie, Liste
  AddRow("Titre.DB", {"T001", 1, 0x0000FF, "LE QUOTIDIEN", "QUOT", 0, 0.5, 1.00, "0", "A", "1", false});
  AddRow("Titre.DB", {"T002", 2, 0xFF0000, "L'HEBDO", "HEBDO", 12, 1.5, 2.50, "1", "A", "1", false});
  AddRow("Titre.DB", {"T003", 3, 0x008000, "MENSUEL", "MENS", 0, 3.0, 5.00, "2", "A", "1", false});
  const QDate d5(2004, 1, 5), d6(2004, 1, 6);
  AddTaking(d5, "C001", "T001", 3);
  AddTaking(d6, "C001", "T001", 4);
  AddTaking(d5, "C001", "T002", 2);
  AddTaking(d6, "C001", "T003", 0);
  AddTaking(d5, "C001", "T999", 5);   // a title that is gone
  AddTaking(d5, "C002", "T001", 1);
  AddTaking(d5, "C002", "T003", 2);
  AddTaking(d5, "C003", "T002", 5);
  AddTaking(d5, "C004", "T001", 9);
  AddTaking(QDate(2004, 1, 11), "C003", "T001", 2);  // the week's last day
  AddTaking(QDate(2004, 1, 12), "C001", "T001", 100);  // after the week
}

std::vector<TRPage> ReportsTest::RunPreview(const std::function<void()>& action,
                                            const std::function<void(TfrmPreview*)>& inspect) {
  std::vector<TRPage> pages;
  QTimer timer;
  timer.setInterval(2);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* f = qobject_cast<TfrmPreview*>(w);
      if (!f || !f->isVisible() || !f->ToolBar->isEnabled()) continue;
      timer.stop();
      ++previews;
      pages = f->QRPreview->PrintJob()->Pages;
      if (inspect) inspect(f);
      f->close();
      return;
    }
  });
  timer.start();
  action();
  timer.stop();
  return pages;
}

void ReportsTest::ExpectNothingCovered(const TRPage& page, const QString& figures) {
  const QRegularExpression figure("^(" + figures + ")$", QRegularExpression::CaseInsensitiveOption);
  constexpr double eps = 0.01;
  for (const TRItem& t : page.items) {
    if (t.kind != TRItem::Text || t.text.isEmpty()) continue;
    const QRectF ink = page.TextExtent(t);
    EXPECT_TRUE(ink.left() >= t.r.left() - eps && ink.right() <= t.r.right() + eps)
        << t.name.toStdString() << " \"" << t.text.toStdString() << "\" runs out of its box";
    if (!figure.match(t.name).hasMatch()) continue;
    for (const TRItem& o : page.items) {
      if (&o == &t || o.kind != TRItem::Text || o.text.isEmpty()) continue;
      EXPECT_FALSE(page.TextExtent(o).adjusted(eps, eps, -eps, -eps).intersects(ink))
          << o.name.toStdString() << " \"" << o.text.toStdString() << "\" covers " << t.name.toStdString();
    }
  }
}

void ReportsTest::Type(QWidget* w, const QString& text) {
  w->setFocus();
  QTest::keyClicks(w, text);
}

int ReportsTest::PdfPages(const QString& file) {
  QProcess info;
  info.start("pdfinfo", {file});
  if (!info.waitForFinished(20000)) return -1;
  const auto m = QRegularExpression("Pages:\\s+(\\d+)").match(QString::fromUtf8(info.readAllStandardOutput()));
  return m.hasMatch() ? m.captured(1).toInt() : -1;
}

TfrmPrint* ChooserTest::Open() {
  w = new TfrmPrint(nullptr);
  frmPrint = w;
  w->show();
  return w;
}
