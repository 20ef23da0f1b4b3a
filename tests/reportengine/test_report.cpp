// The report engine: bands over a dataset laid out on pages, read back from the display lists,
// and printed to PDF.
#include <QFile>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include "platform/db/Table.h"
#include "platform/reportengine/Report.h"
#include "support/TestSupport.h"

namespace {
class ReportTest : public ::testing::Test {
 protected:
  ReportTest() {
    t.SetDatabaseName(dir.Path());
    t.SetTableName("T.DB");
    t.FieldDefs.Add("GRP", ftString, 4);
    t.FieldDefs.Add("NAME", ftString, 20);
    t.FieldDefs.Add("QTE", ftInteger);
    t.FieldDefs.Add("PU", ftCurrency);
    t.IndexDefs.Add("", "GRP;NAME", ixPrimary | ixUnique);
    t.CreateTable();
  }
  void Add(const QString& g, const QString& n, int q, double pu = 1.5) {
    if (!t.Active()) t.Open();
    t.Append();
    t.Fields(0)->AsString = g;
    t.Fields(1)->AsString = n;
    t.Fields(2)->AsInteger = q;
    t.Fields(3)->AsFloat = pu;
    t.Post();
  }
  // A report: page header "Header", group on GRP with a footer summing QTE, detail NAME / QTE / PU.
  void Build(double detailHeight = 10) {
    r.DataSet = &t;
    r.PageSize = QSizeF(100, 100);
    r.LeftMargin = r.RightMargin = r.TopMargin = r.BottomMargin = 5;
    ph = r.AddBand(rbPageHeader, "PH", 10);
    ph->Add<TRLabel>("lHead", 0, 0, 90, 10)->SetCaption("Header");
    TRLabel* hidden = ph->Add<TRLabel>("lHidden", 0, 0, 90, 10)->SetCaption("never");
    hidden->Enabled = false;
    gh = r.AddBand(rbGroupHeader, "GH", 10);
    gh->Expression = "T.GRP";
    gh->Add<TRDBText>("dGrp", 0, 0, 40, 10)->SetField(&t, "GRP");
    det = r.AddBand(rbDetail, "DET", detailHeight);
    det->Add<TRDBText>("dName", 0, 0, 40, detailHeight)->SetField(&t, "NAME");
    det->Add<TRDBText>("dQte", 40, 0, 20, detailHeight)->SetField(&t, "QTE");
    det->Add<TRDBText>("dPU", 60, 0, 20, detailHeight)->SetField(&t, "PU");
    gf = r.AddBand(rbGroupFooter, "GF", 10);
    gh->FooterBand = gf;
    TRExpr* sum = gf->Add<TRExpr>("eSum", 40, 0, 20, 10);
    sum->Expression = "SUM(T.QTE)";
    sum->ResetAfterPrint = true;
    pf = r.AddBand(rbPageFooter, "PF", 5);
    pf->Add<TRLabel>("lFoot", 0, 0, 90, 5)->SetCaption("Foot");
  }
  TempDir dir;
  TTable t;
  TReport r;
  TRBand *ph = nullptr, *gh = nullptr, *det = nullptr, *gf = nullptr, *pf = nullptr;
};
}  // namespace

TEST_F(ReportTest, GroupsDetailsSumsAndPageBands) {
  Add("A", "a1", 2);
  Add("A", "a2", 3);
  Add("B", "b1", 7, 12.25);
  Build();
  auto job = r.Prepare();
  ASSERT_TRUE(job);
  ASSERT_EQ(job->PageCount(), 1);
  const TRPage& p = job->Pages[0];
  EXPECT_EQ(p.Texts(), (QStringList{"Header", "A", "a1", "2", "1.50", "a2", "3", "1.50", "5", "B", "b1", "7",
                                    "12.25", "7", "Foot"}));
  // Positions: bands one under the other from the top margin, controls after the left margin;
  // the page footer sits on the bottom margin.
  EXPECT_DOUBLE_EQ(p.Find("lHead")->r.top(), 5);
  EXPECT_DOUBLE_EQ(p.Find("dGrp")->r.top(), 15);
  EXPECT_DOUBLE_EQ(p.Find("dName", 1)->r.top(), 35);
  EXPECT_DOUBLE_EQ(p.Find("dQte")->r.left(), 45);
  EXPECT_DOUBLE_EQ(p.Find("lFoot")->r.top(), 90);
  // A disabled control prints nothing.
  EXPECT_EQ(p.Count("lHidden"), 0);
}

TEST_F(ReportTest, PagesBreakAndEventsSteerTheBands) {
  for (int i = 0; i < 12; ++i) Add(i < 9 ? "A" : "B", QString("n%1").arg(i, 2, 10, QChar('0')), i);
  Build();
  gh->ReprintOnNewPage = true;
  // Body: 100 - 5 - 5 (footer) - 5 (top) = 85: header 10 leaves 75 -> group + 6 lines, 1 left.
  auto job = r.Prepare();
  ASSERT_TRUE(job);
  ASSERT_GE(job->PageCount(), 2);
  const TRPage& p2 = job->Pages[1];
  // The group header comes again at the top of the next page, under the page header.
  EXPECT_EQ(p2.Texts().mid(0, 3), (QStringList{"Header", "A", "n06"}));
  for (const TRPage& p : job->Pages) EXPECT_EQ(p.Count("lFoot"), 1);

  // Suppressing a band frees its room; the print event changes a text; NewPage after a group.
  det->BeforePrint = [&](TRBand*, bool& print) { print = t.FieldByName("QTE")->AsInteger() % 2 == 0; };
  static_cast<TRDBText*>(r.FindControl("DNAME"))->OnPrint = [](TRDBText*, QString& v) { v = "<" + v + ">"; };
  gf->AfterPrint = [&](TRBand*, bool) { r.NewPage(); };
  job = r.Prepare();
  ASSERT_TRUE(job);
  ASSERT_EQ(job->PageCount(), 2);  // no empty page after the last group
  EXPECT_EQ(job->Pages[0].Texts(), (QStringList{"Header", "A", "<n00>", "0", "1.50", "<n02>", "2", "1.50", "<n04>", "4",
                                                "1.50", "<n06>", "6", "1.50", "<n08>", "8", "1.50", "36", "Foot"}));
  EXPECT_DOUBLE_EQ(job->Pages[0].Find("dName", 1)->r.top(), 35);
  EXPECT_EQ(job->Pages[1].Texts(), (QStringList{"Header", "B", "<n10>", "10", "1.50", "30", "Foot"}));  // sums count every record

  // The report's own event abandons it.
  r.BeforePrint = [](TReport*, bool& print) { print = false; };
  EXPECT_FALSE(r.Prepare());
}

// A text with a figure after it (a title and its issue): the figure prints whole, the text
// gives way in whole characters, and what fits prints as it is.
TEST_F(ReportTest, ATextGivesWayToItsTail) {
  Add("A", "AB", 1);
  Add("A", "MAGAZINE BIMENSUEL", 2);
  Add("A", "WWWWWWWWWWWWWWWWWWWW", 3);
  Build();
  TRControl* name = r.FindControl("dName");
  name->Tail = " - N°1234";
  TRLabel* narrow = gh->Add<TRLabel>("lNarrow", 45, 0, 10, 10)->SetCaption("TITRE");
  narrow->Tail = " - N°1234";
  auto job = r.Prepare();
  ASSERT_TRUE(job);
  const TRPage& p = job->Pages[0];
  EXPECT_EQ(p.Find("dName", 0)->text, "AB - N°1234");
  for (int i = 1; i < 3; ++i) {
    const TRItem& t = *p.Find("dName", i);
    const QString full = i == 1 ? "MAGAZINE BIMENSUEL" : "WWWWWWWWWWWWWWWWWWWW";
    ASSERT_TRUE(t.text.endsWith(" - N°1234")) << t.text.toStdString();
    const QString head = t.text.chopped(9);
    EXPECT_TRUE(full.startsWith(head) && head.size() < full.size()) << t.text.toStdString();
    EXPECT_LE(p.TextExtent(t).width(), t.r.width());
    // As much of the name as the box holds.
    EXPECT_GT(TextWidth(t.font, full.left(head.size() + 1) + " - N°1234", p.unitMM), t.r.width());
  }
  // Narrower than the figure alone: its end, where the digits are.
  const TRItem& n = *p.Find("lNarrow");
  EXPECT_TRUE(n.text.endsWith("1234")) << n.text.toStdString();
  EXPECT_LE(p.TextExtent(n).width(), n.r.width());
}

TEST_F(ReportTest, NoDataStillGivesOnePage) {
  Build();
  t.Open();
  auto job = r.Prepare();
  ASSERT_TRUE(job);
  ASSERT_EQ(job->PageCount(), 1);
  EXPECT_EQ(job->Pages[0].Texts(), (QStringList{"Header", "Foot"}));
  EXPECT_TRUE(job->Finished);
  // A closed dataset too.
  t.Close();
  job = r.Prepare();
  ASSERT_TRUE(job);
  EXPECT_EQ(job->PageCount(), 1);
}

TEST_F(ReportTest, PrintsAPageRangeInCopiesToPdf) {
  for (int i = 0; i < 40; ++i) Add("A", QString("n%1").arg(i, 2, 10, QChar('0')), i);
  Build(20);
  auto job = r.Prepare();
  ASSERT_TRUE(job);
  ASSERT_GE(job->PageCount(), 4);
  QPrinter printer;
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(dir.File("out.pdf"));
  r.PrinterSettings = {2, 2, 3};
  ASSERT_TRUE(r.Print(*job, printer));
  QProcess info;
  info.start("pdfinfo", {dir.File("out.pdf")});
  ASSERT_TRUE(info.waitForFinished(20000)) << "pdfinfo (poppler-utils) is needed";
  const QString out = QString::fromUtf8(info.readAllStandardOutput());
  EXPECT_TRUE(out.contains(QRegularExpression("Pages:\\s+4\\b"))) << out.toStdString();
  // Every page: the whole job once.
  printer.setOutputFileName(dir.File("all.pdf"));
  ASSERT_TRUE(job->Print(printer));
  info.start("pdfinfo", {dir.File("all.pdf")});
  ASSERT_TRUE(info.waitForFinished(20000));
  EXPECT_TRUE(QString::fromUtf8(info.readAllStandardOutput())
                  .contains(QRegularExpression(QString("Pages:\\s+%1\\b").arg(job->PageCount()))));
}
