// The distribution list: columns per title of the list, one row per client, totals at the end.
#include "ReportsFixture.h"
#include "platform/db/Transaction.h"
#include "platform/db/Query.h"
#include "reports/UPreview.h"
#include "reports/URptListe.h"
#include "shell/global.h"

namespace {
class ListeTest : public ReportsTest {
 protected:
  ListeTest() { FillWeek(); }
  void AddList(int no, const QString& region, const QStringList& titles) {
    for (int i = 0; i < titles.size(); ++i) AddRow("TLISTE.DB", {no, i + 1, region, titles[i], "Liste"});
  }
  std::vector<TRPage> Run(int no, const QDate& day, const std::function<void(TfrmPreview*)>& inspect = {}) {
    return RunPreview(
        [&] {
          TfrmRptListe rpt(nullptr);
          rpt.NoListe = no;
          rpt.DateListe = QDateTime(day, QTime());
          rpt.Preview();
        },
        inspect);
  }
  static QStringList Row(const TRPage& p, int i) {
    QStringList out{p.Find("lNom", i)->text};
    for (int k = 1; p.Find("lQte" + QString::number(k), i); ++k) out << p.Find("lQte" + QString::number(k), i)->text;
    return out;
  }
};
}  // namespace

TEST_F(ListeTest, ColumnsRowsAndTotals) {
  AddList(1, "01", {"T001", "T002", "T998"});  // T998 is gone
  const auto pages = Run(1, QDate(2004, 1, 5));
  ASSERT_EQ(pages.size(), 1u);
  const TRPage& p = pages[0];
  EXPECT_EQ(p.Find("lJournee")->text, "Journée du 05/01/2004");
  EXPECT_EQ(p.Find("lJournee")->font.Color, QColor(Qt::red));
  EXPECT_EQ(p.Count("lStatut"), 0);
  EXPECT_EQ(p.Find("lRegion")->text, "REGION : 01 - Nord");
  EXPECT_EQ(p.Find("lTitre1")->text, "QUOT");
  EXPECT_EQ(p.Find("lTitre2")->text, "HEBDO");
  EXPECT_EQ(p.Find("lTitre3")->text, "????");
  EXPECT_EQ(p.Count("lTitre4"), 0);
  // Three titles: slots of 102 (615 div 3 capped) from 120 after the client column.
  const double margin = 40;
  EXPECT_DOUBLE_EQ(p.Find("Box1")->r.left(), margin + 120);
  EXPECT_DOUBLE_EQ(p.Find("Box2")->r.left(), margin + 222);
  EXPECT_DOUBLE_EQ(p.Find("Box3")->r.width(), 102);
  EXPECT_DOUBLE_EQ(p.Find("lTitre2")->r.left(), margin + 224);
  // Colours of the titles (red daily, blue weekly).
  EXPECT_EQ(p.Find("lTitre1")->font.Color, QColor(Qt::red));
  EXPECT_EQ(p.Find("lQte2")->font.Color, QColor(Qt::blue));
  // One row per client in delivery order; a client without takings keeps its row; zero is blank.
  EXPECT_EQ(Row(p, 0), (QStringList{"ALPHA", "3", "2", ""}));
  EXPECT_EQ(Row(p, 1), (QStringList{"BRAVO", "1", "", ""}));
  EXPECT_EQ(Row(p, 2), (QStringList{"CHARLIE", "", "5", ""}));
  EXPECT_EQ(Row(p, 3), (QStringList{"ECHO", "", "", ""}));
  EXPECT_EQ(p.Find("lTotaux")->text, "Totaux  ");
  EXPECT_EQ(p.Find("lTot1")->text, "4");
  EXPECT_EQ(p.Find("lTot2")->text, "7");
  EXPECT_EQ(p.Find("lTot3")->text, "0");
  // Rows under the heading row, totals under the last row.
  EXPECT_GT(p.Find("lNom", 0)->r.top(), p.Find("lClients")->r.top());
  EXPECT_GT(p.Find("lTotaux")->r.top(), p.Find("lNom", 3)->r.top());
}

TEST_F(ListeTest, HeadingsOnEveryPageAndTotalsAtTheEnd) {
  QStringList titles;
  TDbTransaction tx(DataPath);
  for (int i = 10; i < 26; ++i) {  // 16 titles: slot width 615 div 16, 15 slots used
    const QString id = QString("T0%1").arg(i);
    AddRow("Titre.DB", {id, i, 0, "TITRE " + id, "D" + id, 0, 0.5, 1.0, "0", "A", "1", false});
    titles << id;
  }
  AddRow("Region.db", {"03", "Est"});
  for (int c = 0; c < 70; ++c) {
    const QString id = QString("E%1").arg(c, 3, 10, QChar('0'));
    AddRow("CLIENT.DB", {id, c + 1, "CLIENT " + id, QVariant(), QVariant(), QVariant(), "A", "03", 0, 0, 0, 0, 0, 0});
    AddTaking(QDate(2004, 1, 5), id, "T010", 1);
  }
  AddList(2, "03", titles);
  tx.Commit();
  const auto pages = Run(2, QDate(2004, 1, 5));
  ASSERT_GE(pages.size(), 2u);
  int rows = 0;
  for (size_t i = 0; i < pages.size(); ++i) {
    EXPECT_EQ(pages[i].Count("lClients"), 1) << i;
    EXPECT_EQ(pages[i].Find("lRegion")->text, "REGION : 03 - Est");
    EXPECT_EQ(pages[i].Count("lTitre15"), 1);
    EXPECT_EQ(pages[i].Count("lTitre16"), 0);
    EXPECT_EQ(pages[i].Count("lTotaux"), i + 1 == pages.size() ? 1 : 0);
    rows += pages[i].Count("lNom");
  }
  EXPECT_EQ(rows, 70);
  EXPECT_DOUBLE_EQ(pages[0].Find("Box1")->r.width(), 38);  // 615 div 16
  EXPECT_EQ(pages.back().Find("lTot1")->text, "70");
  EXPECT_EQ(pages.back().Find("lTot2")->text, "0");
}

// The longest client name and short names the fields hold, in the widest and the narrowest
// columns: cut at their boxes, they never cover a quantity or a total.
TEST_F(ListeTest, LongestNamesNeverCoverAFigure) {
  const QVariant n;
  AddRow("CLIENT.DB", {"C006", 5, "BRAVO TABAC PRESSE DU CENTRE VILLE MAGNY", n, n, n, "A", "01", 0, 0, 0, 0, 0, 0});
  QStringList titles{"T001"};
  for (int i = 10; i < 24; ++i) {
    titles << QString("T0%1").arg(i);
    AddRow("Titre.DB", {titles.last(), i, 0, "TITRE", "MAGAZINES WEEKS", 0, 0.5, 1.0, "0", "A", "1", false});
  }
  AddTaking(QDate(2004, 1, 5), "C006", "T001", 999);
  for (const QStringList& list : {titles.mid(0, 2), titles}) {
    AddList(list.size(), "01", list);
    const auto pages = Run(list.size(), QDate(2004, 1, 5));
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].Find("lTot1")->text, "1003");
    ExpectNothingCovered(pages[0], "lQte\\d+|lTot\\d+|lTotaux");
  }
}

TEST_F(ListeTest, AnUnknownListSaysSoAndPrintsNothing) {
  const auto pages = Run(9, QDate(2004, 1, 5));
  EXPECT_TRUE(pages.empty());
  EXPECT_EQ(previews, 0);
  EXPECT_EQ(dlg->Messages(), QStringList{"Liste Inexistannte !"});
}

TEST_F(ListeTest, TheWorkTableHoldsTheListOfTheDay) {
  AddList(1, "01", {"T001", "T002"});
  AddRow("Liste.DB", {});  // left over from an earlier list: rebuilt away
  const auto pages = Run(1, QDate(2004, 1, 5), [](TfrmPreview* f) {
    // The report window is still there: its work table holds this list.
    EXPECT_EQ(f->Report->ReportTitle, "Liste");
  });
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0].Count("lNom"), 4);
  TQuery q;
  q.SetDatabaseName(DataPath);
  q.SQL.SetText("SELECT ID_CLIENT, TITRE1, QTE1, TITRE2, QTE2, TITRE3 FROM LISTE ORDER BY ORD_CLIENT, ID_CLIENT");
  q.Open();
  ASSERT_EQ(q.RecordCount(), 4);
  EXPECT_EQ(q.Fields(0)->AsString(), "C001");
  EXPECT_EQ(q.Fields(1)->AsString(), "T001");
  EXPECT_EQ(q.Fields(2)->AsInteger(), 3);
  EXPECT_EQ(q.Fields(3)->AsString(), "T002");
  EXPECT_TRUE(q.Fields(5)->IsNull());
}
