// Delivery notes, run from the report chooser as the operator does and read from the pages.
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QLineEdit>

#include "support/ReadOnlyFolder.h"
#include "ReportsFixture.h"
#include "platform/db/Query.h"
#include "reports/UPreview.h"
#include "reports/UPrint.h"
#include "reports/URptBon.h"
#include "shell/global.h"

namespace {
class BonTest : public ReportsTest {
 protected:
  BonTest() {
    FillWeek();
    frmPrint = new TfrmPrint(nullptr);
    frmPrint->show();
    frmPrint->DateDeb->setText("05/01/2004");
    frmPrint->DateFin->setText("11/01/2004");
    frmPrint->lstPrint->setCurrentRow(0);
  }
  ~BonTest() override { delete frmPrint.data(); }
  // Prints the notes: the numbering window is closed as it is, the remark answered.
  std::vector<TRPage> Print(const QString* remark = nullptr) {
    dlg->QueueModal([](QWidget*) { return ModalResult::OK; });  // issue numbering
    dlg->QueueModal([remark](QWidget* w) {
      if (!remark) return ModalResult::Cancel;
      static_cast<TfrmInputBox*>(w)->Value->setText(*remark);
      return ModalResult::OK;
    });
    return RunPreview([&] { frmPrint->btnPrint->click(); });
  }
  static QString Client(const TRPage& p) { return p.Find("dClient") ? p.Find("dClient")->text : QString(); }
  static QStringList Lines(const TRPage& p) {
    QStringList out;
    for (int i = 0; p.Find("lTitre", i); ++i)
      out << p.Find("lTitre", i)->text + "|" + p.Find("dQte", i)->text + "|" + p.Find("dPU", i)->text;
    return out;
  }
};
}  // namespace

TEST_F(BonTest, OneNotePerClientWithItsHeadingLinesAndFooter) {
  frmPrint->chkRevertOrder->setChecked(false);
  const QString remark = "Fermé lundi";
  const auto pages = Print(&remark);
  EXPECT_EQ(Remarque, remark);
  ASSERT_EQ(pages.size(), 3u);  // ECHO took nothing, DELTA is in another region
  EXPECT_EQ(Client(pages[0]), "ALPHA");
  EXPECT_EQ(Client(pages[1]), "BRAVO");
  EXPECT_EQ(Client(pages[2]), "CHARLIE");
  const TRPage& p = pages[0];
  const QStringList texts = p.Texts();
  for (const char* t : {"SITUATION HEBDOMADAIRE", "Semaine du 05/01/2004  au 11/01/2004", "Client : ", "Titres",
                        "Prises ", "Invend.", "Ventes ", "P.U ", "Montant ", "Erreur sur le Montant : ",
                        "Manque invendu : ", "Dovedeve : ", "Total Général : ",
                        "A  Préparer  Pour le  DIMANCHE  S.V.P., Merci !", "Fermé lundi"})
    EXPECT_TRUE(texts.contains(t)) << t;
  EXPECT_EQ(texts.count("SITUATION HEBDOMADAIRE"), 2);  // the note and its copy
  EXPECT_FALSE(texts.contains("ZELM"));                  // the page header labels are disabled
  // Summed over the week, net of the client's rebate for the periodicity; the zero line and the
  // title that is gone are left out; the weekly is bold with its issue.
  EXPECT_EQ(Lines(p), (QStringList{"LE QUOTIDIEN|7|0.90", "L'HEBDO - N°12|2|2.30"}));
  EXPECT_FALSE(p.Find("lTitre", 0)->font.Bold);
  EXPECT_TRUE(p.Find("lTitre", 1)->font.Bold);
  EXPECT_EQ(p.Find("lTitreR", 1)->text, "L'HEBDO - N° 12");
  EXPECT_EQ(p.Find("dQte")->font.Color, QColor(Qt::red));
  EXPECT_EQ(p.Find("lRemarque")->font.Color, QColor(Qt::red));
  // The lines sit under the heading strip, one under the other, the copy beside the note.
  EXPECT_LT(p.Find("sStrip")->r.bottom(), p.Find("lTitre", 0)->r.top() + 0.01);
  EXPECT_DOUBLE_EQ(p.Find("lTitre", 1)->r.top() - p.Find("lTitre", 0)->r.top(), 6);
  EXPECT_GT(p.Find("lTitreR", 0)->r.left(), p.Find("dPU", 0)->r.right());
  EXPECT_DOUBLE_EQ(p.Find("lTitreR", 0)->r.top(), p.Find("lTitre", 0)->r.top());
  EXPECT_LT(p.Find("lRemarque")->r.top(), 297);
  // Two clients of one delivery order each have their own note.
  EXPECT_EQ(Lines(pages[1]), (QStringList{"LE QUOTIDIEN|1|1.00", "MENSUEL|2|5.00"}));
  // A taking of the period's last day is on its note.
  EXPECT_EQ(Lines(pages[2]), (QStringList{"LE QUOTIDIEN|2|1.00", "L'HEBDO - N°12|5|2.50"}));
  EXPECT_TRUE(pages[1].Find("lTitre", 1)->font.Bold);  // a monthly at issue 0: bold, no number
}

// Names as long as their fields hold: cut at the edge of their boxes, they never cover the
// quantities, the prices or the copy's amount column.
TEST_F(BonTest, LongestNamesNeverCoverAFigure) {
  const QString name = "BRAVO TABAC PRESSE DU CENTRE VILLE MAGNY";  // 40, the field's size
  const QVariant n;
  AddRow("CLIENT.DB", {"C006", 9, name, n, n, n, "A", "01", 0, 0, 0, 0, 0, 0});
  AddRow("Titre.DB", {"T004", 4, 0, "MAGAZINE MENSUEL DES WEEK-ENDS", "MAGWE", 123, 1.0, 12.50, "1", "A", "1", false});
  AddTaking(QDate(2004, 1, 5), "C006", "T004", 888);
  frmPrint->chkRevertOrder->setChecked(false);
  const auto pages = Print();
  ASSERT_EQ(pages.size(), 4u);
  EXPECT_EQ(Client(pages[3]), name.left(30));  // the note has room for all the work table keeps
  EXPECT_EQ(Lines(pages[3]), QStringList{pages[3].Find("lTitre")->text + "|888|12.50"});
  for (const TRPage& page : pages) ExpectNothingCovered(page, "dQte|dPU|lColR1|lCol[1-5]");
}

// Titles of 18 to 30 characters with issues 2 to 1234: the issue and its "N°" always print
// whole in both parts, the title gives way in whole characters, every text stays in its box.
TEST_F(BonTest, TheIssueNumberAlwaysPrintsWholeAndTheTitleGivesWay) {
  const QString names[] = {"MAGAZINE BIMENSUEL", "GAZETTE HEBDOMADAIRE", "WWWWWWWWWWWWWWWWWWWWWWWWWWWWWW"};
  const QString base = "LE MAGAZINE HEBDOMADAIRE DU WEEK-END";
  const int issues[] = {2, 7, 45, 123, 1234};
  struct Line { QString titre; int num; };
  QHash<int, Line> byQte;  // each line told apart by its quantity
  int k = 0;
  auto add = [&](const QString& titre, int num) {
    ++k;
    const QString id = QString("T%1").arg(100 + k);
    AddRow("Titre.DB", {id, 10 + k, 0, titre, "X", num, 1.0, 2.00, "1", "A", "1", false});
    AddTaking(QDate(2004, 1, 5), "C005", id, k);
    byQte.insert(k, {titre.left(20), num});  // the work table keeps 20 characters
  };
  for (const QString& n : names)
    for (int num : issues) add(n, num);
  for (int len = 18; len <= 30; ++len) add(base.left(len), issues[len % 5]);
  frmPrint->chkRevertOrder->setChecked(false);
  const auto pages = Print();
  int seen = 0;
  for (const TRPage& p : pages) {
    if (Client(p) != "ECHO") continue;
    ExpectNothingCovered(p, "dQte|dPU");
    for (int i = 0; p.Find("lTitre", i); ++i) {
      const Line line = byQte.value(p.Find("dQte", i)->text.toInt());
      ASSERT_FALSE(line.titre.isEmpty());
      for (const char* name : {"lTitre", "lTitreR"}) {
        const TRItem& t = *p.Find(name, i);
        const QString tail = (QString(name) == "lTitre" ? " - N°" : " - N° ") + QString::number(line.num);
        ASSERT_TRUE(t.text.endsWith(tail)) << name << " \"" << t.text.toStdString() << "\"";
        const QString head = t.text.chopped(tail.size());
        EXPECT_FALSE(head.isEmpty());
        EXPECT_TRUE(line.titre.startsWith(head)) << t.text.toStdString();
        EXPECT_LE(p.TextExtent(t).right(), t.r.right() + 0.01) << t.text.toStdString();
      }
      ++seen;
    }
  }
  EXPECT_EQ(seen, k);
}

TEST_F(BonTest, ZeroLinesReverseOrderAllRegionsAndTheRemarkKept) {
  Remarque = "Ancienne remarque";
  frmPrint->chkQteNul->setChecked(true);
  frmPrint->chkRegion->click();
  EXPECT_FALSE(frmPrint->cmbRegion->isEnabled());
  const auto pages = Print();  // the remark prompt is cancelled
  ASSERT_EQ(pages.size(), 4u);
  QStringList order;
  for (const auto& p : pages) order << Client(p);
  // Highest delivery order first; one order keeps its clients apart, in code order.
  EXPECT_EQ(order, (QStringList{"DELTA", "BRAVO", "CHARLIE", "ALPHA"}));
  EXPECT_EQ(Lines(pages[3]), (QStringList{"LE QUOTIDIEN|7|0.90", "L'HEBDO - N°12|2|2.30", "MENSUEL|0|4.50"}));
  EXPECT_EQ(pages[3].Find("lRemarque")->text, "Ancienne remarque");
  // The work table holds one row per client and title.
  TQuery q;
  q.SetDatabaseName(AppPath);
  q.SQL.SetText("SELECT COUNT(*) AS N FROM BON");
  q.Open();
  EXPECT_EQ(q.Fields(0)->AsInteger(), 8);
}

TEST_F(BonTest, AClientWhoseTakingsAreAllZeroGetsANoteWithoutLines) {
  const QDate lastDay(2004, 1, 11);
  AddTaking(lastDay, "C005", "T001", 0);
  AddTaking(lastDay, "C005", "T002", 0);
  frmPrint->chkRevertOrder->setChecked(false);
  auto pages = Print();
  ASSERT_EQ(pages.size(), 4u);
  EXPECT_EQ(Client(pages[3]), "ECHO");
  EXPECT_TRUE(Lines(pages[3]).isEmpty());
  EXPECT_EQ(pages[3].Count("lRemarque"), 1);
  frmPrint->chkQteNul->setChecked(true);
  pages = Print();
  ASSERT_EQ(pages.size(), 4u);
  EXPECT_EQ(Lines(pages[3]), (QStringList{"LE QUOTIDIEN|0|1.00", "L'HEBDO - N°12|0|2.50"}));
}

TEST_F(BonTest, AReportWithoutDataStillGivesAPage) {
  frmPrint->DateDeb->setText("01/02/2010");
  frmPrint->DateFin->setText("07/02/2010");
  const auto pages = Print();
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0].Count("dClient"), 0);
}

TEST_F(BonTest, DataThatCannotBeBuiltShowsTheErrorAndNoPreview) {
  {
    QFile f(DataPath + "Disto.DB");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(QByteArray(4096, 'x'));
  }
  const auto pages = Print();
  EXPECT_EQ(previews, 0);
  EXPECT_TRUE(pages.empty());
  ASSERT_FALSE(dlg->Messages().isEmpty());
  EXPECT_TRUE(dlg->Messages().last().contains("Disto", Qt::CaseInsensitive)) << dlg->Messages().last().toStdString();
}

TEST_F(BonTest, BadPeriodTextsAreRefusedBeforeAnything) {
  frmPrint->DateDeb->setText("32/01/2004");
  frmPrint->btnPrint->click();
  EXPECT_EQ(dlg->Messages(), QStringList{"La date de début periode est incorrecte !"});
  frmPrint->DateDeb->setText("05/01/2004");
  frmPrint->DateFin->setText("");
  frmPrint->btnPrint->click();
  EXPECT_EQ(dlg->Messages().last(), "La date de fin periode est incorrecte !");
  EXPECT_EQ(previews, 0);
}

// What a killed print leaves in the program folder: a work table that is garbage, or a table of
// that name with other fields. The next print makes it again and prints the notes all the same.
TEST_F(BonTest, ALeftoverWorkTableOfAnyKindIsMadeAgain) {
  const auto good = Print();
  ASSERT_FALSE(good.empty());
  const QString bon = AppPath + "BON.DB";
  for (const char* kind : {"garbage", "empty", "journal"}) {
    SCOPED_TRACE(kind);
    QFile::remove(bon);
    QFile::remove(bon + "-journal");
    QFile f(std::string(kind) == "journal" ? bon + "-journal" : bon);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    if (std::string(kind) != "empty") f.write(QByteArray(8192, '\x5a'));
    f.close();
    dlg->Clear();
    const auto pages = Print();
    ASSERT_EQ(pages.size(), good.size()) << dlg->Messages().join("|").toStdString();
    EXPECT_EQ(Lines(pages[0]), Lines(good[0]));
  }
}

// The program and data folders on a read-only share: the work table cannot be made, so the
// operator is told in French and no preview of stale or empty notes is shown; nothing crashes.
TEST_F(BonTest, AProgramFolderThatCannotBeWrittenSaysSoAndShowsNoStaleNotes) {
  const auto good = Print();
  ASSERT_FALSE(good.empty());
  frmPrint->DateDeb->setText("01/02/2010");  // a week without takings: stale notes would show
  frmPrint->DateFin->setText("07/02/2010");
  std::vector<TRPage> pages;
  {
    ReadOnlyFolder data(DataPath);
    ReadOnlyFolder app(AppPath);
    dlg->Clear();
    pages = Print();
  }
  for (const TRPage& p : pages) EXPECT_EQ(p.Count("dClient"), 0);
  EXPECT_TRUE(pages.empty());
  ASSERT_FALSE(dlg->Messages().isEmpty());
  EXPECT_TRUE(dlg->Messages().last().contains("lecture seule")) << dlg->Messages().last().toStdString();
  EXPECT_TRUE(dlg->Messages().last().contains("BON.DB ne peut être ni créé ni vidé")) << dlg->Messages().last().toStdString();
}

// A remark longer than the note is wide: it prints on two lines inside the note, from its first
// word, and never runs over the right part or off the page.
TEST_F(BonTest, ALongRemarkStaysInsideTheNote) {
  const QString remark = "Attention : fermeture exceptionnelle le lundi de Pâques, les invendus de la semaine "
                         "sont à rendre samedi avant midi";
  const auto pages = Print(&remark);
  ASSERT_FALSE(pages.empty());
  const TRPage& page = pages[0];
  const TRItem* item = page.Find("lRemarque");
  ASSERT_TRUE(item);
  EXPECT_EQ(item->text, remark);
  const double pxPerMM = 4;
  QImage img((page.size * page.unitMM * pxPerMM).toSize(), QImage::Format_RGB32);
  img.fill(Qt::white);
  {
    QPainter p(&img);
    PaintPage(p, page, pxPerMM);
  }
  const double k = page.unitMM * pxPerMM;
  const QRect box(int(item->r.left() * k), int(item->r.top() * k), int(item->r.width() * k), int(item->r.height() * k));
  auto red = [&](int x, int y) {
    const QColor c = img.pixelColor(x, y);
    return c.red() > 150 && c.green() < 100 && c.blue() < 100;
  };
  int inside = 0, outside = 0;
  for (int y = box.top(); y <= box.bottom(); ++y)
    for (int x = 0; x < img.width(); ++x) (box.contains(x, y) ? inside : outside) += red(x, y) ? 1 : 0;
  EXPECT_GT(inside, 0);
  EXPECT_EQ(outside, 0);
  // Two lines: red in the upper and in the lower half of the box.
  int upper = 0, lower = 0;
  for (int y = box.top(); y <= box.bottom(); ++y)
    for (int x = box.left(); x <= box.right(); ++x)
      if (red(x, y)) (y < box.center().y() ? upper : lower)++;
  EXPECT_GT(upper, 0);
  EXPECT_GT(lower, 0);
}
